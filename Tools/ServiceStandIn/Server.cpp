#include "Server.hpp"

#include <httplib.h>
#include <nlohmann/json.hpp>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <pthread.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <csignal>
#include <cstring>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <thread>

namespace ServiceStandIn {

namespace {

constexpr const char* ClientIdHeader = "Quillmar-Client-Id";
constexpr const char* ClientIdValue = "Quillmar Plugin Archicad";
constexpr const char* AuthorizationHeader = "X-Project-Authorization";
constexpr const char* BearerPrefix = "bearer ";
constexpr const char* MovedPrefix = "/moved";
constexpr const char* UploadPartName = "file";
constexpr std::size_t FileReadBlock = 64 * 1024;

// Far above the library's 5 s so that a slow client is not cut off in the middle of an upload or download.
constexpr std::time_t ReadTimeoutSeconds = 300;
constexpr std::time_t WriteTimeoutSeconds = 300;
// Short, so that Stop does not wait long for idle kept-alive connections.
constexpr std::time_t KeepAliveSeconds = 1;

// Many uploads and downloads may start at once; the library listens with a backlog of 5, and a full accept queue
// costs a client a SYN retransmission (a second).
constexpr int ListenBacklog = 128;

// Enough for a request head at once, and fewer reads of a large body.
constexpr std::size_t ConnectionReadBuffer = 64 * 1024;
// How often a connection waiting for its next request looks whether the server stops.
constexpr std::chrono::milliseconds StopCheckInterval{50};

enum class Endpoint { DocumentUpload, ResourceUpload, ResourceDownload, Unknown };

// What the server's own stream saw of the request in progress on a connection, and what its handler planned.
struct Exchange {
    std::string head;    // the request line and the header lines as received
    bool inBody = false; // the head is complete
    std::uint64_t bodyBytes = 0;
    // A silence the handler planned, once stallAfter bytes of the body are read.
    std::optional<std::uint64_t> stallAfter;
    std::chrono::milliseconds stallFor{0};
    std::function<bool(std::chrono::milliseconds)> pause;
    std::optional<RequestRecord> record; // the API handler's record of the request
};

// The exchange of the request the calling server thread is serving; null elsewhere.
thread_local Exchange* currentExchange = nullptr;

// The server's side of one connection, as the library's socket stream does it, but it keeps what it reads of each
// request's head (the library keeps the header lines sorted by name, not in order) and counts the body.
class ConnectionStream final : public httplib::Stream {
public:
    ConnectionStream(socket_t socket, std::chrono::milliseconds readLimit, std::chrono::milliseconds writeLimit)
        : sock(socket), readTimeout(readLimit), writeTimeout(writeLimit), buffer(ConnectionReadBuffer) {}

    void Begin(Exchange& next) { exchange = &next; }

    bool is_readable() const override { return begin != end || Ready(POLLIN, readTimeout); }
    bool is_writable() const override { return Ready(POLLOUT, writeTimeout); }

    ssize_t read(char* ptr, std::size_t size) override {
        if (exchange->inBody && exchange->stallAfter) {
            if (exchange->bodyBytes >= *exchange->stallAfter) {
                exchange->stallAfter.reset();
                if (exchange->pause) exchange->pause(exchange->stallFor);
            } else if (exchange->bodyBytes > 0) {
                // Never the first piece: the library's form parser fails on one shorter than its opening boundary.
                size = static_cast<std::size_t>(
                    std::min<std::uint64_t>(size, *exchange->stallAfter - exchange->bodyBytes));
            }
        }
        if (begin == end) {
            if (!is_readable()) return -1;
            ssize_t got = 0;
            do {
                got = ::recv(sock, buffer.data(), buffer.size(), 0);
            } while (got < 0 && errno == EINTR);
            if (got <= 0) return got;
            begin = 0;
            end = static_cast<std::size_t>(got);
        }
        const std::size_t taken = std::min(size, end - begin);
        std::memcpy(ptr, buffer.data() + begin, taken);
        begin += taken;
        if (exchange->inBody)
            exchange->bodyBytes += taken;
        else
            exchange->head.append(ptr, taken);
        return static_cast<ssize_t>(taken);
    }

    ssize_t write(const char* ptr, std::size_t size) override {
        if (!is_writable()) return -1;
        ssize_t sent = 0;
        do {
            sent = ::send(sock, ptr, size, MSG_NOSIGNAL);
        } while (sent < 0 && errno == EINTR);
        return sent;
    }

    void get_remote_ip_and_port(std::string& ip, int& port) const override { Address(true, ip, port); }
    void get_local_ip_and_port(std::string& ip, int& port) const override { Address(false, ip, port); }
    socket_t socket() const override { return sock; }

    // Waits for the first byte of the next request (or the client's close, which the next read tells); false when
    // the connection stayed idle for `idle` or the server stopped listening meanwhile.
    bool AwaitRequest(std::chrono::milliseconds idle, const std::atomic<socket_t>& listening) const {
        if (begin != end) return true;
        const auto deadline = std::chrono::steady_clock::now() + idle;
        while (listening != INVALID_SOCKET) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) return false;
            pollfd entry{sock, POLLIN, 0};
            const int ready = ::poll(&entry, 1, static_cast<int>(std::min(left, StopCheckInterval).count()));
            if (ready > 0) return true;
            if (ready < 0 && errno != EINTR) return false;
        }
        return false;
    }

private:
    bool Ready(short events, std::chrono::milliseconds timeout) const {
        pollfd entry{sock, events, 0};
        int ready = 0;
        do {
            ready = ::poll(&entry, 1, static_cast<int>(timeout.count()));
        } while (ready < 0 && errno == EINTR);
        return ready > 0;
    }

    void Address(bool peer, std::string& ip, int& port) const {
        sockaddr_storage address{};
        socklen_t length = sizeof address;
        auto* generic = reinterpret_cast<sockaddr*>(&address);
        if ((peer ? ::getpeername(sock, generic, &length) : ::getsockname(sock, generic, &length)) != 0) return;
        std::array<char, INET6_ADDRSTRLEN> text{};
        if (address.ss_family == AF_INET) {
            const auto* v4 = reinterpret_cast<const sockaddr_in*>(&address);
            ::inet_ntop(AF_INET, &v4->sin_addr, text.data(), text.size());
            port = ntohs(v4->sin_port);
        } else if (address.ss_family == AF_INET6) {
            const auto* v6 = reinterpret_cast<const sockaddr_in6*>(&address);
            ::inet_ntop(AF_INET6, &v6->sin6_addr, text.data(), text.size());
            port = ntohs(v6->sin6_port);
        }
        ip = text.data();
    }

    const socket_t sock;
    const std::chrono::milliseconds readTimeout;
    const std::chrono::milliseconds writeTimeout;
    std::vector<char> buffer;
    std::size_t begin = 0;
    std::size_t end = 0;
    Exchange* exchange = nullptr;
};

std::chrono::milliseconds Milliseconds(std::time_t seconds, std::time_t microseconds) {
    return std::chrono::milliseconds(seconds * 1000 + microseconds / 1000);
}

class HttpServer : public httplib::Server {
public:
    // Linux takes a second listen on a listening socket as a new backlog.
    void WidenBacklog() { ::listen(svr_sock_, ListenBacklog); }

private:
    // The library's connection loop (keep-alive, its limits and time-outs) over the stream above.
    bool process_and_close_socket(socket_t socket) override {
        ConnectionStream stream(socket, Milliseconds(read_timeout_sec_, read_timeout_usec_),
                                Milliseconds(write_timeout_sec_, write_timeout_usec_));
        Exchange exchange;
        bool served = false;
        for (std::size_t left = keep_alive_max_count_; left > 0; --left) {
            if (!stream.AwaitRequest(std::chrono::seconds(keep_alive_timeout_sec_), svr_sock_)) break;
            exchange = Exchange();
            stream.Begin(exchange);
            currentExchange = &exchange;
            bool closed = false;
            served =
                process_request(stream, left == 1, closed, [&exchange](httplib::Request&) { exchange.inBody = true; });
            currentExchange = nullptr;
            if (!served || closed) break;
        }
        ::shutdown(socket, SHUT_RDWR);
        ::close(socket);
        return served;
    }
};

bool StartsWithSegment(const std::string& path, const std::string& prefix) {
    return path.starts_with(prefix) && (path.size() == prefix.size() || path[prefix.size()] == '/');
}

// A request sent to the stand-in as an HTTP proxy names the whole URL ("http://host:port/api/..."); it is served
// as the request for its path, so that a client can reach a stand-in on a free port through its proxy setting.
std::string OriginForm(const std::string& target) {
    constexpr std::string_view Scheme = "http://";
    if (!target.starts_with(Scheme)) return target;
    const std::size_t path = target.find('/', Scheme.size());
    return path == std::string::npos ? std::string("/") : target.substr(path);
}

bool IsApiPath(const std::string& path) {
    return StartsWithSegment(path, "/api") || StartsWithSegment(path, MovedPrefix);
}

bool IsPlainAlphanumeric(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// Only a short alphanumeric extension of the client's name survives into the stored name, never a path.
std::string SafeExtension(const std::string& clientName) {
    const std::size_t slash = clientName.find_last_of("/\\");
    const std::string last = slash == std::string::npos ? clientName : clientName.substr(slash + 1);
    const std::size_t dot = last.find_last_of('.');
    if (dot == std::string::npos || dot == 0) return {};
    const std::string extension = last.substr(dot + 1);
    if (extension.empty() || extension.size() > 8 ||
        !std::all_of(extension.begin(), extension.end(), IsPlainAlphanumeric))
        return {};
    return "." + extension;
}

// Bytes of an answer: texts in memory, resources possibly on disk (read when sent, never loaded whole).
struct Body {
    std::shared_ptr<const std::string> bytes;
    std::filesystem::path file;
    std::size_t size = 0;
};

Body TextBody(std::string text) {
    Body body;
    body.size = text.size();
    body.bytes = std::make_shared<const std::string>(std::move(text));
    return body;
}

struct Answer {
    int status = 200;
    std::string contentType = "text/plain";
    Body body;
    std::string location;
};

Answer TextAnswer(int status, std::string text, std::string contentType = "text/plain") {
    return Answer{status, std::move(contentType), TextBody(std::move(text)), {}};
}

// Sends pieces of one body; one per response, used from the thread that writes that response.
class BodySender {
public:
    explicit BodySender(Body body) : body(std::move(body)) {}

    // Sends at most length bytes from offset; false when the file cannot be read or the connection is gone.
    bool Send(std::size_t offset, std::size_t length, httplib::DataSink& sink) {
        if (body.bytes) return sink.write(body.bytes->data() + offset, length);
        if (!file.is_open()) {
            file.open(body.file, std::ios::binary);
            buffer.resize(FileReadBlock);
        }
        length = std::min(length, buffer.size());
        file.seekg(static_cast<std::streamoff>(offset));
        file.read(buffer.data(), static_cast<std::streamsize>(length));
        if (!file || file.gcount() != static_cast<std::streamsize>(length)) return false;
        return sink.write(buffer.data(), length);
    }

private:
    Body body;
    std::ifstream file;
    std::vector<char> buffer;
};

struct UploadResult {
    bool complete = false;    // the body was read to its end
    bool writeFailed = false; // the stored file could not be written
    std::uint64_t sequence = 0;
    std::size_t largestChunk = 0;
};

// Server threads must not die of SIGPIPE when a client goes away; they inherit this mask from the listener.
void BlockSigpipe() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
}

std::string WithoutControlCharacters(std::string text) {
    std::replace_if(
        text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; }, '?');
    return text;
}

std::string TrimmedWhitespace(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// The header lines of a request head in order (the request line skipped), each value without the blanks around it.
HeaderLines ParseHeaderLines(const std::string& head) {
    HeaderLines headers;
    std::size_t start = head.find('\n');
    while (start != std::string::npos && start + 1 < head.size()) {
        const std::size_t next = head.find('\n', start + 1);
        std::string line = head.substr(start + 1, next == std::string::npos ? std::string::npos : next - start - 1);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) break;
        const std::size_t colon = line.find(':');
        if (colon != std::string::npos)
            headers.emplace_back(line.substr(0, colon), TrimmedWhitespace(line.substr(colon + 1)));
        start = next;
    }
    return headers;
}

bool SameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// The value of the first line named name; absent when there is none.
std::optional<std::string> FirstHeader(const HeaderLines& headers, const std::string& name) {
    for (const auto& [key, value] : headers)
        if (SameName(key, name)) return value;
    return std::nullopt;
}

// The value of the only line named name; absent when there is none or more than one, which is no clear answer.
std::optional<std::string> OnlyHeader(const HeaderLines& headers, const std::string& name) {
    const auto count =
        std::count_if(headers.begin(), headers.end(), [&](const auto& h) { return SameName(h.first, name); });
    return count == 1 ? FirstHeader(headers, name) : std::nullopt;
}

// What any request shows before a handler looks at it.
RequestRecord DescribeRequest(const httplib::Request& req, const Exchange* exchange) {
    RequestRecord record;
    record.method = req.method;
    record.target = OriginForm(req.target);
    record.path = OriginForm(req.path);
    const std::size_t question = record.target.find('?');
    if (question != std::string::npos) record.query = record.target.substr(question + 1);
    for (const auto& [name, value] : req.params)
        record.params.emplace_back(name, value);
    if (exchange != nullptr) {
        record.headers = ParseHeaderLines(exchange->head);
        record.bodySize = exchange->bodyBytes;
    }
    record.clientId = FirstHeader(record.headers, ClientIdHeader);
    record.authorization = FirstHeader(record.headers, AuthorizationHeader);
    return record;
}

} // namespace

const char* FaultName(FaultKind kind) {
    switch (kind) {
    case FaultKind::None:
        return "none";
    case FaultKind::Status:
        return "answer";
    case FaultKind::Redirect:
        return "redirect";
    case FaultKind::Stall:
        return "stall";
    case FaultKind::Drop:
        return "drop";
    case FaultKind::Slow:
        return "slow";
    }
    return "?";
}

Fault Fault::AnswerStatus(int status, std::string body, std::string contentType) {
    Fault fault;
    fault.kind = FaultKind::Status;
    fault.status = status;
    fault.body = std::move(body);
    fault.contentType = std::move(contentType);
    return fault;
}

Fault Fault::Redirect(int status, std::string location) {
    Fault fault;
    fault.kind = FaultKind::Redirect;
    fault.status = status;
    fault.location = std::move(location);
    return fault;
}

Fault Fault::RedirectKeepingTarget(int status, std::string origin) {
    Fault fault = Redirect(status, std::move(origin));
    fault.appendTarget = true;
    return fault;
}

Fault Fault::Stall(std::chrono::milliseconds silence, std::uint64_t afterBodyBytes) {
    Fault fault;
    fault.kind = FaultKind::Stall;
    fault.delay = silence;
    fault.afterBytes = afterBodyBytes;
    return fault;
}

Fault Fault::DropHalfway() {
    Fault fault;
    fault.kind = FaultKind::Drop;
    return fault;
}

Fault Fault::Slow(std::size_t chunkBytes, std::chrono::milliseconds pause) {
    Fault fault;
    fault.kind = FaultKind::Slow;
    fault.chunkBytes = chunkBytes;
    fault.delay = pause;
    return fault;
}

std::string FormatRecord(const RequestRecord& record) {
    std::ostringstream line;
    line << record.method << ' ' << record.path;
    if (!record.query.empty()) line << '?' << record.query;
    line << " -> " << record.status;
    if (record.partCount > 0)
        line << " part=" << record.partName << " file=\"" << record.partFileName << "\" size=" << record.size;
    if (record.partCount > 1) line << " parts=" << record.partCount;
    if (!record.storedFile.empty()) line << " stored=" << record.storedFile.filename().string();
    if (record.fault != FaultKind::None) line << " fault=" << FaultName(record.fault);
    return WithoutControlCharacters(line.str());
}

struct Server::Impl {
    explicit Impl(std::filesystem::path folder) : storage(std::move(folder)) {}

    void Configure(httplib::Server& http);
    // Binds and starts listening; the bound port, or 0 when it cannot. [controlling thread]
    int Listen(const std::string& host, int port);
    // Stops listening and joins the server's threads. [controlling thread]
    void Halt();
    void Observe(const httplib::Request& req, const httplib::Response& res);
    void Handle(const httplib::Request& req, httplib::Response& res, const httplib::ContentReader* reader,
                Endpoint endpoint);
    Fault TakeFault(bool moved);
    std::optional<Answer> EarlyAnswer(const httplib::Request& req, const RequestRecord& record, const Fault& fault,
                                      Endpoint endpoint) const;
    UploadResult ReadUpload(const httplib::Request& req, const httplib::ContentReader& reader, bool keep,
                            RequestRecord& record);
    Answer Serve(const httplib::Request& req, Endpoint endpoint, RequestRecord& record, const UploadResult& upload);
    void Deliver(httplib::Response& res, Answer answer, const Fault& fault);
    bool Pause(std::chrono::milliseconds duration);
    void Finish(RequestRecord record);
    void Log(const std::string& line);

    const std::filesystem::path storage;
    std::vector<std::pair<std::string, std::filesystem::path>> mounts;
    std::function<void(const std::string&)> logSink;
    std::mutex logMutex;
    std::function<void(const RequestRecord&)> observer;
    std::mutex observerMutex; // held while the observer runs

    // Owned by the controlling thread.
    std::unique_ptr<HttpServer> http;
    std::thread listener;

    mutable std::mutex mutex; // guards everything below
    mutable std::condition_variable changed;
    std::string host;
    int port = 0; // 0 while not running
    bool refusing = false;
    bool stopping = false;
    std::vector<RequestRecord> records;
    std::map<std::string, Body> resources;
    Fault fault;
    int faultsLeft = 0;
    std::uint64_t sequence = 0;
    std::size_t largestChunk = 0;
};

void Server::Impl::Configure(httplib::Server& server) {
    server.set_read_timeout(ReadTimeoutSeconds, 0);
    server.set_write_timeout(WriteTimeoutSeconds, 0);
    server.set_keep_alive_timeout(KeepAliveSeconds);
    // The library's default adds SO_REUSEPORT, which would let a second server share the port unnoticed.
    server.set_socket_options([](socket_t socket) {
        const int yes = 1;
        ::setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });

    const auto upload = [this](Endpoint endpoint) {
        return [this, endpoint](const httplib::Request& req, httplib::Response& res,
                                const httplib::ContentReader& reader) { Handle(req, res, &reader, endpoint); };
    };
    const auto plain = [this](Endpoint endpoint) {
        return [this, endpoint](const httplib::Request& req, httplib::Response& res) {
            Handle(req, res, nullptr, endpoint);
        };
    };
    // First match wins; the last two record everything else under the API paths.
    // Each path also in the absolute form a proxy receives (the group takes no capture number).
    server.Post(R"((?:http://[^/]+)?(/moved)?/api/document)", upload(Endpoint::DocumentUpload));
    server.Post(R"((?:http://[^/]+)?(/moved)?/api/resource)", upload(Endpoint::ResourceUpload));
    server.Get(R"((?:http://[^/]+)?(/moved)?/api/resource/(.+))", plain(Endpoint::ResourceDownload));
    server.Post(R"((?:http://[^/]+)?/(api|moved)(/.*)?)", upload(Endpoint::Unknown));
    server.Get(R"((?:http://[^/]+)?/(api|moved)(/.*)?)", plain(Endpoint::Unknown));

    server.set_post_routing_handler([this](const httplib::Request& req, httplib::Response& res) { Observe(req, res); });
    server.set_logger([this](const httplib::Request& req, const httplib::Response& res) {
        if (!IsApiPath(OriginForm(req.path)))
            Log(WithoutControlCharacters(req.method + " " + req.target + " -> " + std::to_string(res.status)));
    });
    server.set_exception_handler([](const httplib::Request&, httplib::Response& res, std::exception_ptr) {
        res.status = 500;
        res.set_content("internal error", "text/plain");
    });
}

void Server::Impl::Observe(const httplib::Request& req, const httplib::Response& res) {
    std::lock_guard lock(observerMutex);
    if (!observer) return;
    const Exchange* exchange = currentExchange;
    RequestRecord record = exchange != nullptr && exchange->record ? *exchange->record : DescribeRequest(req, exchange);
    record.status = res.status;
    observer(record);
}

void Server::Impl::Handle(const httplib::Request& req, httplib::Response& res, const httplib::ContentReader* reader,
                          Endpoint endpoint) {
    Exchange* const exchange = currentExchange;
    RequestRecord record = DescribeRequest(req, exchange);

    const Fault applied = TakeFault(StartsWithSegment(OriginForm(req.path), MovedPrefix));
    record.fault = applied.kind;
    const bool stallInBody = applied.kind == FaultKind::Stall && applied.afterBytes > 0 && exchange != nullptr;
    if (stallInBody) {
        exchange->stallAfter = applied.afterBytes;
        exchange->stallFor = applied.delay;
        exchange->pause = [this](std::chrono::milliseconds silence) { return Pause(silence); };
    } else if (applied.kind == FaultKind::Stall) {
        Pause(applied.delay);
    }

    const std::optional<Answer> early = EarlyAnswer(req, record, applied, endpoint);
    UploadResult upload;
    // A body is always read to its end, kept or not, so that the connection stays usable for the next request.
    if (reader != nullptr) upload = ReadUpload(req, *reader, !early && endpoint != Endpoint::Unknown, record);
    if (stallInBody && exchange->stallAfter) {
        // The body ended before the silence was due.
        exchange->stallAfter.reset();
        Pause(applied.delay);
    }
    Answer answer = early ? *early : Serve(req, endpoint, record, upload);
    record.status = answer.status;
    if (exchange != nullptr) {
        record.bodySize = exchange->bodyBytes;
        exchange->record = record;
    }
    Deliver(res, std::move(answer), applied);
    Finish(std::move(record));
}

Fault Server::Impl::TakeFault(bool moved) {
    std::lock_guard lock(mutex);
    if (faultsLeft == 0 || (moved && fault.kind == FaultKind::Redirect)) return {};
    if (faultsLeft > 0) --faultsLeft;
    return fault;
}

std::optional<Answer> Server::Impl::EarlyAnswer(const httplib::Request& req, const RequestRecord& record,
                                                const Fault& applied, Endpoint endpoint) const {
    if (applied.kind == FaultKind::Status) return TextAnswer(applied.status, applied.body, applied.contentType);
    if (applied.kind == FaultKind::Redirect) {
        Answer answer = TextAnswer(applied.status, "");
        if (applied.appendTarget)
            answer.location = applied.location + OriginForm(req.target);
        else
            answer.location = applied.location.empty() ? MovedPrefix + OriginForm(req.target) : applied.location;
        return answer;
    }
    if (OnlyHeader(record.headers, ClientIdHeader) != ClientIdValue)
        return TextAnswer(401, "missing or wrong Quillmar-Client-Id");
    const std::optional<std::string> authorization = OnlyHeader(record.headers, AuthorizationHeader);
    if (!authorization || !authorization->starts_with(BearerPrefix) ||
        authorization->size() == std::strlen(BearerPrefix))
        return TextAnswer(401, "missing bearer authorization");
    if (endpoint == Endpoint::Unknown) return TextAnswer(404, "no such endpoint");
    if (endpoint == Endpoint::DocumentUpload && !req.has_param("folderId")) return TextAnswer(400, "missing folderId");
    return std::nullopt;
}

UploadResult Server::Impl::ReadUpload(const httplib::Request& req, const httplib::ContentReader& reader, bool keep,
                                      RequestRecord& record) {
    UploadResult result;
    std::ofstream out;
    bool inFirstPart = false;
    if (!req.is_multipart_form_data()) {
        result.complete = reader([&](const char*, std::size_t length) {
            result.largestChunk = std::max(result.largestChunk, length);
            return true;
        });
    } else {
        result.complete = reader(
            [&](const httplib::MultipartFormData& part) {
                ++record.partCount;
                record.parts.push_back(FormPart{part.name, part.filename, 0});
                inFirstPart = record.partCount == 1;
                if (!inFirstPart) return true;
                record.partName = part.name;
                record.partFileName = part.filename;
                if (keep && part.name == UploadPartName) {
                    {
                        std::lock_guard lock(mutex);
                        result.sequence = ++sequence;
                    }
                    record.storedFile =
                        storage / ("upload-" + std::to_string(result.sequence) + SafeExtension(part.filename));
                    out.open(record.storedFile, std::ios::binary | std::ios::trunc);
                    if (!out) {
                        result.writeFailed = true;
                        return false;
                    }
                }
                return true;
            },
            [&](const char* data, std::size_t length) {
                // Each piece goes to disk as it arrives: the upload is never held whole.
                result.largestChunk = std::max(result.largestChunk, length);
                if (!record.parts.empty()) record.parts.back().size += length;
                if (!inFirstPart) return true;
                record.size += length;
                if (out.is_open() && !out.write(data, static_cast<std::streamsize>(length))) {
                    result.writeFailed = true;
                    return false;
                }
                return true;
            });
    }
    if (out.is_open()) {
        out.close();
        result.writeFailed = result.writeFailed || out.fail();
    }
    std::lock_guard lock(mutex);
    largestChunk = std::max(largestChunk, result.largestChunk);
    return result;
}

Answer Server::Impl::Serve(const httplib::Request& req, Endpoint endpoint, RequestRecord& record,
                           const UploadResult& upload) {
    if (endpoint == Endpoint::ResourceDownload) {
        Body body;
        {
            std::lock_guard lock(mutex);
            const auto found = resources.find(req.matches[2].str());
            if (found == resources.end()) return TextAnswer(404, "unknown resource");
            body = found->second;
        }
        if (!body.bytes) {
            std::error_code error;
            body.size = static_cast<std::size_t>(std::filesystem::file_size(body.file, error));
            if (error) return TextAnswer(500, "resource file unreadable");
        }
        return Answer{200, "application/octet-stream", std::move(body), {}};
    }

    const bool usable = upload.complete && !upload.writeFailed && record.partCount == 1 && !record.storedFile.empty();
    if (!usable) {
        if (!record.storedFile.empty()) {
            std::error_code ignored;
            std::filesystem::remove(record.storedFile, ignored);
            record.storedFile.clear();
        }
        if (upload.writeFailed) return TextAnswer(500, "upload could not be stored");
        if (!upload.complete) return TextAnswer(400, "incomplete upload");
        return TextAnswer(400, "expected exactly one multipart part named \"file\"");
    }

    const std::string number = std::to_string(upload.sequence);
    if (endpoint == Endpoint::DocumentUpload) {
        const nlohmann::json documents =
            nlohmann::json::array({{{"id", "doc-" + number}, {"name", record.partFileName}}});
        // Replacement keeps an answer even for a client file name that is not valid UTF-8.
        return TextAnswer(201, documents.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace),
                          "application/json");
    }
    const std::string id = "img-" + number;
    Body stored;
    stored.file = record.storedFile;
    {
        std::lock_guard lock(mutex);
        resources[id] = stored;
    }
    return TextAnswer(201, id);
}

void Server::Impl::Deliver(httplib::Response& res, Answer answer, const Fault& applied) {
    res.status = answer.status;
    if (!answer.location.empty()) res.set_header("Location", answer.location);
    const std::size_t size = answer.body.size;
    if (applied.kind == FaultKind::Drop && size > 0) {
        auto sender = std::make_shared<BodySender>(std::move(answer.body));
        const std::size_t half = size / 2;
        res.set_content_provider(size, answer.contentType,
                                 [sender, half](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                                     if (offset >= half) return false; // closes the connection with the rest still owed
                                     return sender->Send(offset, std::min(length, half - offset), sink);
                                 });
    } else if (applied.kind == FaultKind::Slow) {
        auto sender = std::make_shared<BodySender>(std::move(answer.body));
        const std::size_t chunk = std::max<std::size_t>(applied.chunkBytes, 1);
        res.set_chunked_content_provider(answer.contentType, [this, sender, size, chunk, pause = applied.delay](
                                                                 std::size_t offset, httplib::DataSink& sink) {
            if (offset >= size) {
                sink.done();
                return true;
            }
            if (offset > 0 && !Pause(pause)) return false;
            return sender->Send(offset, std::min(chunk, size - offset), sink);
        });
    } else if (answer.body.bytes) {
        res.set_content(*answer.body.bytes, answer.contentType);
    } else {
        auto sender = std::make_shared<BodySender>(std::move(answer.body));
        res.set_content_provider(size, answer.contentType,
                                 [sender](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                                     return sender->Send(offset, length, sink);
                                 });
    }
}

bool Server::Impl::Pause(std::chrono::milliseconds duration) {
    std::unique_lock lock(mutex);
    return !changed.wait_for(lock, duration, [this] { return stopping; });
}

void Server::Impl::Finish(RequestRecord record) {
    const std::string line = FormatRecord(record);
    {
        std::lock_guard lock(mutex);
        records.push_back(std::move(record));
    }
    changed.notify_all();
    Log(line);
}

void Server::Impl::Log(const std::string& line) {
    std::lock_guard lock(logMutex);
    if (logSink) logSink(line);
}

Server::Server(std::filesystem::path storageFolder) : impl(std::make_unique<Impl>(std::move(storageFolder))) {
    std::error_code ignored;
    std::filesystem::create_directories(impl->storage, ignored);
}

Server::~Server() {
    Stop();
}

void Server::ServeFolder(const std::string& mountPoint, const std::filesystem::path& folder) {
    impl->mounts.emplace_back(mountPoint, folder);
}

void Server::SetLogSink(std::function<void(const std::string& line)> sink) {
    std::lock_guard lock(impl->logMutex);
    impl->logSink = std::move(sink);
}

void Server::SetRequestObserver(std::function<void(const RequestRecord& record)> observer) {
    std::lock_guard lock(impl->observerMutex);
    impl->observer = std::move(observer);
}

int Server::Impl::Listen(const std::string& address, int wanted) {
    auto server = std::make_unique<HttpServer>();
    Configure(*server);
    for (const auto& [mountPoint, folder] : mounts) {
        if (!server->set_mount_point(mountPoint, folder.string())) return 0;
    }
    const int bound =
        wanted == 0 ? server->bind_to_any_port(address) : (server->bind_to_port(address, wanted) ? wanted : -1);
    if (bound <= 0) return 0;
    server->WidenBacklog();
    {
        std::lock_guard lock(mutex);
        stopping = false;
    }

    auto ended = std::make_shared<std::atomic<bool>>(false);
    listener = std::thread([running = server.get(), ended] {
        BlockSigpipe();
        running->listen_after_bind();
        ended->store(true);
    });
    // Stop is only heard by a server that has begun listening.
    while (!server->is_running() && !ended->load())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (!server->is_running()) {
        listener.join();
        return 0;
    }
    http = std::move(server);
    return bound;
}

void Server::Impl::Halt() {
    if (!http) return;
    {
        std::lock_guard lock(mutex);
        stopping = true;
    }
    changed.notify_all();
    http->stop();
    listener.join();
    http.reset();
}

bool Server::Start(const std::string& host, int port) {
    if (IsRunning()) return false;
    std::error_code error;
    std::filesystem::create_directories(impl->storage, error);
    if (!std::filesystem::is_directory(impl->storage, error)) return false;
    const int bound = impl->Listen(host, port);
    if (bound == 0) return false;
    std::lock_guard lock(impl->mutex);
    impl->host = host;
    impl->port = bound;
    impl->refusing = false;
    return true;
}

void Server::Stop() {
    {
        std::lock_guard lock(impl->mutex);
        impl->port = 0;
        impl->refusing = false;
    }
    impl->Halt();
}

bool Server::SetRefusing(bool refusing) {
    std::string host;
    int port = 0;
    {
        std::lock_guard lock(impl->mutex);
        if (impl->port == 0) return false;
        if (impl->refusing == refusing) return true;
        host = impl->host;
        port = impl->port;
    }
    if (refusing) {
        impl->Halt();
    } else if (impl->Listen(host, port) == 0) {
        return false;
    }
    std::lock_guard lock(impl->mutex);
    impl->refusing = refusing;
    return true;
}

bool Server::IsRefusing() const {
    std::lock_guard lock(impl->mutex);
    return impl->refusing;
}

bool Server::IsRunning() const {
    std::lock_guard lock(impl->mutex);
    return impl->port != 0;
}

int Server::Port() const {
    std::lock_guard lock(impl->mutex);
    return impl->port;
}

std::string Server::BaseUrl() const {
    std::lock_guard lock(impl->mutex);
    return "http://" + impl->host + ":" + std::to_string(impl->port) + "/api";
}

const std::filesystem::path& Server::StorageFolder() const {
    return impl->storage;
}

void Server::AddResource(const std::string& id, std::string bytes) {
    Body body = TextBody(std::move(bytes));
    std::lock_guard lock(impl->mutex);
    impl->resources[id] = std::move(body);
}

void Server::AddResourceFile(const std::string& id, const std::filesystem::path& file) {
    Body body;
    body.file = file;
    std::lock_guard lock(impl->mutex);
    impl->resources[id] = std::move(body);
}

void Server::InjectFault(Fault fault, int count) {
    std::lock_guard lock(impl->mutex);
    impl->fault = std::move(fault);
    impl->faultsLeft = count < 0 ? UntilCleared : count;
}

void Server::ClearFault() {
    std::lock_guard lock(impl->mutex);
    impl->fault = Fault();
    impl->faultsLeft = 0;
}

std::vector<RequestRecord> Server::Requests() const {
    std::lock_guard lock(impl->mutex);
    return impl->records;
}

std::size_t Server::RequestCount() const {
    std::lock_guard lock(impl->mutex);
    return impl->records.size();
}

bool Server::WaitForRequests(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(impl->mutex);
    return impl->changed.wait_for(lock, timeout, [&] { return impl->records.size() >= count; });
}

void Server::ClearRequests() {
    std::lock_guard lock(impl->mutex);
    impl->records.clear();
}

std::size_t Server::LargestUploadChunk() const {
    std::lock_guard lock(impl->mutex);
    return impl->largestChunk;
}

} // namespace ServiceStandIn

#if defined(__SANITIZE_THREAD__)
// Debian's cpp-httplib is a compiled library without ThreadSanitizer instrumentation: the sanitizer misses its
// synchronisation (such as the fast path of its function-local static regexes) and reports its own memory accesses as
// races. Only the accesses it makes itself are ignored; everything the server's code does stays checked.
extern "C" __attribute__((visibility("default"))) const char* __tsan_default_suppressions() {
    return "called_from_lib:libcpp-httplib.so\n";
}
#endif
