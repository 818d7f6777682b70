#ifndef SERVICESTANDIN_SERVER_HPP
#define SERVICESTANDIN_SERVER_HPP

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// A local stand-in of the cloud service's REST interface, served over plain HTTP on a loopback port:
//   POST <base>/document?folderId=<id>  one multipart part "file"  -> 201 [{"id":"doc-<n>","name":"<file name>"}]
//   POST <base>/resource                one multipart part "file"  -> 201 img-<n>
//   GET  <base>/resource/<id>                                      -> 200 the resource's bytes, 404 when unknown
// with <base> = http://<host>:<port>/api. Every API request must carry exactly one "Quillmar-Client-Id: Quillmar Plugin
// Archicad" and exactly one "X-Project-Authorization: bearer <token>" with a non-empty token, else it is answered 401
// as the real service answers it. Uploads are streamed to disk.
namespace ServiceStandIn {

enum class FaultKind { None, Status, Redirect, Stall, Drop, Slow };

// The fault's name in the log and in request lines: the word that asks for it ("answer", "redirect", ...).
const char* FaultName(FaultKind kind);

// A misbehaviour of the server for the API requests it applies to (never the static folders).
struct Fault {
    FaultKind kind = FaultKind::None;
    int status = 0;                         // Status, Redirect
    std::string body;                       // Status
    std::string contentType = "text/plain"; // Status
    std::string location;                   // Redirect; empty: the same target under "/moved"
    bool appendTarget = false;              // Redirect: location followed by the request's target
    std::chrono::milliseconds delay{0};     // Stall: the silence; Slow: the pause between chunks
    std::uint64_t afterBytes = 0;           // Stall: bytes of the request body read before the silence
    std::size_t chunkBytes = 0;             // Slow

    // Answers status and body instead of the real answer (an upload is read, not kept).
    static Fault AnswerStatus(int status, std::string body, std::string contentType = "text/plain");
    // Answers 302 or 307 to location; the server serves every endpoint under "/moved" too, and never redirects
    // a request that is already there.
    static Fault Redirect(int status = 302, std::string location = {});
    // Answers status with origin + the request's target as the location: the same endpoint at another address, or
    // with an empty origin the very same target again (a loop).
    static Fault RedirectKeepingTarget(int status, std::string origin);
    // Reads afterBodyBytes of the request body (all of it when shorter, at least the first piece it reads), then
    // reads and sends nothing for the given time, then goes on normally. Stop cuts the silence short.
    static Fault Stall(std::chrono::milliseconds silence, std::uint64_t afterBodyBytes = 0);
    // Sends the headers (with the full Content-Length) and the first half of the body, then closes.
    static Fault DropHalfway();
    // Sends the body chunked, chunkBytes at a time, with a pause between chunks.
    static Fault Slow(std::size_t chunkBytes, std::chrono::milliseconds pause);
};

// Count for InjectFault: the fault stays until ClearFault or the next InjectFault.
inline constexpr int UntilCleared = -1;

// One part of a multipart form as received.
struct FormPart {
    std::string name;
    std::string fileName; // as the client sent it
    std::uint64_t size = 0;
};

using HeaderLines = std::vector<std::pair<std::string, std::string>>;

// What the server saw of one request and what it answered.
struct RequestRecord {
    std::string method;
    std::string target;                       // the request target as sent: path and query, not decoded
    std::string path;                         // URL-decoded, without the query
    std::string query;                        // the raw text after '?', empty when there is none
    HeaderLines params;                       // the query's parameters as the service decodes them, by name
    HeaderLines headers;                      // every header line in the order received, values as sent
    std::optional<std::string> clientId;      // "Quillmar-Client-Id", absent when not sent
    std::optional<std::string> authorization; // "X-Project-Authorization", absent when not sent
    std::size_t partCount = 0;                // multipart parts received
    std::string partName;                     // name of the first part
    std::string partFileName;                 // file name of the first part, as the client sent it
    std::filesystem::path storedFile;         // the kept upload; empty when nothing was kept
    std::uint64_t size = 0;                   // bytes of the first part received, kept or not
    std::vector<FormPart> parts;              // every part of a multipart form, in order
    std::uint64_t bodySize = 0;               // bytes of the body received
    int status = 0;                           // the status answered
    FaultKind fault = FaultKind::None;        // the misbehaviour applied to this request
};

// One line describing a record, as the service's request log prints it.
std::string FormatRecord(const RequestRecord& record);

// The server. Start, Stop, SetRefusing, ServeFolder and SetLogSink belong to one controlling thread; everything else
// may be called from any thread at any time. Requests are served on the server's own threads.
class Server {
public:
    // Uploads are stored in storageFolder (created when missing) under names made from a sequence number.
    explicit Server(std::filesystem::path storageFolder);
    ~Server(); // stops
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // Serves the files of folder under mountPoint (e.g. "/app"). Before Start, which fails when folder is missing.
    void ServeFolder(const std::string& mountPoint, const std::filesystem::path& folder);
    // Receives one line per request (API and static), one call at a time, on the server's threads. Before Start.
    void SetLogSink(std::function<void(const std::string& line)> sink);
    // Receives every request (API and static) once its answer is chosen, before the answer is sent, so before the
    // client can act on it; one call at a time, on the server's threads. Any time, from any thread; an empty
    // function ends the calls and returns once a call in progress has returned.
    void SetRequestObserver(std::function<void(const RequestRecord& record)> observer);

    // Binds host:port (0: an ephemeral port) and starts serving. False when the port cannot be bound, the storage
    // folder cannot be had or the server already runs.
    bool Start(const std::string& host = "127.0.0.1", int port = 0);
    // Stops accepting, cuts stalls and slow answers short and joins every server thread. Idempotent.
    void Stop();
    // true: stops listening as Stop does, so that connections are refused, but keeps the address and everything
    // the server holds; false: listens on the same address again. False when it cannot listen again (the port was
    // taken meanwhile) or the server is not running.
    bool SetRefusing(bool refusing);
    bool IsRefusing() const;
    bool IsRunning() const;      // started and not stopped, refusing or not
    int Port() const;            // the bound port; 0 when not running
    std::string BaseUrl() const; // "http://<host>:<port>/api"
    const std::filesystem::path& StorageFolder() const;

    // Makes GET <base>/resource/<id> answer bytes, or the current content of file (streamed from disk).
    void AddResource(const std::string& id, std::string bytes);
    void AddResourceFile(const std::string& id, const std::filesystem::path& file);

    // Applies fault to the next count API requests (UntilCleared: until cleared). Replaces any earlier fault.
    void InjectFault(Fault fault, int count = UntilCleared);
    void ClearFault();

    std::vector<RequestRecord> Requests() const;
    std::size_t RequestCount() const;
    // Waits until at least count requests are recorded; false on time-out.
    bool WaitForRequests(std::size_t count, std::chrono::milliseconds timeout) const;
    void ClearRequests();
    // The largest piece of an upload held at once while storing it: what the server buffers of an upload.
    std::size_t LargestUploadChunk() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl;
};

} // namespace ServiceStandIn

#endif
