#ifndef JSON_JDOMSTRINGWRITER_HPP
#define JSON_JDOMSTRINGWRITER_HPP

#include "JSONExport.hpp"
#include "JSONValues.hpp"

#include "Definitions.hpp"
#include "UniString.hpp"

#include <string>
#include <string_view>

namespace JSON {

// Writes a tree of JSON values as text: members in insertion order, strings escaped as the standard asks
// (non-ASCII as it is, "/" unescaped), numbers as the shortest text that reads back to the same double
// (integral values without fraction, -0 as "-0.0"), NaN and infinities as null.
// Compact when prettyPrint is false; otherwise one item per line, indented by `indent` spaces per level.
// Use one instance per thread.
class JSON_DLL_EXPORT JDOMStringWriter {
public:
    JDOMStringWriter(bool prettyPrint, Int32 indent) noexcept;

    // Replaces the text with that of `value`. Throws GS::NullPointerException for an empty reference.
    void Write(const ValueRef& value);
    // The text of the last Write; empty before the first.
    const GS::UniString& GetString() const noexcept { return text; }

private:
    bool prettyPrint;
    USize indent;
    GS::UniString text;
};

// Appends `text` to `out` as a JSON string literal, escaped exactly as the writer escapes strings: for texts
// assembled by hand, so that they read as the writer's own. Lone surrogates become U+FFFD.
JSON_DLL_EXPORT void AppendStringLiteral(std::u16string& out, std::u16string_view text);

} // namespace JSON

#endif
