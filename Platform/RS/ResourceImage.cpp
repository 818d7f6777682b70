#include "ResourceImage.hpp"

#include <set>
#include <utility>

// Payloads (strings are a UInt32 byte count and the UTF-8 bytes, no terminator):
//   'STR#'  count, strings
//   'GDLG'  kind, rect, title, name, display name, item count, items (kind, rect, name, text)
//   'GICN'  image count, images (width, height, dpi, byte count, PNG bytes)
//   'MDID'  developer id, local id
// A rect is x, y, width, height as Int32.

namespace RS::Image {

namespace {

constexpr std::size_t HeaderSize = 16;
constexpr std::size_t EntrySize = 16;

class Writer {
public:
    void U32(std::uint32_t value) {
        for (int shift = 0; shift < 32; shift += 8)
            bytes.push_back(static_cast<std::uint8_t>(value >> shift));
    }
    void I32(std::int32_t value) { U32(static_cast<std::uint32_t>(value)); }
    void Text(const std::string& text) {
        U32(static_cast<std::uint32_t>(text.size()));
        bytes.insert(bytes.end(), text.begin(), text.end());
    }
    void Bytes(const std::vector<std::uint8_t>& data) {
        U32(static_cast<std::uint32_t>(data.size()));
        bytes.insert(bytes.end(), data.begin(), data.end());
    }
    void Box(const Rect& rect) {
        I32(rect.x);
        I32(rect.y);
        I32(rect.width);
        I32(rect.height);
    }
    void PatchU32(std::size_t at, std::uint32_t value) {
        for (int i = 0; i < 4; ++i)
            bytes[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
    }
    std::size_t Size() const { return bytes.size(); }
    std::vector<std::uint8_t> Take() { return std::move(bytes); }

private:
    std::vector<std::uint8_t> bytes;
};

// Bounds-checked reading; every failure latches, so callers check once at the end of a record.
class Reader {
public:
    explicit Reader(std::span<const std::uint8_t> data) : data(data) {}

    std::uint32_t U32() {
        if (!Has(4)) return Fail();
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i)
            value |= static_cast<std::uint32_t>(data[pos++]) << (8 * i);
        return value;
    }
    std::int32_t I32() { return static_cast<std::int32_t>(U32()); }
    std::string Text() {
        const std::uint32_t size = U32();
        if (!Has(size)) {
            Fail();
            return {};
        }
        std::string text(reinterpret_cast<const char*>(data.data() + pos), size);
        pos += size;
        return text;
    }
    std::vector<std::uint8_t> Bytes() {
        const std::uint32_t size = U32();
        if (!Has(size)) {
            Fail();
            return {};
        }
        std::vector<std::uint8_t> result(data.begin() + static_cast<std::ptrdiff_t>(pos),
                                         data.begin() + static_cast<std::ptrdiff_t>(pos + size));
        pos += size;
        return result;
    }
    Rect Box() {
        Rect rect;
        rect.x = I32();
        rect.y = I32();
        rect.width = I32();
        rect.height = I32();
        return rect;
    }
    // A count of records of at least minSize bytes each; refusing impossible counts keeps allocations bounded.
    std::uint32_t Count(std::size_t minSize) {
        const std::uint32_t count = U32();
        if (ok && count > (data.size() - pos) / minSize) return Fail();
        return count;
    }

    bool Ok() const { return ok; }
    bool AtEnd() const { return ok && pos == data.size(); }

private:
    bool Has(std::size_t size) const { return ok && size <= data.size() - pos; }
    std::uint32_t Fail() {
        ok = false;
        return 0;
    }

    std::span<const std::uint8_t> data;
    std::size_t pos = 0;
    bool ok = true;
};

template <typename Enum>
std::optional<Enum> ToEnum(std::uint32_t value, std::uint32_t first, std::uint32_t last) {
    if (value < first || value > last) return std::nullopt;
    return static_cast<Enum>(value);
}

std::optional<DialogKind> ToDialogKind(std::uint32_t value) {
    return ToEnum<DialogKind>(value, static_cast<std::uint32_t>(DialogKind::Palette),
                              static_cast<std::uint32_t>(DialogKind::Modal));
}

std::optional<ItemKind> ToItemKind(std::uint32_t value) {
    return ToEnum<ItemKind>(value, static_cast<std::uint32_t>(ItemKind::Browser),
                            static_cast<std::uint32_t>(ItemKind::SingleSelListBox));
}

bool ReadStringList(Reader& in, StringList& list) {
    const std::uint32_t count = in.Count(4);
    for (std::uint32_t i = 0; i < count && in.Ok(); ++i)
        list.strings.push_back(in.Text());
    return in.AtEnd();
}

bool ReadDialog(Reader& in, Dialog& dialog) {
    const auto kind = ToDialogKind(in.U32());
    if (!kind) return false;
    dialog.kind = *kind;
    dialog.rect = in.Box();
    dialog.title = in.Text();
    dialog.name = in.Text();
    dialog.displayName = in.Text();
    const std::uint32_t count = in.Count(32);
    for (std::uint32_t i = 0; i < count && in.Ok(); ++i) {
        DialogItem item;
        const auto itemKind = ToItemKind(in.U32());
        if (!itemKind) return false;
        item.kind = *itemKind;
        item.rect = in.Box();
        item.name = in.Text();
        item.text = in.Text();
        item.lengthLimit = in.U32();
        dialog.items.push_back(std::move(item));
    }
    return in.AtEnd();
}

bool ReadIcon(Reader& in, Icon& icon) {
    const std::uint32_t count = in.Count(16);
    for (std::uint32_t i = 0; i < count && in.Ok(); ++i) {
        IconImage image;
        image.width = in.U32();
        image.height = in.U32();
        image.dpi = in.U32();
        image.png = in.Bytes();
        icon.images.push_back(std::move(image));
    }
    return in.AtEnd();
}

bool ReadIdentification(Reader& in, AddOnIdentification& identification) {
    identification.developerId = in.U32();
    identification.localId = in.U32();
    return in.AtEnd();
}

} // namespace

std::vector<std::uint8_t> Write(const Contents& contents) {
    Writer out;
    const std::size_t count =
        contents.stringLists.size() + contents.dialogs.size() + contents.icons.size() + contents.identifications.size();
    out.U32(Magic);
    out.U32(FormatVersion);
    out.U32(0); // image size, patched below
    out.U32(static_cast<std::uint32_t>(count));
    const std::size_t directory = out.Size();
    for (std::size_t i = 0; i < count * EntrySize / 4; ++i)
        out.U32(0);

    std::size_t entry = directory;
    auto payload = [&](std::uint32_t type, std::int32_t id, auto&& writeBody) {
        const std::size_t start = out.Size();
        writeBody();
        out.PatchU32(entry, type);
        out.PatchU32(entry + 4, static_cast<std::uint32_t>(id));
        out.PatchU32(entry + 8, static_cast<std::uint32_t>(start));
        out.PatchU32(entry + 12, static_cast<std::uint32_t>(out.Size() - start));
        entry += EntrySize;
    };

    for (const StringList& list : contents.stringLists) {
        payload(StringListType, list.id, [&] {
            out.U32(static_cast<std::uint32_t>(list.strings.size()));
            for (const std::string& text : list.strings)
                out.Text(text);
        });
    }
    for (const Dialog& dialog : contents.dialogs) {
        payload(DialogType, dialog.id, [&] {
            out.U32(static_cast<std::uint32_t>(dialog.kind));
            out.Box(dialog.rect);
            out.Text(dialog.title);
            out.Text(dialog.name);
            out.Text(dialog.displayName);
            out.U32(static_cast<std::uint32_t>(dialog.items.size()));
            for (const DialogItem& item : dialog.items) {
                out.U32(static_cast<std::uint32_t>(item.kind));
                out.Box(item.rect);
                out.Text(item.name);
                out.Text(item.text);
                out.U32(item.lengthLimit);
            }
        });
    }
    for (const Icon& icon : contents.icons) {
        payload(IconType, icon.id, [&] {
            out.U32(static_cast<std::uint32_t>(icon.images.size()));
            for (const IconImage& image : icon.images) {
                out.U32(image.width);
                out.U32(image.height);
                out.U32(image.dpi);
                out.Bytes(image.png);
            }
        });
    }
    for (const AddOnIdentification& identification : contents.identifications) {
        payload(AddOnIdentificationType, identification.id, [&] {
            out.U32(identification.developerId);
            out.U32(identification.localId);
        });
    }
    out.PatchU32(8, static_cast<std::uint32_t>(out.Size()));
    return out.Take();
}

std::optional<Contents> Read(std::span<const std::uint8_t> bytes) {
    Reader header(bytes);
    const std::uint32_t magic = header.U32();
    const std::uint32_t version = header.U32();
    const std::uint32_t imageSize = header.U32();
    const std::uint32_t count = header.U32();
    if (!header.Ok() || magic != Magic || version != FormatVersion) return std::nullopt;
    if (imageSize < HeaderSize || imageSize > bytes.size()) return std::nullopt;
    const std::span<const std::uint8_t> image = bytes.first(imageSize);
    if (count > (imageSize - HeaderSize) / EntrySize) return std::nullopt;

    Contents contents;
    std::set<std::pair<std::uint32_t, std::int32_t>> seen;
    Reader directory(image.subspan(HeaderSize, count * EntrySize));
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint32_t type = directory.U32();
        const std::int32_t id = directory.I32();
        const std::uint32_t offset = directory.U32();
        const std::uint32_t size = directory.U32();
        if (offset < HeaderSize + count * EntrySize || offset > imageSize || size > imageSize - offset)
            return std::nullopt;
        if (!seen.insert({type, id}).second) return std::nullopt;

        Reader in(image.subspan(offset, size));
        bool ok = false;
        if (type == StringListType) {
            StringList& list = contents.stringLists.emplace_back();
            list.id = id;
            ok = ReadStringList(in, list);
        } else if (type == DialogType) {
            Dialog& dialog = contents.dialogs.emplace_back();
            dialog.id = id;
            ok = ReadDialog(in, dialog);
        } else if (type == IconType) {
            Icon& icon = contents.icons.emplace_back();
            icon.id = id;
            ok = ReadIcon(in, icon);
        } else if (type == AddOnIdentificationType) {
            AddOnIdentification& identification = contents.identifications.emplace_back();
            identification.id = id;
            ok = ReadIdentification(in, identification);
        }
        if (!ok) return std::nullopt;
    }
    return contents;
}

} // namespace RS::Image
