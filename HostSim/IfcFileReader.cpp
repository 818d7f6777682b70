#include "IfcFileReader.hpp"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <unordered_map>
#include <unordered_set>
#include <variant>

namespace HostSim {

namespace {

using InstanceId = std::uint64_t;

// Rooted instances keep only this much of their text: the attributes read (GlobalId to ObjectPlacement) come first.
constexpr std::size_t RootPrefixLimit = 4096;
// Lists nest a few levels in IFC; deeper nesting is a damaged or hostile file.
constexpr int MaxListDepth = 64;

// ---- Statements ----

// Reads the file statement by statement (up to each ';' outside strings and parentheses), without comments.
// Only the first `limit` characters of a statement's text are kept; the rest is scanned and dropped.
class StatementReader {
public:
    explicit StatementReader(std::istream& in) : in(in) {}

    // False at the end of the input. `text` is the statement without its ';', whitespace outside strings kept.
    bool Next(std::string* text, const std::function<std::size_t(const std::string& start)>& limitFor) {
        text->clear();
        std::size_t limit = std::string::npos;
        bool decided = false;
        int depth = 0;
        for (;;) {
            const int ch = Get();
            if (ch == EOF) return false; // a statement without its ';' is no statement
            if (ch == '/' && Peek() == '*') {
                Get();
                SkipComment();
                continue;
            }
            if (ch == ';' && depth == 0) return true;
            if (ch == '(') ++depth;
            if (ch == ')' && depth > 0) --depth;
            if (!decided && ch == '(') {
                // The instance's name is known now: how much of it to keep.
                limit = limitFor(*text);
                decided = true;
            }
            if (text->size() < limit) text->push_back(static_cast<char>(ch));
            if (ch == '\'') ReadStringRest(text, limit);
        }
    }

private:
    int Get() {
        if (position == filled) {
            in.read(buffer, sizeof buffer);
            filled = static_cast<std::size_t>(in.gcount());
            position = 0;
            if (filled == 0) return EOF;
        }
        return static_cast<unsigned char>(buffer[position++]);
    }

    int Peek() {
        if (position == filled) {
            in.read(buffer, sizeof buffer);
            filled = static_cast<std::size_t>(in.gcount());
            position = 0;
            if (filled == 0) return EOF;
        }
        return static_cast<unsigned char>(buffer[position]);
    }

    void SkipComment() {
        int previous = 0;
        for (int ch = Get(); ch != EOF; ch = Get()) {
            if (previous == '*' && ch == '/') return;
            previous = ch;
        }
    }

    // After an opening quote: up to and with the closing one ('' is a quote inside).
    void ReadStringRest(std::string* text, std::size_t limit) {
        for (int ch = Get(); ch != EOF; ch = Get()) {
            if (text->size() < limit) text->push_back(static_cast<char>(ch));
            if (ch != '\'') continue;
            if (Peek() != '\'') return;
            Get();
            if (text->size() < limit) text->push_back('\'');
        }
    }

    std::istream& in;
    char buffer[1 << 16];
    std::size_t filled = 0;
    std::size_t position = 0;
};

// ---- Parameters ----

struct Parameter;
using ParameterList = std::vector<Parameter>;

struct Parameter {
    enum class Kind { Unset, Reference, String, Number, Enumeration, List, Other };
    Kind kind = Kind::Unset;
    InstanceId reference = 0;
    std::string text; // a string's raw content or an enumeration's name
    double number = 0.0;
    ParameterList list;
};

// Parses the parameter list that starts at text[*at] == '('. A list cut short (a kept prefix) gives what it has.
class ParameterParser {
public:
    explicit ParameterParser(const std::string& text) : text(text) {}

    bool ParseList(std::size_t* at, ParameterList* out, int depth = 0) {
        if (depth > MaxListDepth) return false;
        SkipSpace(at);
        if (*at >= text.size() || text[*at] != '(') return false;
        ++*at;
        for (;;) {
            SkipSpace(at);
            if (*at >= text.size()) return true; // cut short
            if (text[*at] == ')') {
                ++*at;
                return true;
            }
            Parameter parameter;
            if (!ParseOne(at, &parameter, depth)) return false;
            out->push_back(std::move(parameter));
            SkipSpace(at);
            if (*at < text.size() && text[*at] == ',') ++*at;
        }
    }

private:
    bool ParseOne(std::size_t* at, Parameter* parameter, int depth) {
        const char ch = text[*at];
        if (ch == '$' || ch == '*') {
            ++*at;
            return true;
        }
        if (ch == '#') {
            ++*at;
            parameter->kind = Parameter::Kind::Reference;
            parameter->reference = ReadDigits(at);
            return true;
        }
        if (ch == '\'') {
            parameter->kind = Parameter::Kind::String;
            ++*at;
            while (*at < text.size()) {
                if (text[*at] == '\'') {
                    if (*at + 1 < text.size() && text[*at + 1] == '\'') {
                        parameter->text += "''";
                        *at += 2;
                        continue;
                    }
                    ++*at;
                    break;
                }
                parameter->text.push_back(text[(*at)++]);
            }
            return true;
        }
        if (ch == '.') {
            const std::size_t end = text.find('.', *at + 1);
            parameter->kind = Parameter::Kind::Enumeration;
            parameter->text = text.substr(*at + 1, end == std::string::npos ? std::string::npos : end - *at - 1);
            *at = end == std::string::npos ? text.size() : end + 1;
            return true;
        }
        if (ch == '(') {
            parameter->kind = Parameter::Kind::List;
            return ParseList(at, &parameter->list, depth + 1);
        }
        if (ch == '-' || ch == '+' || std::isdigit(static_cast<unsigned char>(ch))) {
            const char* begin = text.c_str() + *at;
            char* end = nullptr;
            parameter->number = std::strtod(begin, &end);
            parameter->kind = Parameter::Kind::Number;
            *at += static_cast<std::size_t>(end - begin);
            if (end == begin) ++*at;
            return true;
        }
        if (std::isalpha(static_cast<unsigned char>(ch))) {
            // A typed value, IFCLABEL('x'): its inner list is read and the value kept as Other.
            while (*at < text.size() && (std::isalnum(static_cast<unsigned char>(text[*at])) || text[*at] == '_'))
                ++*at;
            parameter->kind = Parameter::Kind::Other;
            SkipSpace(at);
            if (*at < text.size() && text[*at] == '(') return ParseList(at, &parameter->list, depth + 1);
            return true;
        }
        ++*at; // anything else is passed over
        parameter->kind = Parameter::Kind::Other;
        return true;
    }

    InstanceId ReadDigits(std::size_t* at) const {
        InstanceId value = 0;
        while (*at < text.size() && std::isdigit(static_cast<unsigned char>(text[*at])))
            value = value * 10 + static_cast<InstanceId>(text[(*at)++] - '0');
        return value;
    }

    void SkipSpace(std::size_t* at) const {
        while (*at < text.size() && std::isspace(static_cast<unsigned char>(text[*at])))
            ++*at;
    }

    const std::string& text;
};

// ---- Instances ----

struct InstanceHead {
    InstanceId id = 0;
    std::string type;     // upper case
    std::size_t open = 0; // index of the '(' of its parameters
};

// "#12 = IFCWALL(" → id, type and where the parameters start; empty for a statement that is no simple instance.
std::optional<InstanceHead> ReadHead(const std::string& text) {
    std::size_t at = 0;
    while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at])))
        ++at;
    if (at >= text.size() || text[at] != '#') return std::nullopt;
    ++at;
    InstanceHead head;
    const std::size_t digits = at;
    while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])))
        head.id = head.id * 10 + static_cast<InstanceId>(text[at++] - '0');
    if (at == digits) return std::nullopt;
    while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at])))
        ++at;
    if (at >= text.size() || text[at] != '=') return std::nullopt;
    ++at;
    while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at])))
        ++at;
    while (at < text.size() && (std::isalnum(static_cast<unsigned char>(text[at])) || text[at] == '_'))
        head.type.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(text[at++]))));
    while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at])))
        ++at;
    if (head.type.empty() || at >= text.size() || text[at] != '(') return std::nullopt; // a complex instance
    head.open = at;
    return head;
}

std::string Keyword(const std::string& text) {
    std::string word;
    for (const char ch : text) {
        if (std::isspace(static_cast<unsigned char>(ch)) && word.empty()) continue;
        if (!std::isalnum(static_cast<unsigned char>(ch)) && ch != '_' && ch != '-') break;
        word.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(ch))));
    }
    return word;
}

using Vector = std::array<double, 3>;

struct Transform {
    Vector origin{0.0, 0.0, 0.0};
    Vector x{1.0, 0.0, 0.0};
    Vector y{0.0, 1.0, 0.0};
    Vector z{0.0, 0.0, 1.0};

    Vector Apply(const Vector& p) const {
        return {origin[0] + x[0] * p[0] + y[0] * p[1] + z[0] * p[2],
                origin[1] + x[1] * p[0] + y[1] * p[1] + z[1] * p[2],
                origin[2] + x[2] * p[0] + y[2] * p[1] + z[2] * p[2]};
    }
    Vector Rotate(const Vector& v) const {
        return {x[0] * v[0] + y[0] * v[1] + z[0] * v[2], x[1] * v[0] + y[1] * v[1] + z[1] * v[2],
                x[2] * v[0] + y[2] * v[1] + z[2] * v[2]};
    }
    Transform Then(const Transform& local) const {
        Transform result;
        result.origin = Apply(local.origin);
        result.x = Rotate(local.x);
        result.y = Rotate(local.y);
        result.z = Rotate(local.z);
        return result;
    }
};

std::optional<Vector> Normalised(const Vector& v) {
    const double length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (!(length > 1e-12) || !std::isfinite(length)) return std::nullopt;
    return Vector{v[0] / length, v[1] / length, v[2] / length};
}

Vector Cross(const Vector& a, const Vector& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

// A unit vector perpendicular to the unit vector v: made from the world axis least along it.
Vector AnyPerpendicular(const Vector& v) {
    const Vector axis = std::abs(v[0]) <= std::abs(v[1]) && std::abs(v[0]) <= std::abs(v[2]) ? Vector{1.0, 0.0, 0.0}
                        : std::abs(v[1]) <= std::abs(v[2])                                   ? Vector{0.0, 1.0, 0.0}
                                                                                             : Vector{0.0, 0.0, 1.0};
    const double along = axis[0] * v[0] + axis[1] * v[1] + axis[2] * v[2];
    return Normalised({axis[0] - along * v[0], axis[1] - along * v[1], axis[2] - along * v[2]})
        .value_or(Vector{1.0, 0.0, 0.0});
}

struct Axis2Placement {
    InstanceId location = 0;
    InstanceId axis = 0; // 3D only
    InstanceId refDirection = 0;
};

struct LocalPlacement {
    InstanceId relativeTo = 0;
    InstanceId placement = 0;
};

struct Root {
    std::string type;
    std::string globalId;
    std::string name; // raw string content
    InstanceId placement = 0;
};

// What the first pass keeps, and the points and directions the second fetches.
struct Model {
    std::string schema;
    std::unordered_map<InstanceId, Root> roots;
    std::unordered_map<InstanceId, Axis2Placement> axisPlacements;
    std::unordered_map<InstanceId, LocalPlacement> localPlacements;
    std::vector<InstanceId> contained;                 // related elements of the containment relations, in order
    std::unordered_map<InstanceId, Vector> points;     // second pass
    std::unordered_map<InstanceId, Vector> directions; // second pass
};

InstanceId ReferenceAt(const ParameterList& list, std::size_t index) {
    if (index >= list.size() || list[index].kind != Parameter::Kind::Reference) return 0;
    return list[index].reference;
}

std::optional<Vector> VectorOf(const ParameterList& list) {
    if (list.empty() || list[0].kind != Parameter::Kind::List) return std::nullopt;
    Vector v{0.0, 0.0, 0.0};
    const ParameterList& numbers = list[0].list;
    if (numbers.empty() || numbers.size() > 3) return std::nullopt;
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        if (numbers[i].kind != Parameter::Kind::Number || !std::isfinite(numbers[i].number)) return std::nullopt;
        v[i] = numbers[i].number;
    }
    return v;
}

bool IsFirstPassType(const std::string& type) {
    return type == "IFCLOCALPLACEMENT" || type == "IFCAXIS2PLACEMENT3D" || type == "IFCAXIS2PLACEMENT2D" ||
           type == "IFCRELCONTAINEDINSPATIALSTRUCTURE";
}

void ReadHeaderStatement(const std::string& text, Model* model, bool* inData) {
    const std::string keyword = Keyword(text);
    if (keyword == "DATA") {
        *inData = true;
    } else if (keyword == "FILE_SCHEMA") {
        ParameterList parameters;
        std::size_t at = text.find('(');
        if (at != std::string::npos && ParameterParser(text).ParseList(&at, &parameters) && !parameters.empty() &&
            parameters[0].kind == Parameter::Kind::List && !parameters[0].list.empty())
            model->schema = parameters[0].list[0].text;
    }
    // Other header entities are allowed and of no interest.
}

// Runs over the statements of the input; `instance` gets each data instance with its kept text.
bool Scan(std::istream& in, Model* model, std::string* error,
          const std::function<std::size_t(const std::string& type)>& limitForType,
          const std::function<void(const InstanceHead&, const std::string&)>& instance) {
    StatementReader reader(in);
    std::string text;
    bool first = true;
    bool inData = false;
    const auto limitFor = [&](const std::string& start) -> std::size_t {
        if (!inData) return 1 << 20;
        const std::optional<InstanceHead> head = ReadHead(start + "(");
        return head ? limitForType(head->type) : RootPrefixLimit;
    };
    while (reader.Next(&text, limitFor)) {
        if (first) {
            if (Keyword(text) != "ISO-10303-21") {
                *error = "not an ISO 10303-21 file";
                return false;
            }
            first = false;
            continue;
        }
        if (!inData) {
            ReadHeaderStatement(text, model, &inData);
            continue;
        }
        const std::string keyword = Keyword(text);
        if (keyword == "ENDSEC") {
            inData = false;
            continue;
        }
        if (const std::optional<InstanceHead> head = ReadHead(text)) instance(*head, text);
    }
    if (first) {
        *error = "not an ISO 10303-21 file";
        return false;
    }
    return true;
}

void KeepFirstPassInstance(const InstanceHead& head, const std::string& text, Model* model) {
    ParameterList parameters;
    std::size_t at = head.open;
    if (!ParameterParser(text).ParseList(&at, &parameters)) return;
    if (head.type == "IFCLOCALPLACEMENT") {
        model->localPlacements[head.id] = LocalPlacement{ReferenceAt(parameters, 0), ReferenceAt(parameters, 1)};
    } else if (head.type == "IFCAXIS2PLACEMENT3D") {
        model->axisPlacements[head.id] =
            Axis2Placement{ReferenceAt(parameters, 0), ReferenceAt(parameters, 1), ReferenceAt(parameters, 2)};
    } else if (head.type == "IFCAXIS2PLACEMENT2D") {
        model->axisPlacements[head.id] = Axis2Placement{ReferenceAt(parameters, 0), 0, ReferenceAt(parameters, 1)};
    } else if (head.type == "IFCRELCONTAINEDINSPATIALSTRUCTURE") {
        if (parameters.size() > 4 && parameters[4].kind == Parameter::Kind::List)
            for (const Parameter& related : parameters[4].list)
                if (related.kind == Parameter::Kind::Reference) model->contained.push_back(related.reference);
    } else if (parameters.size() >= 7 && parameters[0].kind == Parameter::Kind::String &&
               parameters[0].text.size() == 22) {
        // A rooted instance with a product's attributes: GlobalId, OwnerHistory, Name, Description, ObjectType,
        // ObjectPlacement, ... Which of them are elements the containment relations tell, wherever they stand.
        Root root;
        root.type = head.type;
        root.globalId = parameters[0].text;
        if (parameters[2].kind == Parameter::Kind::String) root.name = parameters[2].text;
        root.placement = ReferenceAt(parameters, 5);
        model->roots.emplace(head.id, std::move(root));
    }
}

std::optional<Transform> AxisTransform(const Model& model, InstanceId id) {
    const auto found = model.axisPlacements.find(id);
    if (found == model.axisPlacements.end()) return std::nullopt;
    Transform transform;
    if (const auto point = model.points.find(found->second.location); point != model.points.end())
        transform.origin = point->second;
    Vector z{0.0, 0.0, 1.0};
    if (const auto axis = model.directions.find(found->second.axis); axis != model.directions.end())
        if (const std::optional<Vector> n = Normalised(axis->second)) z = *n;
    Vector x{1.0, 0.0, 0.0};
    if (const auto ref = model.directions.find(found->second.refDirection); ref != model.directions.end())
        x = ref->second;
    // The x axis is the reference direction made perpendicular to z.
    const double along = x[0] * z[0] + x[1] * z[1] + x[2] * z[2];
    const std::optional<Vector> xn = Normalised({x[0] - along * z[0], x[1] - along * z[1], x[2] - along * z[2]});
    transform.z = z;
    transform.x = xn ? *xn : AnyPerpendicular(z);
    transform.y = Cross(transform.z, transform.x);
    return transform;
}

// The absolute transform of a local placement: its chain up to the root, composed downwards; a cycle ends it.
std::optional<Transform> PlacementTransform(const Model& model, InstanceId id,
                                            std::unordered_map<InstanceId, Transform>* cache) {
    std::vector<InstanceId> chain;
    std::unordered_set<InstanceId> seen;
    Transform base;
    for (InstanceId current = id; current != 0;) {
        if (const auto cached = cache->find(current); cached != cache->end()) {
            base = cached->second;
            break;
        }
        const auto placement = model.localPlacements.find(current);
        if (placement == model.localPlacements.end() || !seen.insert(current).second) break;
        chain.push_back(current);
        current = placement->second.relativeTo;
    }
    if (chain.empty() && !cache->contains(id)) return std::nullopt;
    for (auto link = chain.rbegin(); link != chain.rend(); ++link) {
        const LocalPlacement& placement = model.localPlacements.at(*link);
        if (const std::optional<Transform> local = AxisTransform(model, placement.placement)) base = base.Then(*local);
        cache->emplace(*link, base);
    }
    return cache->at(id);
}

// The length of the well-formed UTF-8 sequence at text[at], 0 when there is none.
std::size_t Utf8SequenceLength(const std::string& text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    const std::size_t length = lead >= 0xF0 && lead <= 0xF4  ? 4
                               : lead >= 0xE0                ? 3
                               : lead >= 0xC2 && lead < 0xE0 ? 2
                                                             : 0;
    if (length == 0 || at + length > text.size()) return 0;
    for (std::size_t i = 1; i < length; ++i)
        if ((byte(at + i) & 0xC0) != 0x80) return 0;
    return length;
}

char32_t DecodeUtf8(const std::string& text, std::size_t at, std::size_t length) {
    const auto byte = [&](std::size_t i) { return static_cast<char32_t>(static_cast<unsigned char>(text[i])); };
    char32_t value = byte(at) & (length == 2 ? 0x1F : length == 3 ? 0x0F : 0x07);
    for (std::size_t i = 1; i < length; ++i)
        value = (value << 6) | (byte(at + i) & 0x3F);
    return value;
}

} // namespace

std::string DecodeStepString(const std::string& literal) {
    std::u32string code;
    const auto hex = [&](std::size_t at, std::size_t count, std::uint32_t* value) {
        if (at + count > literal.size()) return false;
        *value = 0;
        for (std::size_t i = 0; i < count; ++i) {
            const char ch = literal[at + i];
            if (!std::isxdigit(static_cast<unsigned char>(ch))) return false;
            *value =
                *value * 16 + static_cast<std::uint32_t>(std::isdigit(static_cast<unsigned char>(ch))
                                                             ? ch - '0'
                                                             : std::toupper(static_cast<unsigned char>(ch)) - 'A' + 10);
        }
        return true;
    };
    std::size_t at = 0;
    while (at < literal.size()) {
        const char ch = literal[at];
        if (ch == '\'' && at + 1 < literal.size() && literal[at + 1] == '\'') {
            code.push_back(U'\'');
            at += 2;
        } else if (ch == '\\' && literal.compare(at, 3, "\\X\\") == 0) {
            std::uint32_t value = 0;
            if (!hex(at + 3, 2, &value)) break;
            code.push_back(value); // ISO 8859-1
            at += 5;
        } else if (ch == '\\' && (literal.compare(at, 4, "\\X2\\") == 0 || literal.compare(at, 4, "\\X4\\") == 0)) {
            const std::size_t width = literal[at + 2] == '2' ? 4 : 8;
            at += 4;
            std::uint32_t value = 0;
            std::uint32_t high = 0;
            while (at < literal.size() && literal.compare(at, 4, "\\X0\\") != 0 && hex(at, width, &value)) {
                if (width == 4 && value >= 0xD800 && value <= 0xDBFF) {
                    high = value;
                } else if (width == 4 && value >= 0xDC00 && value <= 0xDFFF && high != 0) {
                    code.push_back(0x10000 + ((high - 0xD800) << 10) + (value - 0xDC00));
                    high = 0;
                } else {
                    code.push_back(value);
                }
                at += width;
            }
            if (literal.compare(at, 4, "\\X0\\") == 0) at += 4;
        } else if (ch == '\\' && literal.compare(at, 3, "\\S\\") == 0 && at + 3 < literal.size()) {
            code.push_back(static_cast<unsigned char>(literal[at + 3]) + 128u);
            at += 4;
        } else if (ch == '\\' && at + 3 < literal.size() && literal[at + 1] == 'P' && literal[at + 3] == '\\') {
            at += 4; // a code page switch: the text here is ASCII or \X escapes
        } else if (ch == '\\' && at + 1 < literal.size() && literal[at + 1] == '\\') {
            code.push_back(U'\\');
            at += 2;
        } else if (static_cast<unsigned char>(ch) >= 0x80) {
            // Exporters that ignore the escapes write UTF-8 as it is; a byte that starts no sequence is Latin-1.
            const std::size_t length = Utf8SequenceLength(literal, at);
            code.push_back(length == 0 ? static_cast<unsigned char>(ch) : DecodeUtf8(literal, at, length));
            at += length == 0 ? 1 : length;
        } else {
            code.push_back(static_cast<unsigned char>(ch));
            ++at;
        }
    }
    std::string utf8;
    for (char32_t c : code) {
        if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;
        if (c < 0x80) {
            utf8.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            utf8.push_back(static_cast<char>(0xC0 | (c >> 6)));
            utf8.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            utf8.push_back(static_cast<char>(0xE0 | (c >> 12)));
            utf8.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            utf8.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            utf8.push_back(static_cast<char>(0xF0 | (c >> 18)));
            utf8.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
            utf8.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            utf8.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return utf8;
}

std::optional<IfcFileContent> ReadIfcFile(std::istream& in, std::string* error) {
    std::string ignored;
    if (error == nullptr) error = &ignored;
    Model model;
    const std::streampos start = in.tellg();

    // First pass: placements, containment and rooted instances.
    const auto firstLimit = [](const std::string& type) {
        return IsFirstPassType(type) ? std::string::npos : RootPrefixLimit;
    };
    if (!Scan(in, &model, error, firstLimit,
              [&](const InstanceHead& head, const std::string& text) { KeepFirstPassInstance(head, text, &model); }))
        return std::nullopt;

    // Second pass: only the points and directions those placements use.
    std::unordered_set<InstanceId> wanted;
    for (const auto& [id, placement] : model.axisPlacements) {
        wanted.insert(placement.location);
        wanted.insert(placement.axis);
        wanted.insert(placement.refDirection);
    }
    wanted.erase(0);
    if (!wanted.empty()) {
        in.clear();
        in.seekg(start);
        if (!in) {
            *error = "the input cannot be read twice";
            return std::nullopt;
        }
        Model ignoredHeader;
        const auto secondLimit = [](const std::string& type) -> std::size_t {
            return type == "IFCCARTESIANPOINT" || type == "IFCDIRECTION" ? 256 : 0;
        };
        if (!Scan(in, &ignoredHeader, error, secondLimit, [&](const InstanceHead& head, const std::string& text) {
                if (!wanted.contains(head.id)) return;
                ParameterList parameters;
                std::size_t at = head.open;
                if (!ParameterParser(text).ParseList(&at, &parameters)) return;
                const std::optional<Vector> v = VectorOf(parameters);
                if (!v) return;
                if (head.type == "IFCCARTESIANPOINT") model.points[head.id] = *v;
                if (head.type == "IFCDIRECTION") model.directions[head.id] = *v;
            }))
            return std::nullopt;
    }

    IfcFileContent content;
    content.schema = model.schema;
    std::unordered_set<InstanceId> taken;
    std::unordered_map<InstanceId, Transform> transforms;
    for (const InstanceId id : model.contained) {
        const auto root = model.roots.find(id);
        if (root == model.roots.end() || !taken.insert(id).second) continue;
        IfcFileElement element;
        element.globalId = root->second.globalId;
        element.name = DecodeStepString(root->second.name);
        element.entityType = root->second.type;
        if (root->second.placement != 0)
            if (const std::optional<Transform> transform =
                    PlacementTransform(model, root->second.placement, &transforms))
                element.location = transform->origin;
        content.elements.push_back(std::move(element));
    }
    return content;
}

std::optional<IfcFileContent> ReadIfcFile(const std::filesystem::path& file, std::string* error) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        if (error != nullptr) *error = "cannot open " + file.string();
        return std::nullopt;
    }
    return ReadIfcFile(in, error);
}

} // namespace HostSim
