#include "JDOMStringParser.hpp"

#include "CharCodeConversion.hpp"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <string>
#include <vector>

namespace JSON {

namespace {

using Json = nlohmann::json;

std::string ToBytes(const GS::UniString& text) {
    return GS::EncodeText(text.ToU16String(), CC_UTF8);
}

// The lexer has already checked the UTF-8, so decoding is exact.
GS::UniString ToText(const std::string& bytes) {
    return GS::UniString(GS::DecodeText(bytes, CC_UTF8));
}

// Builds the tree from the parser's events. The parser itself keeps no call stack per level, and the open
// containers live in `open`, so neither side recurses; refusing a level beyond MaxDepth ends the parse.
class TreeBuilder final : public nlohmann::json_sax<Json> {
public:
    ValueRef TakeRoot() { return std::move(root); }

    bool null() override { return Attach(GS::NewRef<NullValue>()); }
    bool boolean(bool value) override { return Attach(GS::NewRef<BoolValue>(value)); }
    bool number_integer(number_integer_t value) override { return Attach(GS::NewRef<NumberValue>(value)); }
    bool number_unsigned(number_unsigned_t value) override { return Attach(GS::NewRef<NumberValue>(value)); }
    bool number_float(number_float_t value, const string_t&) override { return Attach(GS::NewRef<NumberValue>(value)); }
    bool string(string_t& value) override { return Attach(GS::NewRef<StringValue>(ToText(value))); }
    bool binary(binary_t&) override { return false; } // not produced by the text format

    bool start_object(std::size_t) override {
        if (open.size() >= JDOMStringParser::MaxDepth) return false;
        auto object = GS::NewRef<ObjectValue>();
        ObjectValue* raw = object.Get();
        Attach(std::move(object));
        open.push_back(Frame{nullptr, raw});
        return true;
    }
    bool key(string_t& value) override {
        pendingKey = ToText(value);
        return true;
    }
    bool end_object() override {
        open.pop_back();
        return true;
    }

    bool start_array(std::size_t) override {
        if (open.size() >= JDOMStringParser::MaxDepth) return false;
        auto array = GS::NewRef<ArrayValue>();
        ArrayValue* raw = array.Get();
        Attach(std::move(array));
        open.push_back(Frame{raw, nullptr});
        return true;
    }
    bool end_array() override {
        open.pop_back();
        return true;
    }

    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override { return false; }

private:
    // Exactly one of the two is set; the tree under `root` owns both.
    struct Frame {
        ArrayValue* array;
        ObjectValue* object;
    };

    bool Attach(ValueRef value) {
        if (open.empty()) {
            root = std::move(value);
        } else if (open.back().array != nullptr) {
            open.back().array->Add(value);
        } else {
            open.back().object->Add(pendingKey, value);
        }
        return true;
    }

    ValueRef root;
    std::vector<Frame> open;
    GS::UniString pendingKey;
};

} // namespace

ValueRef JDOMStringParser::Parse(const GS::UniString& text) const noexcept {
    try {
        const std::string bytes = ToBytes(text);
        // The lexer takes a NUL byte for the end of the input, which would let anything after it through.
        // A raw NUL is never valid JSON, inside strings or out.
        if (bytes.find('\0') != std::string::npos) return ValueRef();
        TreeBuilder builder;
        if (!Json::sax_parse(bytes, &builder)) return ValueRef();
        return builder.TakeRoot();
    } catch (...) {
        // Only allocation failures reach here: syntax errors arrive as parse_error events.
        return ValueRef();
    }
}

} // namespace JSON
