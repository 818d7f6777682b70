#include "DOMReader.hpp"

#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/sax/EntityResolver.hpp>
#include <xercesc/sax/ErrorHandler.hpp>
#include <xercesc/sax/SAXParseException.hpp>
#include <xercesc/util/OutOfMemoryException.hpp>
#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/SecurityManager.hpp>
#include <xercesc/util/XMLException.hpp>
#include <xercesc/util/XercesVersion.hpp>

#include <unicode/uclean.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace GSXML {

namespace {

// Xerces is started by the first reader and stopped when this library is unloaded (readers, and so the documents
// they hand out, must not outlive the library).
class XercesLifetime {
public:
    XercesLifetime() { xercesc::XMLPlatformUtils::Initialize(); }
    ~XercesLifetime() {
        xercesc::XMLPlatformUtils::Terminate();
        // Xerces' transcoders for legacy encodings (windows-1250 and the like) leave ICU's converter cache filled.
        // ICU is in the process for Xerces alone and leaves with this library, so that memory would be lost.
        // Terminate has closed every converter, which ICU requires before its clean-up.
        u_cleanup();
    }
    XercesLifetime(const XercesLifetime&) = delete;
    XercesLifetime& operator=(const XercesLifetime&) = delete;
};

void InitializeXerces() {
    static const XercesLifetime lifetime; // thread-safe static initialisation
}

// Any entity or DTD outside the document resolves to nothing, so parsing never opens a file or a URL.
class NoExternalEntities final : public xercesc::EntityResolver {
public:
    xercesc::InputSource* resolveEntity(const XMLCh* const, const XMLCh* const) override {
        static const XMLByte nothing[] = {0};
        return new xercesc::MemBufInputSource(nothing, 0, "none");
    }
};

// Errors are counted by the parser; nothing is printed.
class SilentErrors final : public xercesc::ErrorHandler {
public:
    void warning(const xercesc::SAXParseException&) override {}
    void error(const xercesc::SAXParseException&) override { failed = true; }
    void fatalError(const xercesc::SAXParseException&) override { failed = true; }
    void resetErrors() override { failed = false; }

    bool failed = false;
};

// Thrown from the parser's callbacks to stop the parse at once; Xerces unwinds its scanner on any exception.
struct Refused {};

bool IsEmpty(const XMLCh* text) noexcept {
    return text == nullptr || *text == 0;
}

// Xerces 3.2's DOM parser ends an element by asking the DOM for its parent, through casts that cost a twentieth of
// a large file's load. The parser here ends it as the base class does otherwise (XInclude, its other step, is never
// on) but takes the parent from a stack of its own.
constexpr bool OwnParentStack = _XERCES_VERSION >= 30200 && _XERCES_VERSION < 30300;

// Xerces' DOM parser that refuses, while it scans, what the reader does not accept: elements nested deeper than
// the limit (so such a document is never built), an external DTD and any entity declaration (so no entity is ever
// expanded). A document type declaration with an internal subset of other declarations is accepted.
class GuardedParser final : public xercesc::XercesDOMParser {
public:
    void startDocument() override {
        parents.clear();
        XercesDOMParser::startDocument();
        document = getDocument();
    }
    void startElement(const xercesc::XMLElementDecl& declaration, const unsigned int urlId, const XMLCh* const prefix,
                      const xercesc::RefVectorOf<xercesc::XMLAttr>& attributes, const XMLSize_t attributeCount,
                      const bool isEmpty, const bool isRoot) override {
        if (++depth > DOMReader::MaxDepth) throw Refused();
        heldWhitespace.clear(); // before a child: indentation
        endedChild = false;
        parents.push_back(fCurrentParent);
        // For an empty element the base class calls endElement itself.
        XercesDOMParser::startElement(declaration, urlId, prefix, attributes, attributeCount, isEmpty, isRoot);
    }
    void endElement(const xercesc::XMLElementDecl& declaration, const unsigned int urlId, const bool isRoot,
                    const XMLCh* const prefix) override {
        // Whitespace that is an element's whole text is its value; after its last child it is indentation.
        if (endedChild) {
            heldWhitespace.clear();
        } else {
            ReleaseWhitespace();
        }
        if constexpr (OwnParentStack) {
            fCurrentNode = fCurrentParent;
            fCurrentParent = parents.empty() ? nullptr : parents.back();
            if (!parents.empty()) parents.pop_back();
            if (fCurrentParent == nullptr && document != nullptr) {
                fCurrentNode = document;
                fCurrentParent = document;
            }
            if (fCurrentParent == document) fWithinElement = false;
        } else {
            XercesDOMParser::endElement(declaration, urlId, isRoot, prefix);
        }
        endedChild = true;
        --depth;
    }
    void doctypeDecl(const xercesc::DTDElementDecl& root, const XMLCh* const publicId, const XMLCh* const systemId,
                     const bool hasIntSubset, const bool hasExtSubset) override {
        if (hasExtSubset || !IsEmpty(publicId) || !IsEmpty(systemId)) throw Refused();
        XercesDOMParser::doctypeDecl(root, publicId, systemId, hasIntSubset, hasExtSubset);
    }
    void startExtSubset() override { throw Refused(); }
    void entityDecl(const xercesc::DTDEntityDecl&, const bool, const bool) override { throw Refused(); }

    // Whitespace-only text between elements (the indentation) becomes no node: most text nodes of an indented file
    // are that, and nobody reads them. It is held back until the element ends, and kept when the element turned
    // out to hold no other element, so that <a> </a> still reads " ".
    void docCharacters(const XMLCh* const chars, const XMLSize_t length, const bool cdataSection) override {
        if (!cdataSection && IsWhitespace(chars, length)) {
            heldWhitespace.append(chars, length);
            return;
        }
        ReleaseWhitespace();
        XercesDOMParser::docCharacters(chars, length, cdataSection);
    }

private:
    static bool IsWhitespace(const XMLCh* chars, XMLSize_t length) noexcept {
        for (XMLSize_t i = 0; i < length; ++i)
            if (chars[i] != u' ' && chars[i] != u'\n' && chars[i] != u'\t' && chars[i] != u'\r') return false;
        return true;
    }
    void ReleaseWhitespace() {
        if (heldWhitespace.empty()) return;
        const std::u16string text = std::move(heldWhitespace);
        heldWhitespace.clear();
        XercesDOMParser::docCharacters(text.c_str(), text.size(), false);
    }

    UInt32 depth = 0;
    xercesc::DOMNode* document = nullptr;
    std::vector<xercesc::DOMNode*> parents; // of the open elements, innermost last
    std::u16string heldWhitespace;
    bool endedChild = false; // an element ended since the innermost open element started
};

struct FileBytes {
    std::unique_ptr<char[]> data;
    std::size_t size = 0;
};

bool ReadBytes(const IO::Location& file, FileBytes* bytes) {
    if (file.IsEmpty()) return false;
    const std::filesystem::path path = file.ToFileSystemPath();
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return false;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error || size > DOMReader::MaxFileSize) return false;
    try {
        std::ifstream in(path, std::ios::binary);
        if (!in) return false;
        // Never more than the size seen: a file that changes meanwhile is refused, not read without bound.
        // Not cleared first: every byte is read over.
        bytes->size = static_cast<std::size_t>(size);
        bytes->data = std::make_unique_for_overwrite<char[]>(bytes->size);
        in.read(bytes->data.get(), static_cast<std::streamsize>(size));
        return static_cast<std::uintmax_t>(in.gcount()) == size && in.peek() == std::char_traits<char>::eof();
    } catch (const std::exception&) {
        return false; // a read error below the stream
    }
}

} // namespace

DOMReader::DOMReader(const IO::Location& file, const GS::UniString& expectedRoot) : rootName(expectedRoot) {
    FileBytes bytes;
    if (!ReadBytes(file, &bytes)) return;

    InitializeXerces();
    try {
        parser = std::make_unique<GuardedParser>();
        NoExternalEntities resolver;
        SilentErrors errors;
        xercesc::SecurityManager limits;
        limits.setEntityExpansionLimit(1000);

        parser->setValidationScheme(xercesc::XercesDOMParser::Val_Never);
        parser->setDoNamespaces(false);
        parser->setDoSchema(false);
        parser->setLoadExternalDTD(false);
        parser->setSkipDTDValidation(true);
        parser->setDisableDefaultEntityResolution(true);
        parser->setCreateEntityReferenceNodes(false);
        parser->setCreateCommentNodes(false);
        parser->setSecurityManager(&limits);
        parser->setEntityResolver(&resolver);
        parser->setErrorHandler(&errors);

        xercesc::MemBufInputSource source(reinterpret_cast<const XMLByte*>(bytes.data.get()), bytes.size, "file");
        source.setCopyBufToStream(false); // the bytes outlive the parse
        parser->parse(source);

        // The handlers and limits live on this stack frame only.
        parser->setEntityResolver(nullptr);
        parser->setErrorHandler(nullptr);
        parser->setSecurityManager(nullptr);

        xercesc::DOMDocument* document = parser->getDocument();
        if (errors.failed || parser->getErrorCount() != 0 || document == nullptr) return;
        root = document->getDocumentElement();
    } catch (const Refused&) {
        Discard();
    } catch (const xercesc::XMLException&) {
        Discard();
    } catch (const xercesc::DOMException&) {
        Discard();
    } catch (const xercesc::SAXException&) {
        Discard();
    } catch (const xercesc::OutOfMemoryException&) {
        Discard();
    }
}

void DOMReader::Discard() noexcept {
    // The parser may still point at handlers of the constructor's frame: drop it with its document.
    root = nullptr;
    parser.reset();
}

DOMReader::~DOMReader() = default;

bool DOMReader::HasExpectedRoot() const {
    return root != nullptr && ToUniString(root->getTagName()) == rootName;
}

} // namespace GSXML
