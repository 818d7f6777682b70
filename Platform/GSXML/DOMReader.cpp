#include "DOMReader.hpp"

#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/sax/EntityResolver.hpp>
#include <xercesc/sax/ErrorHandler.hpp>
#include <xercesc/sax/SAXParseException.hpp>
#include <xercesc/util/OutOfMemoryException.hpp>
#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/SecurityManager.hpp>
#include <xercesc/util/XMLException.hpp>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace GSXML {

namespace {

// Xerces is started by the first reader and stopped when this library is unloaded (readers, and so the documents
// they hand out, must not outlive the library).
class XercesLifetime {
public:
    XercesLifetime() { xercesc::XMLPlatformUtils::Initialize(); }
    ~XercesLifetime() { xercesc::XMLPlatformUtils::Terminate(); }
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

bool ReadBytes(const IO::Location& file, std::string* bytes) {
    if (file.IsEmpty()) return false;
    const std::filesystem::path path = file.ToFileSystemPath();
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return false;
    try {
        std::ifstream in(path, std::ios::binary);
        if (!in) return false;
        bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        return !in.bad();
    } catch (const std::exception&) {
        return false; // a read error below the stream
    }
}

} // namespace

DOMReader::DOMReader(const IO::Location& file, const GS::UniString& expectedRoot) : rootName(expectedRoot) {
    std::string bytes;
    if (!ReadBytes(file, &bytes)) return;

    InitializeXerces();
    try {
        parser = std::make_unique<xercesc::XercesDOMParser>();
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
        parser->setSecurityManager(&limits);
        parser->setEntityResolver(&resolver);
        parser->setErrorHandler(&errors);

        xercesc::MemBufInputSource source(reinterpret_cast<const XMLByte*>(bytes.data()), bytes.size(), "file");
        parser->parse(source);

        // The handlers and limits live on this stack frame only.
        parser->setEntityResolver(nullptr);
        parser->setErrorHandler(nullptr);
        parser->setSecurityManager(nullptr);

        xercesc::DOMDocument* document = parser->getDocument();
        if (errors.failed || parser->getErrorCount() != 0 || document == nullptr) return;
        if (document->getDoctype() != nullptr) return;
        root = document->getDocumentElement();
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
