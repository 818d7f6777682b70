#ifndef JSON_JDOMSTRINGPARSER_HPP
#define JSON_JDOMSTRINGPARSER_HPP

#include "JSONExport.hpp"
#include "JSONValues.hpp"

#include "UniString.hpp"

namespace JSON {

// Reads one JSON document (RFC 8259) into a tree of JSON values. Any thread; an instance keeps no state.
class JSON_DLL_EXPORT JDOMStringParser {
public:
    // Deepest nesting of arrays and objects accepted; deeper documents are refused.
    static constexpr USize MaxDepth = 512;

    // The document's value, or an empty reference when the text is not exactly one JSON value (trailing text,
    // truncation, bad escapes, numbers beyond the double range, nesting deeper than MaxDepth).
    // Never throws. A repeated key keeps its first position and its last value.
    ValueRef Parse(const GS::UniString& text) const noexcept;
};

} // namespace JSON

#endif
