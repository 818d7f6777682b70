#include "JDOMStringWriter.hpp"

#include "CharCodeConversion.hpp"

#include <nlohmann/json.hpp>

#include <charconv>
#include <cmath>
#include <string>
#include <vector>

namespace JSON {

namespace {

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
                out += isArray ? ']' : '}';
                continue;
            }
            if (top.next > 0) out += ',';
            NewLine();
            const Value* child = nullptr;
            if (isArray) {
                child = AsArray(*top.container).Get(top.next).Get();
            } else {
                const ObjectValue::Member& member = *(AsObject(*top.container).begin() + top.next);
                AppendString(member.key);
                out += prettyPrint ? ": " : ":";
                child = member.value.Get();
            }
            ++top.next;
            Open(*child); // may push, which invalidates `top`
        }
    }

    const std::string& GetBytes() const noexcept { return out; }

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
            out += "null";
            break;
        case Value::Type::Bool:
            out += static_cast<const BoolValue&>(value).Get() ? "true" : "false";
            break;
        case Value::Type::Number:
            AppendNumber(static_cast<const NumberValue&>(value).Get());
            break;
        case Value::Type::String:
            AppendString(static_cast<const StringValue&>(value).Get());
            break;
        case Value::Type::Array:
            if (AsArray(value).IsEmpty()) {
                out += "[]";
            } else {
                out += '[';
                open.push_back(Frame{&value, 0});
            }
            break;
        case Value::Type::Object:
            if (AsObject(value).IsEmpty()) {
                out += "{}";
            } else {
                out += '{';
                open.push_back(Frame{&value, 0});
            }
            break;
        }
    }

    void NewLine() {
        if (!prettyPrint) return;
        out += '\n';
        out.append(open.size() * indent, ' ');
    }

    void AppendNumber(double value) {
        if (!std::isfinite(value)) {
            out += "null";
        } else if (value == 0.0 && std::signbit(value)) {
            out += "-0.0"; // "-0" would read back as an integer zero and lose the sign
        } else {
            char buffer[32];
            const auto result = std::to_chars(buffer, buffer + sizeof(buffer), value);
            out.append(buffer, result.ptr);
        }
    }

    // Escaping is the library's; the text is valid UTF-8 since the encoder replaces lone surrogates.
    void AppendString(const GS::UniString& text) {
        const nlohmann::json string = GS::EncodeText(text.ToU16String(), CC_UTF8);
        out += string.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    }

    const bool prettyPrint;
    const USize indent;
    std::vector<Frame> open;
    std::string out;
};

} // namespace

JDOMStringWriter::JDOMStringWriter(bool prettyPrint, Int32 indent) noexcept
    : prettyPrint(prettyPrint), indent(indent > 0 ? static_cast<USize>(indent) : 0) {}

void JDOMStringWriter::Write(const ValueRef& value) {
    const Value& root = *value;
    TextBuilder builder(prettyPrint, indent);
    builder.WriteTree(root);
    text = GS::UniString(GS::DecodeText(builder.GetBytes(), CC_UTF8));
}

} // namespace JSON
