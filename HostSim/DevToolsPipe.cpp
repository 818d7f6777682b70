#include "DevToolsPipe.hpp"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <ctime>
#include <future>
#include <memory>
#include <system_error>
#include <vector>

namespace HostSim {

namespace {

// Writes to a pipe whose reader has gone raise SIGPIPE, which would end the host; the calling thread blocks it for
// the write and takes back a signal the write raised.
class PipeSignalGuard {
public:
    PipeSignalGuard() {
        sigemptyset(&pipeSignal);
        sigaddset(&pipeSignal, SIGPIPE);
        sigset_t pending;
        sigpending(&pending);
        wasPending = sigismember(&pending, SIGPIPE) == 1;
        pthread_sigmask(SIG_BLOCK, &pipeSignal, &previous);
    }
    ~PipeSignalGuard() {
        if (raised && !wasPending) {
            const timespec none{};
            while (sigtimedwait(&pipeSignal, nullptr, &none) < 0 && errno == EINTR) {
            }
        }
        pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    }
    PipeSignalGuard(const PipeSignalGuard&) = delete;
    PipeSignalGuard& operator=(const PipeSignalGuard&) = delete;

    void Raised() noexcept { raised = true; }

private:
    sigset_t pipeSignal;
    sigset_t previous;
    bool wasPending = false;
    bool raised = false;
};

} // namespace

DevToolsPipe::DevToolsPipe(int commands, int answers) : commandsFd(commands), answersFd(answers) {
    int wake[2];
    if (pipe2(wake, O_CLOEXEC) != 0) {
        const int error = errno;
        close(commandsFd);
        close(answersFd);
        throw std::system_error(error, std::generic_category(), "cannot make the DevTools pipe's wake-up pipe");
    }
    wakeRead = wake[0];
    wakeWrite = wake[1];
    reader = std::thread([this] { Read(); });
}

DevToolsPipe::~DevToolsPipe() {
    const char byte = 0;
    while (write(wakeWrite, &byte, 1) < 0 && errno == EINTR) {
    }
    reader.join();
    Close("the host closed the DevTools pipe");
    for (int fd : {commandsFd, answersFd, wakeRead, wakeWrite})
        close(fd);
}

void DevToolsPipe::Send(const std::string& method, nlohmann::json params, const std::string& sessionId,
                        ReplyHandler onReply) {
    nlohmann::json message{{"method", method}, {"params", params.is_null() ? nlohmann::json::object() : params}};
    if (!sessionId.empty()) message["sessionId"] = sessionId;
    bool sent = false;
    bool writeFailed = false;
    std::string why;
    {
        const std::lock_guard writing(writeMutex);
        std::uint64_t id = 0;
        {
            const std::lock_guard lock(mutex);
            if (open) {
                id = nextId++;
                if (onReply) pending.emplace(id, std::move(onReply));
            } else {
                why = closedReason;
            }
        }
        if (id != 0) {
            message["id"] = id;
            // Texts from pages need not be valid UTF-8; the browser gets the replacement character.
            std::string bytes = message.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
            bytes.push_back('\0');
            sent = WriteAll(bytes);
            writeFailed = !sent;
        }
    }
    // The handler is among the pending ones then: Close tells it, with every other one waiting.
    if (writeFailed) {
        Close("chromium stopped reading its DevTools pipe");
        return;
    }
    if (!sent && onReply) onReply(Reply{false, nullptr, why});
}

DevToolsPipe::Reply DevToolsPipe::Call(const std::string& method, nlohmann::json params, const std::string& sessionId,
                                       std::chrono::milliseconds timeout) {
    auto answer = std::make_shared<std::promise<Reply>>();
    std::future<Reply> result = answer->get_future();
    Send(method, std::move(params), sessionId, [answer](Reply reply) { answer->set_value(std::move(reply)); });
    if (result.wait_for(timeout) != std::future_status::ready)
        return Reply{false, nullptr,
                     "chromium did not answer " + method + " within " + std::to_string(timeout.count()) + " ms"};
    return result.get();
}

void DevToolsPipe::Subscribe(const std::string& sessionId, EventHandler handler) {
    const std::lock_guard lock(handlerMutex);
    if (handler) {
        handlers[sessionId] = std::move(handler);
    } else {
        handlers.erase(sessionId);
    }
}

void DevToolsPipe::SetClosedHandler(std::function<void()> handler) {
    const std::lock_guard lock(mutex);
    onClosed = std::move(handler);
}

bool DevToolsPipe::IsOpen() const {
    const std::lock_guard lock(mutex);
    return open;
}

bool DevToolsPipe::WriteAll(const std::string& bytes) {
    PipeSignalGuard guard;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(commandsFd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (errno == EPIPE) guard.Raised();
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

void DevToolsPipe::Read() {
    std::string buffer;
    std::array<char, 65536> chunk;
    std::array<pollfd, 2> watched{pollfd{answersFd, POLLIN, 0}, pollfd{wakeRead, POLLIN, 0}};
    for (;;) {
        const int ready = poll(watched.data(), watched.size(), -1);
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0 || watched[1].revents != 0) return;
        const ssize_t n = read(answersFd, chunk.data(), chunk.size());
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (n <= 0) break;
        buffer.append(chunk.data(), static_cast<std::size_t>(n));
        std::size_t start = 0;
        for (std::size_t end = buffer.find('\0'); end != std::string::npos; end = buffer.find('\0', start)) {
            Dispatch(buffer.substr(start, end - start));
            start = end + 1;
        }
        buffer.erase(0, start);
    }
    Close("chromium closed its DevTools pipe (it ended)");
    std::function<void()> closed;
    {
        const std::lock_guard lock(mutex);
        closed = std::move(onClosed);
    }
    if (closed) closed();
}

void DevToolsPipe::Dispatch(const std::string& text) {
    const nlohmann::json message = nlohmann::json::parse(text, nullptr, false);
    if (!message.is_object()) return;
    if (const auto id = message.find("id"); id != message.end() && id->is_number_unsigned()) {
        ReplyHandler handler;
        {
            const std::lock_guard lock(mutex);
            const auto it = pending.find(id->get<std::uint64_t>());
            if (it == pending.end()) return;
            handler = std::move(it->second);
            pending.erase(it);
        }
        Reply reply;
        if (const auto error = message.find("error"); error != message.end()) {
            reply.error = error->value("message", error->dump());
        } else {
            reply.ok = true;
            reply.result = message.value("result", nlohmann::json::object());
        }
        handler(std::move(reply));
        return;
    }
    const auto method = message.find("method");
    if (method == message.end() || !method->is_string()) return;
    const std::string session = message.value("sessionId", "");
    const std::lock_guard lock(handlerMutex);
    const auto it = handlers.find(session);
    if (it != handlers.end()) it->second(method->get<std::string>(), message.value("params", nlohmann::json::object()));
}

void DevToolsPipe::Close(const std::string& why) {
    std::map<std::uint64_t, ReplyHandler> unanswered;
    {
        const std::lock_guard lock(mutex);
        if (open) {
            open = false;
            closedReason = why;
        }
        unanswered.swap(pending);
    }
    for (auto& [id, handler] : unanswered)
        handler(Reply{false, nullptr, why});
}

} // namespace HostSim
