#ifndef QUILLMAR_SERVICEREQUESTS_HPP
#define QUILLMAR_SERVICEREQUESTS_HPP

#include "Definitions.hpp"
#include "UniString.hpp"

#include <cstddef>

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

struct UploadResult {
    bool refused = false;   // the input was unsafe; nothing was sent (reported as a failed transfer)
    bool setUp = false;     // false: nothing was sent (no handle could be made, or refused)
    bool completed = false; // the transfer completed (whatever the HTTP status)
    long status = 0;        // the HTTP status of a completed transfer
    GS::UniString body;     // the response body in the default character code

    bool IsHttpSuccess() const noexcept { return completed && status >= 200 && status <= 299; }
};

// POSTs the file as a one-part multipart form (part "file", streamed from disk) to `url`.
UploadResult UploadFile(const GS::UniString& url, const GS::UniString& token, const GS::UniString& filePath);

// GETs "<ApiBaseURL>/resource/<resourceId>" into targetPath (see DownloadFromURL).
bool DownloadResource(const GS::UniString& token, const GS::UniString& resourceId, const GS::UniString& targetPath);
// GETs `url` into a temporary file beside targetPath, which takes the target's name only when the transfer
// completed with a 2xx status; otherwise the temporary file is removed and the target is left as it was.
// Returns whether the target was produced.
bool DownloadFromURL(const GS::UniString& url, const GS::UniString& token, const GS::UniString& targetPath);

// The "id" string of the first object of a JSON array body; "" for anything else.
GS::UniString ParseFirstDocumentId(const GS::UniString& body);

// False for texts that must not reach a URL, a header line or a path: a line break or a NUL would let the page
// inject headers or cut a path short.
bool IsSafeRequestText(const GS::UniString& text);

#endif
