#ifndef GSXML_GSXMLUTILS_HPP
#define GSXML_GSXMLUTILS_HPP

#include "GSXMLExport.hpp"

#include "UniString.hpp"

#include <xercesc/dom/DOMNode.hpp>
#include <xercesc/util/XercesDefs.hpp>

#include <string>
#include <type_traits>

namespace GSXML {

// Xerces and GS::UniString both hold UTF-16 code units, so the conversions copy units and never fail.
static_assert(std::is_same_v<XMLCh, char16_t>, "Xerces must be built with char16_t as XMLCh");

// The text of a Xerces string; nullptr gives the empty text.
inline GS::UniString ToUniString(const XMLCh* text) {
    return text == nullptr ? GS::UniString() : GS::UniString(std::u16string(text));
}

// The node's text content as the DOM defines it (for an element, all text and CDATA below it in document order,
// comments and processing instructions left out), gathered without recursion: Xerces' getTextContent recurses once
// per element level and can exhaust the stack.
GSXML_DLL_EXPORT GS::UniString GetTextContent(const xercesc::DOMNode& node);

// A NUL-terminated Xerces string holding a copy of the text, for DOM calls that take names.
class XMLText {
public:
    explicit XMLText(const GS::UniString& text) : units(text.ToU16String()) {}
    explicit XMLText(const char* text) : units(GS::UniString(text).ToU16String()) {}

    const XMLCh* Get() const noexcept { return units.c_str(); }
    operator const XMLCh*() const noexcept { return units.c_str(); }

private:
    std::u16string units;
};

} // namespace GSXML

#endif
