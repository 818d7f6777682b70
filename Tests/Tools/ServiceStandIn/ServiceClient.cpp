#include "ServiceClient.hpp"

#include <algorithm>
#include <cctype>
#include <list>
#include <thread>

namespace {

class CurlEnvironment : public ::testing::Environment {
public:
    // Once, before any test thread makes a request.
    void SetUp() override { ASSERT_EQ(curl_global_init(CURL_GLOBAL_DEFAULT), CURLE_OK); }
    void TearDown() override { curl_global_cleanup(); }
};

[[maybe_unused]] ::testing::Environment* const curlEnvironment =
    ::testing::AddGlobalTestEnvironment(new CurlEnvironment);

std::size_t Collect(char* data, std::size_t size, std::size_t count, void* target) {
    static_cast<std::string*>(target)->append(data, size * count);
    return size * count;
}

struct HeaderCollector {
    std::string* headers;
    const std::function<void(const std::string&)>* observe;
};

std::size_t CollectHeader(char* data, std::size_t size, std::size_t count, void* target) {
    const auto* collector = static_cast<HeaderCollector*>(target);
    const std::string line(data, size * count);
    collector->headers->append(line);
    if (*collector->observe) (*collector->observe)(line.substr(0, line.find_last_not_of("\r\n") + 1));
    return size * count;
}

struct PausingReader {
    const std::string* data;
    std::size_t offset;
    std::chrono::milliseconds pause;
};

std::size_t SendPausingHalfway(char* buffer, std::size_t size, std::size_t count, void* argument) {
    auto* reader = static_cast<PausingReader*>(argument);
    const std::size_t half = reader->data->size() / 2;
    if (reader->offset == half) std::this_thread::sleep_for(reader->pause);
    const std::size_t end = reader->offset < half ? half : reader->data->size();
    const std::size_t length = std::min(size * count, end - reader->offset);
    reader->data->copy(buffer, length, reader->offset);
    reader->offset += length;
    return length;
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

} // namespace

bool Reply::HasHeaderLine(const std::string& line) const {
    return Lower(headers).find(Lower(line) + "\r\n") != std::string::npos;
}

Reply Perform(const Call& call) {
    Reply reply;
    CURL* curl = curl_easy_init();
    if (curl == nullptr) {
        reply.code = CURLE_FAILED_INIT;
        return reply;
    }
    curl_slist* headers = nullptr;
    if (call.clientId) headers = curl_slist_append(headers, ("Quillmar-Client-Id: " + *call.clientId).c_str());
    if (call.authorization)
        headers = curl_slist_append(headers, ("X-Project-Authorization: " + *call.authorization).c_str());
    for (const std::string& header : call.extraHeaders)
        headers = curl_slist_append(headers, header.c_str());
    curl_mime* form = nullptr;
    std::list<PausingReader> readers;
    if (!call.parts.empty()) {
        form = curl_mime_init(curl);
        for (const Part& part : call.parts) {
            curl_mimepart* added = curl_mime_addpart(form);
            curl_mime_name(added, part.name.c_str());
            if (part.data && part.pauseHalfway.count() > 0)
                curl_mime_data_cb(added, curl_off_t(part.data->size()), SendPausingHalfway, nullptr, nullptr,
                                  &readers.emplace_back(PausingReader{&*part.data, 0, part.pauseHalfway}));
            else if (part.data)
                curl_mime_data(added, part.data->data(), part.data->size());
            else
                curl_mime_filedata(added, part.file.c_str());
            if (part.fileName) curl_mime_filename(added, part.fileName->c_str());
        }
        curl_easy_setopt(curl, CURLOPT_MIMEPOST, form);
    } else if (call.rawBody) {
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, call.rawBody->c_str());
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE, long(call.rawBody->size()));
    }
    curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, call.method.c_str());
    curl_easy_setopt(curl, CURLOPT_URL, call.url.c_str());
    // None unless given: the machine's proxy settings never reach the tests.
    curl_easy_setopt(curl, CURLOPT_PROXY, call.proxy.c_str());
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, call.followRedirects ? 1L : 0L);
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Collect);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &reply.body);
    HeaderCollector headerCollector{&reply.headers, &call.onHeaderLine};
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, CollectHeader);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &headerCollector);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, 60L); // a hung test fails instead of hanging the run
    if (call.lowSpeedSeconds > 0) {
        curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, call.lowSpeedSeconds);
    }
    char error[CURL_ERROR_SIZE] = "";
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, error);
    const auto start = std::chrono::steady_clock::now();
    reply.code = curl_easy_perform(curl);
    reply.error = error;
    reply.elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &reply.status);
    curl_mime_free(form);
    curl_slist_free_all(headers);
    curl_easy_cleanup(curl);
    return reply;
}

ServerTest::ServerTest() : server(storage) {}

ServerTest::~ServerTest() {
    server.Stop();
}

std::filesystem::path ServerTest::WriteFile(const std::string& name, const std::string& content) const {
    const std::filesystem::path file = root / name;
    QuillmarTest::WriteFile(file, content);
    return file;
}

Reply ServerTest::Upload(const std::string& path, const std::string& content, const std::string& fileName) {
    Call call{Url(path), "POST"};
    call.parts.push_back(Part::Bytes(content, fileName));
    return Perform(call);
}
