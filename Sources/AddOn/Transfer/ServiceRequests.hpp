#ifndef QUILLMAR_SERVICEREQUESTS_HPP
#define QUILLMAR_SERVICEREQUESTS_HPP

#include "Definitions.hpp"
#include "UniString.hpp"

#include <curl/curl.h>

#include <cstddef>

class UploadSource;

// The HTTP requests to the service's REST interface, one libcurl easy handle each, one attempt, no retry.
// [worker] Each call owns everything it uses; several may run at once on different threads.

// The two header lines every request carries.
GS::UniString GetClientIdHeader();
GS::UniString GetAuthorizationHeader(const GS::UniString& token);

// Body of an upload response, collected in memory (host memory, grown with GS_realloc); always NUL-terminated
// once something arrived.
struct ResponseBuffer {
    char* data = nullptr;
    std::size_t length = 0;

    ResponseBuffer() = default;
    ~ResponseBuffer();
    ResponseBuffer(const ResponseBuffer&) = delete;
    ResponseBuffer& operator=(const ResponseBuffer&) = delete;
};

// libcurl write callback for an upload's response. Returns the bytes taken; anything else fails the transfer.
std::size_t AppendResponseData(char* data, std::size_t size, std::size_t count, void* buffer);

// Why a transfer did not complete.
enum class TransferFailure {
    None,      // it completed (whatever the HTTP status)
    Refused,   // the input was unsafe: nothing was sent
    NotSetUp,  // libcurl gave no handle, list or form: nothing was sent
    LocalFile, // the file to send could not be read, or the received one not kept
    Redirect,  // a redirect leaves the service's address, leaves http(s) or goes on too long
    Transport, // libcurl failed: see code
};

// The outcome of one transfer, as a value: what failed and libcurl's words for it, or the service's answer.
struct TransferOutcome {
    TransferFailure failure = TransferFailure::NotSetUp;
    CURLcode code = CURLE_OK; // libcurl's result of a Transport failure
    GS::UniString message;    // what went wrong, for the debug output; "" when it completed
    long status = 0;          // the HTTP status of a completed transfer
    GS::UniString body;       // the response body of a completed upload, in the default character code

    bool Completed() const noexcept { return failure == TransferFailure::None; }
    bool IsHttpSuccess() const noexcept { return Completed() && status >= 200 && status <= 299; }
};

// Writes "Quillmar: <what> <url> failed: <message>" to the host's debug output. The token is never written.
void LogTransferFailure(const char* what, const GS::UniString& url, const TransferOutcome& outcome);

// POSTs the open file as a one-part multipart form (part "file", file name the file's name) to `url`.
TransferOutcome UploadFile(const GS::UniString& url, const GS::UniString& token, UploadSource& file);

// GETs "<ApiBaseURL>/resource/<resourceId>" into targetPath (see DownloadFromURL).
TransferOutcome DownloadResource(const GS::UniString& token, const GS::UniString& resourceId,
                                 const GS::UniString& targetPath);
// GETs `url` into a temporary file beside targetPath, which takes the target's name only when the transfer
// completed with a 2xx status; otherwise the temporary file is removed and the target is left as it was.
// The target was produced when the outcome IsHttpSuccess().
TransferOutcome DownloadFromURL(const GS::UniString& url, const GS::UniString& token, const GS::UniString& targetPath);

// The "id" string of the first object of a JSON array body; "" for anything else.
GS::UniString ParseFirstDocumentId(const GS::UniString& body);

// False for texts that must not reach a URL, a header line or a path: a line break or a NUL would let the page
// inject headers or cut a path short.
bool IsSafeRequestText(const GS::UniString& text);

// A page-given identifier as one URL component: every byte of its default-character-code text that is not an
// unreserved URL character (letters, digits, "-", ".", "_", "~") is percent-encoded.
GS::UniString EncodeURLComponent(const GS::UniString& text);

// Whether a redirect from `from` to `to` keeps scheme, host and port, and the scheme is http or https.
bool IsSameOriginRedirect(const GS::UniString& from, const GS::UniString& to);

#endif
