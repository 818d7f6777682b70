#ifndef HOSTSIM_DEVTOOLSPIPE_HPP
#define HOSTSIM_DEVTOOLSPIPE_HPP

#include <nlohmann/json.hpp>

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>

namespace HostSim {

// The DevTools protocol on a pipe: JSON messages, each ended by a NUL byte; commands carry an id their answer
// repeats, events a method, and both the session of the page they concern (none: the browser's own).
// Answers and events are handled on the pipe's reader thread, which must never wait for the host's main thread.
class DevToolsPipe {
public:
    struct Reply {
        bool ok = false;
        nlohmann::json result; // ok: the command's result
        std::string error;     // otherwise: the protocol's message, or why no answer can come
    };
    using ReplyHandler = std::function<void(Reply reply)>;
    using EventHandler = std::function<void(const std::string& method, const nlohmann::json& params)>;

    // Takes both descriptors and starts reading. Throws std::system_error (closing both) when it cannot.
    DevToolsPipe(int commandsFd, int answersFd);
    // Stops reading (answers still awaited get an error) and closes the descriptors.
    ~DevToolsPipe();
    DevToolsPipe(const DevToolsPipe&) = delete;
    DevToolsPipe& operator=(const DevToolsPipe&) = delete;

    // [thread-safe] Sends a command; commands reach the browser in the order of the calls. `onReply` (may be empty)
    // runs once on the reader thread, or at once with an error when the pipe is closed.
    void Send(const std::string& method, nlohmann::json params, const std::string& sessionId, ReplyHandler onReply);
    // [thread-safe] Sends and waits for the answer, at most `timeout`. Not on the reader thread.
    Reply Call(const std::string& method, nlohmann::json params, const std::string& sessionId,
               std::chrono::milliseconds timeout);

    // [thread-safe] The events of a session go to `handler` on the reader thread; an empty handler ends them and
    // returns once a call in progress has returned. Not from within a handler.
    void Subscribe(const std::string& sessionId, EventHandler handler);
    // [thread-safe] Told once when the browser closes its end of the pipe (it ended or crashed), on the reader
    // thread.
    void SetClosedHandler(std::function<void()> handler);
    // [thread-safe] False once the browser closed the pipe or a write failed.
    bool IsOpen() const;

private:
    void Read();
    void Dispatch(const std::string& message);
    void Close(const std::string& why);
    bool WriteAll(const std::string& bytes);

    int commandsFd;
    int answersFd;
    int wakeRead = -1; // the destructor writes to wakeWrite to end the reader
    int wakeWrite = -1;

    mutable std::mutex mutex; // guards everything below except `handlers`
    std::uint64_t nextId = 1;
    std::map<std::uint64_t, ReplyHandler> pending;
    bool open = true;
    std::string closedReason;
    std::function<void()> onClosed;

    std::mutex writeMutex;   // one message at a time on the pipe, in the order of the ids
    std::mutex handlerMutex; // held while an event handler runs, so that unsubscribing waits for it
    std::map<std::string, EventHandler> handlers;

    std::thread reader;
};

} // namespace HostSim

#endif
