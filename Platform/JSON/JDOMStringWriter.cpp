#include "JDOMStringWriter.hpp"

#include <charconv>
#include <cmath>
#include <string>
#include <vector>

namespace JSON {

namespace {

constexpr char16_t ReplacementCharacter = 0xFFFD;

bool IsHighSurrogate(char16_t unit) noexcept {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
bool IsLowSurrogate(char16_t unit) noexcept {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}
// What a string literal cannot hold as it is.
bool NeedsEscape(char16_t unit) noexcept {
    return unit < 0x20 || unit == u'"' || unit == u'\\' || (unit >= 0xD800 && unit <= 0xDFFF);
}

void AppendAscii(std::u16string& out, std::string_view ascii) {
    out.append(ascii.begin(), ascii.end());
}

// Walks the tree with its own stack of open containers, so the depth of the tree never reaches the call stack.
class TextBuilder {
public:
    TextBuilder(bool prettyPrint, USize indent) : prettyPrint(prettyPrint), indent(indent) {}

    void WriteTree(const Value& root) {
        Open(root);
        while (!open.empty()) {
            Frame& top = open.back();
            const bool isArray = top.container->GetType() == Value::Type::Array;
            const USize size = isArray ? AsArray(*top.container).GetSize() : AsObject(*top.container).GetSize();
            if (top.next == size) {
                open.pop_back();
                NewLine();
                out += isArray ? u']' : u'}';
                continue;
            }
            if (top.next > 0) out += u',';
            NewLine();
            const Value* child = nullptr;
            if (isArray) {
                child = AsArray(*top.container).Get(top.next).Get();
            } else {
                const ObjectValue::Member& member = *(AsObject(*top.container).begin() + top.next);
                AppendStringLiteral(out, member.key.ToU16String());
                AppendAscii(out, prettyPrint ? ": " : ":");
                child = member.value.Get();
            }
            ++top.next;
            Open(*child); // may push, which invalidates `top`
        }
    }

    std::u16string TakeText() noexcept { return std::move(out); }

private:
    struct Frame {
        const Value* container;
        UIndex next;
    };

    static const ArrayValue& AsArray(const Value& value) { return static_cast<const ArrayValue&>(value); }
    static const ObjectValue& AsObject(const Value& value) { return static_cast<const ObjectValue&>(value); }

    void Open(const Value& value) {
        switch (value.GetType()) {
        case Value::Type::Null:
            AppendAscii(out, "null");
            break;
        case Value::Type::Bool:
            AppendAscii(out, static_cast<const BoolValue&>(value).Get() ? "true" : "false");
            break;
        case Value::Type::Number:
            AppendNumber(static_cast<const NumberValue&>(value).Get());
            break;
        case Value::Type::String:
            AppendStringLiteral(out, static_cast<const StringValue&>(value).Get().ToU16String());
            break;
        case Value::Type::Array:
            if (AsArray(value).IsEmpty()) {
                AppendAscii(out, "[]");
            } else {
                out += u'[';
                open.push_back(Frame{&value, 0});
            }
            break;
        case Value::Type::Object:
            if (AsObject(value).IsEmpty()) {
                AppendAscii(out, "{}");
            } else {
                out += u'{';
                open.push_back(Frame{&value, 0});
            }
            break;
        }
    }

    void NewLine() {
        if (!prettyPrint) return;
        out += u'\n';
        out.append(open.size() * indent, u' ');
    }

    void AppendNumber(double value) {
        if (!std::isfinite(value)) {
            AppendAscii(out, "null");
        } else if (value == 0.0 && std::signbit(value)) {
            AppendAscii(out, "-0.0"); // "-0" would read back as an integer zero and lose the sign
        } else {
            char buffer[32];
            const auto result = std::to_chars(buffer, buffer + sizeof(buffer), value);
            AppendAscii(out, std::string_view(buffer, static_cast<std::size_t>(result.ptr - buffer)));
        }
    }

    const bool prettyPrint;
    const USize indent;
    std::vector<Frame> open;
    std::u16string out;
};

} // namespace

void AppendStringLiteral(std::u16string& out, std::u16string_view text) {
    out += u'"';
    std::size_t plainFrom = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        if (!NeedsEscape(unit)) continue;
        // Runs of plain text go over in one copy.
        out.append(text.data() + plainFrom, i - plainFrom);
        plainFrom = i + 1;
        if (IsHighSurrogate(unit) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
            out += unit;
            out += text[i + 1];
            ++i;
            plainFrom = i + 1;
            continue;
        }
        switch (unit) {
        case u'"':
            AppendAscii(out, "\\\"");
            break;
        case u'\\':
            AppendAscii(out, "\\\\");
            break;
        case u'\b':
            AppendAscii(out, "\\b");
            break;
        case u'\f':
            AppendAscii(out, "\\f");
            break;
        case u'\n':
            AppendAscii(out, "\\n");
            break;
        case u'\r':
            AppendAscii(out, "\\r");
            break;
        case u'\t':
            AppendAscii(out, "\\t");
            break;
        default:
            if (unit < 0x20) {
                constexpr char Hex[] = "0123456789abcdef";
                const char escape[] = {'\\', 'u', '0', '0', Hex[unit >> 4], Hex[unit & 0xF]};
                AppendAscii(out, std::string_view(escape, sizeof(escape)));
            } else {
                out += ReplacementCharacter; // a lone surrogate
            }
            break;
        }
    }
    out.append(text.data() + plainFrom, text.size() - plainFrom);
    out += u'"';
}

JDOMStringWriter::JDOMStringWriter(bool prettyPrint, Int32 indent) noexcept
    : prettyPrint(prettyPrint), indent(indent > 0 ? static_cast<USize>(indent) : 0) {}

void JDOMStringWriter::Write(const ValueRef& value) {
    const Value& root = *value;
    TextBuilder builder(prettyPrint, indent);
    builder.WriteTree(root);
    text = GS::UniString(builder.TakeText());
}

} // namespace JSON
