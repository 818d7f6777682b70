#include "ResourceCompiler.hpp"

#include <nlohmann/json.hpp>
#include <png.h>

#include <fstream>
#include <iomanip>
#include <limits>
#include <regex>
#include <sstream>
#include <utility>

namespace RS::Compiler {

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

// Resource ids are 16-bit positive numbers in the host; anything else is a typo.
constexpr std::int64_t MinResourceId = 1;
constexpr std::int64_t MaxResourceId = 32767;
constexpr std::int64_t MaxCoordinate = 32767;
constexpr std::int64_t MaxIconSide = 1024;
constexpr std::int64_t MaxDpi = 10000;
constexpr std::int64_t MaxLengthLimit = 65535;

// Where in which file a value sits, for error messages.
class Context {
public:
    explicit Context(fs::path file) : file(std::move(file)) {}

    Context operator/(const std::string& key) const {
        Context child = *this;
        child.pointer += "/" + key;
        return child;
    }
    Context operator/(std::size_t index) const { return *this / std::to_string(index); }

    [[noreturn]] void Fail(const std::string& message) const {
        throw CompileError(file.string() + ": error: " + (pointer.empty() ? "" : "at " + pointer + ": ") + message);
    }

    const fs::path& File() const { return file; }

private:
    fs::path file;
    std::string pointer;
};

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

void CheckKeys(const json& value, const Context& at, std::initializer_list<const char*> required,
               std::initializer_list<const char*> optional) {
    if (!value.is_object()) at.Fail("expected an object");
    for (const auto& [key, member] : value.items()) {
        bool known = false;
        for (const char* name : required)
            known = known || key == name;
        for (const char* name : optional)
            known = known || key == name;
        if (!known) at.Fail("unknown key " + Quoted(key));
    }
    for (const char* name : required)
        if (!value.contains(name)) at.Fail("missing key " + Quoted(name));
}

std::int64_t Integer(const json& value, const Context& at, std::int64_t min, std::int64_t max) {
    if (!value.is_number_integer()) at.Fail("expected an integer");
    const bool tooLarge = value.is_number_unsigned() && value.get<std::uint64_t>() > static_cast<std::uint64_t>(max);
    const std::int64_t number = tooLarge ? max : value.get<std::int64_t>();
    if (tooLarge || number < min || number > max)
        at.Fail("value " + value.dump() + " outside " + std::to_string(min) + ".." + std::to_string(max));
    return number;
}

std::int32_t Int32Member(const json& object, const Context& at, const char* key, std::int64_t min, std::int64_t max,
                         std::int64_t fallback = 0) {
    if (!object.contains(key)) return static_cast<std::int32_t>(fallback);
    return static_cast<std::int32_t>(Integer(object.at(key), at / key, min, max));
}

std::string Text(const json& object, const Context& at, const char* key) {
    if (!object.contains(key)) return {};
    const json& value = object.at(key);
    if (!value.is_string()) (at / key).Fail("expected a string");
    return value.get<std::string>();
}

const json& Array(const json& object, const Context& at, const char* key, bool nonEmpty) {
    const json& value = object.at(key);
    if (!value.is_array()) (at / key).Fail("expected an array");
    if (nonEmpty && value.empty()) (at / key).Fail("expected at least one element");
    return value;
}

std::int32_t ResourceId(const json& object, const Context& at, const IdTable& ids) {
    const json& value = object.at("id");
    const Context where = at / "id";
    if (value.is_string()) {
        const auto name = value.get<std::string>();
        const auto it = ids.find(name);
        if (it == ids.end()) where.Fail("unknown id name " + Quoted(name) + " (not defined in the id header)");
        if (it->second < MinResourceId || it->second > MaxResourceId)
            where.Fail(Quoted(name) + " is " + std::to_string(it->second) + ", outside " +
                       std::to_string(MinResourceId) + ".." + std::to_string(MaxResourceId));
        return it->second;
    }
    if (!value.is_number_integer()) where.Fail("expected an id name or an integer");
    return static_cast<std::int32_t>(Integer(value, where, MinResourceId, MaxResourceId));
}

// Position 0, 0 unless given; which keys are required is the caller's CheckKeys.
Image::Rect ReadRect(const json& object, const Context& at) {
    Image::Rect rect;
    rect.x = Int32Member(object, at, "x", 0, MaxCoordinate);
    rect.y = Int32Member(object, at, "y", 0, MaxCoordinate);
    rect.width = Int32Member(object, at, "width", 1, MaxCoordinate);
    rect.height = Int32Member(object, at, "height", 1, MaxCoordinate);
    return rect;
}

std::vector<std::uint8_t> ReadFileBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) throw std::ios_base::failure("cannot open");
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) throw std::ios_base::failure("cannot read");
    return bytes;
}

// libpng's simplified reader decodes the whole image, so a damaged file fails here and not in the host.
class PngImage {
public:
    PngImage() { image.version = PNG_IMAGE_VERSION; }
    ~PngImage() { png_image_free(&image); }
    PngImage(const PngImage&) = delete;
    PngImage& operator=(const PngImage&) = delete;

    png_image image{};
};

Image::IconImage LoadIconImage(const json& object, const Context& at, std::vector<fs::path>& dependencies) {
    CheckKeys(object, at, {"file", "width", "height", "dpi"}, {});
    const std::string name = Text(object, at, "file");
    if (name.empty()) (at / "file").Fail("expected a file name");
    const fs::path file = (at.File().parent_path() / name).lexically_normal();
    Image::IconImage icon;
    icon.width = static_cast<std::uint32_t>(Integer(object.at("width"), at / "width", 1, MaxIconSide));
    icon.height = static_cast<std::uint32_t>(Integer(object.at("height"), at / "height", 1, MaxIconSide));
    icon.dpi = static_cast<std::uint32_t>(Integer(object.at("dpi"), at / "dpi", 1, MaxDpi));
    dependencies.push_back(fs::absolute(file));

    try {
        icon.png = ReadFileBytes(file);
    } catch (const std::ios_base::failure&) {
        (at / "file").Fail("cannot read image file " + file.string());
    }

    PngImage png;
    if (!png_image_begin_read_from_memory(&png.image, icon.png.data(), icon.png.size()))
        (at / "file").Fail(file.string() + " is not a valid PNG file: " + png.image.message);
    if (png.image.width != icon.width || png.image.height != icon.height)
        at.Fail(file.string() + " is " + std::to_string(png.image.width) + " x " + std::to_string(png.image.height) +
                " pixels, declared " + std::to_string(icon.width) + " x " + std::to_string(icon.height));
    png.image.format = PNG_FORMAT_RGBA;
    std::vector<png_byte> pixels(static_cast<std::size_t>(icon.width) * icon.height * 4);
    if (!png_image_finish_read(&png.image, nullptr, pixels.data(), 0, nullptr))
        (at / "file").Fail(file.string() + " is not a valid PNG file: " + png.image.message);
    return icon;
}

const std::pair<const char*, Image::ItemKind> ItemKinds[] = {
    {"browser", Image::ItemKind::Browser},
    {"button", Image::ItemKind::Button},
    {"leftText", Image::ItemKind::LeftText},
    {"textEdit", Image::ItemKind::TextEdit},
    {"singleSelListBox", Image::ItemKind::SingleSelListBox},
};

const std::pair<const char*, Image::DialogKind> DialogKinds[] = {
    {"palette", Image::DialogKind::Palette},
    {"modal", Image::DialogKind::Modal},
};

template <typename Kind, std::size_t N>
Kind KindMember(const json& object, const Context& at, const std::pair<const char*, Kind> (&kinds)[N]) {
    const std::string name = Text(object, at, "type");
    std::string known;
    for (const auto& [text, kind] : kinds) {
        if (name == text) return kind;
        known += (known.empty() ? "" : ", ") + Quoted(text);
    }
    (at / "type").Fail("unknown type " + Quoted(name) + " (one of " + known + ")");
}

class Compiler {
public:
    explicit Compiler(const IdTable& ids) : ids(ids) {}

    void CompileFile(const fs::path& input) {
        const Context at(input);
        dependencies.push_back(fs::absolute(input).lexically_normal());
        json root;
        try {
            const std::vector<std::uint8_t> bytes = ReadFileBytes(input);
            root = json::parse(bytes.begin(), bytes.end());
        } catch (const std::ios_base::failure&) {
            at.Fail("cannot read the file");
        } catch (const json::parse_error& error) {
            at.Fail(std::string("invalid JSON: ") + error.what());
        }
        CheckKeys(root, at, {}, {"stringLists", "dialogs", "icons", "addOnIdentifications"});
        ForEach(root, at, "stringLists", [this](const json& value, const Context& where) { StringList(value, where); });
        ForEach(root, at, "dialogs", [this](const json& value, const Context& where) { Dialog(value, where); });
        ForEach(root, at, "icons", [this](const json& value, const Context& where) { Icon(value, where); });
        ForEach(root, at, "addOnIdentifications",
                [this](const json& value, const Context& where) { Identification(value, where); });
    }

    Compilation Take() { return {std::move(contents), std::move(dependencies)}; }

private:
    template <typename Handler>
    void ForEach(const json& root, const Context& at, const char* key, Handler&& handler) {
        if (!root.contains(key)) return;
        const json& list = Array(root, at, key, false);
        for (std::size_t i = 0; i < list.size(); ++i)
            handler(list[i], at / key / i);
    }

    std::int32_t NewId(const json& object, const Context& at, std::uint32_t type, const char* typeName) {
        const std::int32_t id = ResourceId(object, at, ids);
        const auto [it, added] = definedIn.emplace(std::make_pair(type, id), at.File());
        if (!added)
            (at / "id").Fail(std::string(typeName) + " " + std::to_string(id) + " is already defined in " +
                             it->second.string());
        return id;
    }

    void StringList(const json& object, const Context& at) {
        CheckKeys(object, at, {"id", "strings"}, {});
        Image::StringList list;
        list.id = NewId(object, at, Image::StringListType, "string list");
        const json& strings = Array(object, at, "strings", true);
        for (std::size_t i = 0; i < strings.size(); ++i) {
            if (!strings[i].is_string()) (at / "strings" / i).Fail("expected a string");
            list.strings.push_back(strings[i].get<std::string>());
        }
        contents.stringLists.push_back(std::move(list));
    }

    void Dialog(const json& object, const Context& at) {
        CheckKeys(object, at, {"id", "type", "title", "width", "height", "items"}, {"x", "y", "name", "displayName"});
        Image::Dialog dialog;
        dialog.id = NewId(object, at, Image::DialogType, "dialog");
        dialog.kind = KindMember(object, at, DialogKinds);
        dialog.title = Text(object, at, "title");
        dialog.rect = ReadRect(object, at);
        dialog.name = Text(object, at, "name");
        dialog.displayName = Text(object, at, "displayName");
        const json& items = Array(object, at, "items", false);
        for (std::size_t i = 0; i < items.size(); ++i) {
            const Context where = at / "items" / i;
            CheckKeys(items[i], where, {"type", "x", "y", "width", "height"}, {"name", "text", "lengthLimit"});
            Image::DialogItem item;
            item.kind = KindMember(items[i], where, ItemKinds);
            item.rect = ReadRect(items[i], where);
            item.name = Text(items[i], where, "name");
            item.text = Text(items[i], where, "text");
            if (items[i].contains("lengthLimit")) {
                if (item.kind != Image::ItemKind::TextEdit) (where / "lengthLimit").Fail("only text edits have one");
                item.lengthLimit = static_cast<std::uint32_t>(
                    Integer(items[i].at("lengthLimit"), where / "lengthLimit", 1, MaxLengthLimit));
            }
            if (item.rect.x + item.rect.width > dialog.rect.width ||
                item.rect.y + item.rect.height > dialog.rect.height)
                where.Fail("item reaches outside the dialog's " + std::to_string(dialog.rect.width) + " x " +
                           std::to_string(dialog.rect.height));
            dialog.items.push_back(std::move(item));
        }
        contents.dialogs.push_back(std::move(dialog));
    }

    void Icon(const json& object, const Context& at) {
        CheckKeys(object, at, {"id", "images"}, {});
        Image::Icon icon;
        icon.id = NewId(object, at, Image::IconType, "icon");
        const json& images = Array(object, at, "images", true);
        for (std::size_t i = 0; i < images.size(); ++i)
            icon.images.push_back(LoadIconImage(images[i], at / "images" / i, dependencies));
        contents.icons.push_back(std::move(icon));
    }

    void Identification(const json& object, const Context& at) {
        CheckKeys(object, at, {"id", "developerId", "localId"}, {});
        Image::AddOnIdentification identification;
        identification.id = NewId(object, at, Image::AddOnIdentificationType, "add-on identification");
        constexpr std::int64_t maxUInt32 = std::numeric_limits<std::uint32_t>::max();
        identification.developerId =
            static_cast<std::uint32_t>(Integer(object.at("developerId"), at / "developerId", 0, maxUInt32));
        identification.localId =
            static_cast<std::uint32_t>(Integer(object.at("localId"), at / "localId", 0, maxUInt32));
        contents.identifications.push_back(identification);
    }

    const IdTable& ids;
    Image::Contents contents;
    std::vector<fs::path> dependencies;
    std::map<std::pair<std::uint32_t, std::int32_t>, fs::path> definedIn;
};

std::string EscapeForDepfile(const std::string& path) {
    std::string escaped;
    for (const char c : path) {
        if (c == ' ' || c == '#' || c == '\\') escaped += '\\';
        if (c == '$') escaped += '$';
        escaped += c;
    }
    return escaped;
}

} // namespace

IdTable ReadIdHeader(const std::filesystem::path& header) {
    std::ifstream in(header);
    if (!in) throw CompileError(header.string() + ": error: cannot read the id header");
    static const std::regex define(R"(^\s*#\s*define\s+([A-Za-z_]\w*)(.*)$)");
    static const std::regex number(R"(^[0-9]+$)");
    static const std::regex name(R"(^[A-Za-z_]\w*$)");
    IdTable ids;
    std::string line;
    for (int lineNumber = 1; std::getline(in, line); ++lineNumber) {
        std::smatch match;
        if (!std::regex_match(line, match, define)) continue;
        const auto fail = [&](const std::string& message) {
            throw CompileError(header.string() + ":" + std::to_string(lineNumber) + ": error: " + message);
        };
        std::string value = match[2].str();
        if (const auto comment = value.find("//"); comment != std::string::npos) value.erase(comment);
        const auto first = value.find_first_not_of(" \t");
        if (first == std::string::npos) continue; // a guard, or a flag without value
        value = value.substr(first, value.find_last_not_of(" \t") - first + 1);

        std::int64_t id = 0;
        if (std::regex_match(value, number)) {
            if (value.size() > 10 || std::stoll(value) > std::numeric_limits<std::int32_t>::max())
                fail("value " + value + " does not fit 32 bits");
            id = std::stoll(value);
        } else if (std::regex_match(value, name)) {
            const auto it = ids.find(value);
            if (it == ids.end()) fail(Quoted(value) + " is not defined above");
            id = it->second;
        } else {
            fail("unsupported value " + Quoted(value) + " (a decimal number or an earlier name)");
        }
        if (!ids.emplace(match[1].str(), static_cast<std::int32_t>(id)).second)
            fail(Quoted(match[1].str()) + " is defined twice");
    }
    return ids;
}

Compilation Compile(const std::vector<std::filesystem::path>& inputs, const IdTable& ids) {
    Compiler compiler(ids);
    for (const auto& input : inputs)
        compiler.CompileFile(input);
    return compiler.Take();
}

std::string GenerateSource(const std::vector<std::uint8_t>& image, const std::vector<std::filesystem::path>& inputs) {
    std::ostringstream out;
    out << "// Generated by the resource compiler from:\n";
    for (const auto& input : inputs)
        out << "//   " << input.generic_string() << "\n";
    out << "// Edit those files, not this one. The RS library reads the section from the module's file\n"
           "// (RSInitModuleImageCache), so nothing refers to the array.\n\n"
           "namespace {\n\n"
        << "[[gnu::section(\"" << Image::SectionName << "\"), gnu::used, gnu::aligned(8)]] const unsigned char "
        << "resourceImage[" << image.size() << "] = {";
    out << std::hex << std::setfill('0');
    for (std::size_t i = 0; i < image.size(); ++i) {
        out << (i % 16 == 0 ? "\n    " : " ") << "0x" << std::setw(2) << static_cast<unsigned>(image[i]) << ",";
    }
    out << "\n};\n\n} // namespace\n";
    return out.str();
}

std::string GenerateDepfile(const std::filesystem::path& output,
                            const std::vector<std::filesystem::path>& dependencies) {
    std::string text = EscapeForDepfile(output.generic_string()) + ":";
    for (const auto& dependency : dependencies)
        text += " \\\n  " + EscapeForDepfile(dependency.generic_string());
    return text + "\n";
}

} // namespace RS::Compiler
