#include "ServiceRequests.hpp"

#include "BuildConfig.hpp"
#include "CurlHandles.hpp"

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

void SetCommonOptions(CURL* curl, const char* url, curl_slist* headers) {
    curl_easy_setopt(curl, CURLOPT_URL, url);
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_DEFAULT_PROTOCOL, "https");
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

} // namespace

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

UploadResult UploadFile(const GS::UniString& url, const GS::UniString& token, const GS::UniString& filePath) {
    UploadResult result;
    if (!IsSafeRequestText(url) || !IsSafeRequestText(token) || !IsSafeRequestText(filePath)) {
        result.refused = true;
        return result;
    }

    CurlEasy curl(curl_easy_init());
    if (!curl) return result;
    CurlHeaderList headers = MakeHeaderList(token);
    CurlMime form(curl_mime_init(curl.get()));
    if (!headers || !form) return result;
    curl_mimepart* part = curl_mime_addpart(form.get());
    if (part == nullptr) return result;
    curl_mime_name(part, "file");
    result.setUp = true;
    // A file that cannot be read would fail the transfer at its first read; it fails here without a connection.
    if (curl_mime_filedata(part, filePath.ToCStr().Get()) != CURLE_OK) return result;

    ResponseBuffer response;
    const GS::UniString::CStr urlBytes = url.ToCStr();
    curl_easy_setopt(curl.get(), CURLOPT_CUSTOMREQUEST, "POST");
    SetCommonOptions(curl.get(), urlBytes.Get(), headers.get());
    curl_easy_setopt(curl.get(), CURLOPT_MIMEPOST, form.get());
    curl_easy_setopt(curl.get(), CURLOPT_WRITEFUNCTION, AppendResponseData);
    curl_easy_setopt(curl.get(), CURLOPT_WRITEDATA, &response);
    curl_easy_setopt(curl.get(), CURLOPT_UPLOAD_BUFFERSIZE, UploadBufferSize);
    // The method's name stays "POST" on every redirect; without this, a 301, 302 or 303 would drop the form and the
    // server would wait for a body that never comes.
    curl_easy_setopt(curl.get(), CURLOPT_POSTREDIR, static_cast<long>(CURL_REDIR_POST_ALL));

    result.completed = curl_easy_perform(curl.get()) == CURLE_OK;
    if (result.completed) {
        curl_easy_getinfo(curl.get(), CURLINFO_RESPONSE_CODE, &result.status);
        if (response.length > 0)
            result.body = GS::UniString(response.data, static_cast<USize>(response.length), CC_Default);
    }
    // Freed in this order whatever the outcome: form, header list, handle.
    form.reset();
    headers.reset();
    curl.reset();
    return result;
}

bool DownloadResource(const GS::UniString& token, const GS::UniString& resourceId, const GS::UniString& targetPath) {
    return DownloadFromURL(GS::UniString::Printf("%s/resource/%s", ApiBaseURL, resourceId), token, targetPath);
}

bool DownloadFromURL(const GS::UniString& url, const GS::UniString& token, const GS::UniString& targetPath) {
    if (!IsSafeRequestText(url) || !IsSafeRequestText(token) || !IsSafeRequestText(targetPath)) return false;
    IO::Location target(targetPath);
    IO::Name targetName;
    if (target.GetLastLocalName(&targetName) != NoError || !targetName.IsLegal()) return false;

    CurlEasy curl(curl_easy_init());
    if (!curl) return false;
    CurlHeaderList headers = MakeHeaderList(token);
    if (!headers) return false;

    const GS::UniString temporaryPath = MakeTemporaryPath(targetPath);
    if (temporaryPath.IsEmpty()) return false;
    // Opened through the location, so that a path text with "\" names the same file that is renamed or deleted.
    const IO::Location temporary(temporaryPath);
    std::FILE* file = std::fopen(temporary.ToFileSystemPath().c_str(), "wb");
    if (file == nullptr) return false;

    const GS::UniString::CStr urlBytes = url.ToCStr();
    SetCommonOptions(curl.get(), urlBytes.Get(), headers.get());
    curl_easy_setopt(curl.get(), CURLOPT_WRITEFUNCTION, WriteToFile);
    curl_easy_setopt(curl.get(), CURLOPT_WRITEDATA, file);
    curl_easy_setopt(curl.get(), CURLOPT_BUFFERSIZE, DownloadBufferSize);
    const bool completed = curl_easy_perform(curl.get()) == CURLE_OK;
    long status = 0;
    if (completed) curl_easy_getinfo(curl.get(), CURLINFO_RESPONSE_CODE, &status);
    const bool written = std::fclose(file) == 0;

    // An error page is never cached as a model, and a half-received file never takes the target's place.
    if (completed && written && status >= 200 && status <= 299 &&
        IO::fileSystem.Rename(temporary, targetName, IO::AccessDeniedIsError) == NoError) {
        return true;
    }
    IO::fileSystem.Delete(temporary);
    return false;
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
