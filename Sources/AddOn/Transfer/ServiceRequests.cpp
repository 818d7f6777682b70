#include "ServiceRequests.hpp"

#include "BuildConfig.hpp"
#include "CurlHandles.hpp"
#include "UploadSource.hpp"

#include "DebugOutput.hpp"
#include "FileSystem.hpp"
#include "JDOMStringParser.hpp"
#include "JSONValues.hpp"
#include "Location.hpp"
#include "MemoryManager.hpp"
#include "Name.hpp"

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <unistd.h>

namespace {

// Not in the service's contract, but they change no outcome: larger buffers mean fewer, larger reads and sends (on
// loopback libcurl's default 16 KiB receive buffer costs about a fifth of the download speed; see
// docs/performance.md); stall limits end transfers that stopped moving (no total limit: large models take long).
constexpr long UploadBufferSize = 1024L * 1024L;
constexpr long DownloadBufferSize = 512L * 1024L;
constexpr long ConnectTimeoutSeconds = 60L;
constexpr long LowSpeedLimitBytes = 1L;
constexpr long LowSpeedTimeSeconds = 120L;
// A redirect loop would otherwise post the whole model again each time.
constexpr int MaxRedirects = 5;

// Redirects are followed by hand (FollowSameOrigin), so that the token never reaches another address.
void SetCommonOptions(CURL* curl, curl_slist* headers, char* errorBuffer) {
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(curl, CURLOPT_DEFAULT_PROTOCOL, "https");
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorBuffer);
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, ConnectTimeoutSeconds);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, LowSpeedLimitBytes);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, LowSpeedTimeSeconds);
}

// The two header lines, in order; empty when libcurl cannot make the list.
CurlHeaderList MakeHeaderList(const GS::UniString& token) {
    CurlHeaderList list(curl_slist_append(nullptr, GetClientIdHeader().ToCStr().Get()));
    if (!list) return list;
    curl_slist* extended = curl_slist_append(list.get(), GetAuthorizationHeader(token).ToCStr().Get());
    if (extended == nullptr) return CurlHeaderList();
    (void)list.release();
    return CurlHeaderList(extended);
}

std::size_t WriteToFile(char* data, std::size_t size, std::size_t count, void* file) {
    return std::fwrite(data, size, count, static_cast<std::FILE*>(file)) * size;
}

// A temporary name in the target's folder that no other download in this process uses at the same time.
GS::UniString MakeTemporaryPath(const GS::UniString& targetPath) {
    static std::atomic<unsigned long> sequence = 0;
    const UIndex backslash = targetPath.FindLast(u'\\');
    const UIndex slash = targetPath.FindLast(u'/');
    UIndex separator = MaxUIndex;
    if (backslash != MaxUIndex) separator = backslash;
    if (slash != MaxUIndex && (separator == MaxUIndex || slash > separator)) separator = slash;
    if (separator == MaxUIndex) return GS::UniString();
    return targetPath.GetPrefix(separator + 1) +
           GS::UniString::Printf("TempIfcFile-%d-%lu.ifc", static_cast<int>(getpid()), ++sequence);
}

using CurlText = std::unique_ptr<char, decltype(&curl_free)>;

// Parts of a URL as libcurl reads them; all empty when it cannot.
struct URLOrigin {
    std::string scheme;
    std::string host;
    std::string port;
};

URLOrigin OriginOf(const char* url) {
    URLOrigin origin;
    std::unique_ptr<CURLU, decltype(&curl_url_cleanup)> handle(curl_url(), curl_url_cleanup);
    if (!handle || curl_url_set(handle.get(), CURLUPART_URL, url, CURLU_DEFAULT_SCHEME) != CURLUE_OK) return origin;
    const auto part = [&](CURLUPart which, unsigned flags) {
        char* text = nullptr;
        if (curl_url_get(handle.get(), which, &text, flags) != CURLUE_OK) return std::string();
        const CurlText owned(text, curl_free);
        return std::string(text);
    };
    origin.scheme = part(CURLUPART_SCHEME, 0);
    origin.host = part(CURLUPART_HOST, 0);
    origin.port = part(CURLUPART_PORT, CURLU_DEFAULT_PORT);
    return origin;
}

TransferOutcome Failed(TransferFailure failure, const GS::UniString& message) {
    TransferOutcome outcome;
    outcome.failure = failure;
    outcome.message = message;
    return outcome;
}

// Performs the request on `curl` from `url`, following redirects that stay on the same scheme, host and port, at
// most MaxRedirects of them. `restart` drops what a redirect's answer wrote. Fills status on completion.
TransferOutcome FollowSameOrigin(CURL* curl, const GS::UniString& url, const char* errorBuffer,
                                 const std::function<bool()>& restart) {
    std::string current = url.ToCStr().Get();
    for (int redirects = 0;; ++redirects) {
        curl_easy_setopt(curl, CURLOPT_URL, current.c_str());
        const CURLcode code = curl_easy_perform(curl);
        if (code != CURLE_OK) {
            TransferOutcome outcome = Failed(TransferFailure::Transport, GS::UniString(curl_easy_strerror(code)));
            outcome.code = code;
            if (errorBuffer[0] != '\0') outcome.message += GS::UniString(" (") + errorBuffer + ")";
            return outcome;
        }
        long status = 0;
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
        char* location = nullptr;
        curl_easy_getinfo(curl, CURLINFO_REDIRECT_URL, &location);
        if (status < 300 || status > 399 || location == nullptr) {
            TransferOutcome outcome;
            outcome.failure = TransferFailure::None;
            outcome.status = status;
            return outcome;
        }
        if (redirects == MaxRedirects)
            return Failed(TransferFailure::Redirect, GS::UniString::Printf("more than %d redirects", MaxRedirects));
        if (!IsSameOriginRedirect(GS::UniString(current.c_str()), GS::UniString(location)))
            return Failed(TransferFailure::Redirect, GS::UniString("redirect to another address refused: ") + location);
        current = location;
        if (!restart()) return Failed(TransferFailure::LocalFile, GS::UniString("cannot restart after a redirect"));
    }
}

// libcurl's callbacks of an upload's form part.
std::size_t ReadUploadSource(char* buffer, std::size_t size, std::size_t count, void* source) {
    const std::size_t got = static_cast<UploadSource*>(source)->Read(buffer, size * count);
    return got == SIZE_MAX ? CURL_READFUNC_ABORT : got;
}

int SeekUploadSource(void* source, curl_off_t offset, int origin) {
    if (origin != SEEK_SET || offset < 0) return CURL_SEEKFUNC_CANTSEEK;
    return static_cast<UploadSource*>(source)->Seek(static_cast<std::uint64_t>(offset)) ? CURL_SEEKFUNC_OK
                                                                                        : CURL_SEEKFUNC_FAIL;
}

} // namespace

bool IsSameOriginRedirect(const GS::UniString& from, const GS::UniString& to) {
    const URLOrigin source = OriginOf(from.ToCStr().Get());
    const URLOrigin target = OriginOf(to.ToCStr().Get());
    if (target.scheme != "http" && target.scheme != "https") return false;
    return !source.host.empty() && source.scheme == target.scheme && source.host == target.host &&
           source.port == target.port;
}

GS::UniString EncodeURLComponent(const GS::UniString& text) {
    const GS::UniString::CStr bytes = text.ToCStr(CC_Default);
    const CurlText encoded(curl_easy_escape(nullptr, bytes.Get(), static_cast<int>(std::strlen(bytes.Get()))),
                           curl_free);
    if (!encoded) return GS::UniString();
    return GS::UniString(encoded.get());
}

void LogTransferFailure(const char* what, const GS::UniString& url, const TransferOutcome& outcome) {
    const GS::UniString line = GS::UniString::Printf("Quillmar: %s %s failed: %s\n", what, url, outcome.message);
    GS::WriteDebugOutput(line.ToCStr().Get());
}

GS::UniString GetClientIdHeader() {
    return GS::UniString("Quillmar-Client-Id: ") + "Quillmar Plugin Archicad";
}

GS::UniString GetAuthorizationHeader(const GS::UniString& token) {
    return GS::UniString("X-Project-Authorization: bearer ") + token;
}

bool IsSafeRequestText(const GS::UniString& text) {
    return !text.Contains(u'\r') && !text.Contains(u'\n') && !text.Contains(u'\0');
}

ResponseBuffer::~ResponseBuffer() {
    GS_free(data);
}

std::size_t AppendResponseData(char* data, std::size_t size, std::size_t count, void* userData) {
    auto* buffer = static_cast<ResponseBuffer*>(userData);
    const std::size_t added = size * count;
    if (count != 0 && added / count != size) return 0;
    if (added > SIZE_MAX - buffer->length - 1) return 0; // the new length would not fit
    char* grown = static_cast<char*>(GS_realloc(buffer->data, buffer->length + added + 1));
    if (grown == nullptr) return 0; // libcurl fails the transfer
    buffer->data = grown;
    std::memcpy(buffer->data + buffer->length, data, added);
    buffer->length += added;
    buffer->data[buffer->length] = '\0';
    return added;
}

TransferOutcome UploadFile(const GS::UniString& url, const GS::UniString& token, UploadSource& file) {
    // The file's name goes into the form's part header.
    if (!IsSafeRequestText(url) || !IsSafeRequestText(token) || !IsSafeRequestText(file.GetPath()))
        return Failed(TransferFailure::Refused, GS::UniString("a line break or NUL in the address, token or path"));
    if (!file.IsOpen()) return Failed(TransferFailure::LocalFile, GS::UniString("cannot read ") + file.GetPath());

    CurlEasy curl(curl_easy_init());
    if (!curl) return Failed(TransferFailure::NotSetUp, GS::UniString("no libcurl handle"));
    CurlHeaderList headers = MakeHeaderList(token);
    CurlMime form(curl_mime_init(curl.get()));
    if (!headers || !form) return Failed(TransferFailure::NotSetUp, GS::UniString("no header list or form"));
    curl_mimepart* part = curl_mime_addpart(form.get());
    if (part == nullptr) return Failed(TransferFailure::NotSetUp, GS::UniString("no form part"));
    curl_mime_name(part, "file");
    // The job's own open file, so that the bytes sent are those it was given whatever happens to the name.
    curl_mime_data_cb(part, static_cast<curl_off_t>(file.GetSize()), ReadUploadSource, SeekUploadSource, nullptr,
                      &file);
    curl_mime_filename(part, file.GetName().ToCStr().Get());

    ResponseBuffer response;
    char errorBuffer[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(curl.get(), CURLOPT_CUSTOMREQUEST, "POST");
    SetCommonOptions(curl.get(), headers.get(), errorBuffer);
    curl_easy_setopt(curl.get(), CURLOPT_MIMEPOST, form.get());
    curl_easy_setopt(curl.get(), CURLOPT_WRITEFUNCTION, AppendResponseData);
    curl_easy_setopt(curl.get(), CURLOPT_WRITEDATA, &response);
    curl_easy_setopt(curl.get(), CURLOPT_UPLOAD_BUFFERSIZE, UploadBufferSize);

    // The form goes again, from its start, to a redirect's address; the redirect's own answer is dropped.
    TransferOutcome outcome = FollowSameOrigin(curl.get(), url, errorBuffer, [&response] {
        response.length = 0;
        return true;
    });
    if (outcome.Completed() && response.length > 0)
        outcome.body = GS::UniString(response.data, static_cast<USize>(response.length), CC_Default);
    // Freed in this order whatever the outcome: form, header list, handle.
    form.reset();
    headers.reset();
    curl.reset();
    return outcome;
}

TransferOutcome DownloadResource(const GS::UniString& token, const GS::UniString& resourceId,
                                 const GS::UniString& targetPath) {
    return DownloadFromURL(GS::UniString::Printf("%s/resource/%s", ApiBaseURL, EncodeURLComponent(resourceId)), token,
                           targetPath);
}

TransferOutcome DownloadFromURL(const GS::UniString& url, const GS::UniString& token, const GS::UniString& targetPath) {
    if (!IsSafeRequestText(url) || !IsSafeRequestText(token) || !IsSafeRequestText(targetPath))
        return Failed(TransferFailure::Refused, GS::UniString("a line break or NUL in the address, token or path"));
    IO::Location target(targetPath);
    IO::Name targetName;
    if (target.GetLastLocalName(&targetName) != NoError || !targetName.IsLegal())
        return Failed(TransferFailure::Refused, GS::UniString("not a file path: ") + targetPath);

    CurlEasy curl(curl_easy_init());
    if (!curl) return Failed(TransferFailure::NotSetUp, GS::UniString("no libcurl handle"));
    CurlHeaderList headers = MakeHeaderList(token);
    if (!headers) return Failed(TransferFailure::NotSetUp, GS::UniString("no header list"));

    const GS::UniString temporaryPath = MakeTemporaryPath(targetPath);
    if (temporaryPath.IsEmpty()) return Failed(TransferFailure::LocalFile, GS::UniString("no folder in ") + targetPath);
    // Opened through the location, so that a path text with "\" names the same file that is renamed or deleted.
    const IO::Location temporary(temporaryPath);
    std::FILE* file = std::fopen(temporary.ToFileSystemPath().c_str(), "wb");
    if (file == nullptr) return Failed(TransferFailure::LocalFile, GS::UniString("cannot write ") + temporaryPath);

    char errorBuffer[CURL_ERROR_SIZE] = {};
    SetCommonOptions(curl.get(), headers.get(), errorBuffer);
    curl_easy_setopt(curl.get(), CURLOPT_WRITEFUNCTION, WriteToFile);
    curl_easy_setopt(curl.get(), CURLOPT_WRITEDATA, file);
    curl_easy_setopt(curl.get(), CURLOPT_BUFFERSIZE, DownloadBufferSize);
    TransferOutcome outcome = FollowSameOrigin(curl.get(), url, errorBuffer, [file] {
        return std::fflush(file) == 0 && ::ftruncate(fileno(file), 0) == 0 && std::fseek(file, 0, SEEK_SET) == 0;
    });
    const bool written = std::fclose(file) == 0;

    // An error page is never cached as a model, and a half-received file never takes the target's place.
    if (outcome.IsHttpSuccess()) {
        if (written && IO::fileSystem.Rename(temporary, targetName, IO::AccessDeniedIsError) == NoError) return outcome;
        outcome = Failed(TransferFailure::LocalFile, GS::UniString("cannot keep the download as ") + targetPath);
    }
    (void)IO::fileSystem.Delete(temporary); // a leftover temporary file is harmless; the outcome says what failed
    return outcome;
}

GS::UniString ParseFirstDocumentId(const GS::UniString& body) {
    const JSON::ValueRef value = JSON::JDOMStringParser().Parse(body);
    const GS::Ref<JSON::ArrayValue> array = GS::DynamicCast<JSON::ArrayValue>(value);
    if (array == nullptr || array->GetSize() == 0) return GS::UniString();
    const GS::Ref<JSON::ObjectValue> first = GS::DynamicCast<JSON::ObjectValue>(array->Get(0));
    if (first == nullptr) return GS::UniString();
    const GS::Ref<JSON::StringValue> id = first->GetAs<JSON::StringValue>("id");
    if (id == nullptr) return GS::UniString();
    return id->Get();
}
