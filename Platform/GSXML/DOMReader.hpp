#ifndef GSXML_DOMREADER_HPP
#define GSXML_DOMREADER_HPP

#include "GSXMLExport.hpp"
#include "GSXMLUtils.hpp"

#include "Location.hpp"
#include "UniString.hpp"

#include <xercesc/dom/DOM.hpp>
#include <xercesc/parsers/XercesDOMParser.hpp>

#include <memory>

namespace GSXML {

// Reads one XML file into a Xerces DOM at construction. The DOM holds no comments, and no text nodes for whitespace
// between elements (an element whose whole text is whitespace keeps it). The reader never fetches anything and
// expands no entity:
// a document type declaration is accepted only without an external subset and without entity declarations; other
// files with one, files larger than MaxFileSize and documents nested deeper than MaxDepth are refused like
// malformed ones. Not thread-safe per object; separate readers may run on separate threads.
class GSXML_DLL_EXPORT DOMReader {
public:
    // Room for mapping files of a few hundred thousand properties.
    static constexpr UInt64 MaxFileSize = 128 * 1024 * 1024;
    // Element levels, the root being the first. Deeper documents are refused while parsing, never built.
    static constexpr UInt32 MaxDepth = 1000;

    // `rootName` is the root element the caller expects; the reader does not enforce it (see HasExpectedRoot).
    DOMReader(const IO::Location& file, const GS::UniString& rootName);
    ~DOMReader();

    DOMReader(const DOMReader&) = delete;
    DOMReader& operator=(const DOMReader&) = delete;

    // The document's root element, owned by the reader and valid while it lives; nullptr when the file is missing,
    // unreadable or malformed.
    xercesc::DOMElement* GetActualNode() const noexcept { return root; }
    // True when there is a root element and its tag name is the expected root name.
    bool HasExpectedRoot() const;
    const GS::UniString& GetRootName() const noexcept { return rootName; }

private:
    void Discard() noexcept;

    GS::UniString rootName;
    std::unique_ptr<xercesc::XercesDOMParser> parser;
    xercesc::DOMElement* root = nullptr;
};

} // namespace GSXML

#endif
