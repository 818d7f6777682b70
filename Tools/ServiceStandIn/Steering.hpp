#ifndef SERVICESTANDIN_STEERING_HPP
#define SERVICESTANDIN_STEERING_HPP

#include "Server.hpp"

#include <nlohmann/json.hpp>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

// The service's behaviour by name, as a scenario's "service" line and quillmar-service's options give it, and the
// transcript line of one request.
namespace ServiceStandIn {

// Texts that vary between runs and what stands for them.
using Masks = std::vector<std::pair<std::string, std::string>>;

// {"request": {"method", "target", "params", "headers", "parts", "size", "status", "fault"}}, with "at": "other"
// first for the second listener. In header values each mask's text is replaced where no digit follows it, and a
// multipart boundary is written as "<boundary>".
nlohmann::ordered_json RequestLine(const RequestRecord& record, const Masks& masks, bool atOther = false);

// Steers a server by behaviour values. A redirect to another address goes to a second listener on a free port of
// the server's host, started on first need and stopped with the steering. Everything here belongs to the server's
// controlling thread; the server must outlive the steering.
class Steering {
public:
    // otherLog receives the second listener's log lines, when given.
    explicit Steering(Server& server, std::function<void(const std::string& line)> otherLog = {});
    ~Steering(); // ends the watching and stops the second listener
    Steering(const Steering&) = delete;
    Steering& operator=(const Steering&) = delete;

    // Applies one behaviour: "clear", or an object with one of "answer", "redirect", "stall", "drop", "slow",
    // "refuse", "clear" and an optional "count" (HostSim/README.md, the "service" line). An empty text when done,
    // else why not; nothing changed then.
    std::string Apply(const nlohmann::json& behaviour);

    // From now on every request either listener answers reaches watcher as its RequestLine, ports masked as
    // ":<port>" and ":<other-port>", on the servers' threads, one call at a time. An empty function ends this once
    // a call in progress has returned.
    void Watch(std::function<void(nlohmann::ordered_json line)> watcher);

    // The second listener's base URL; empty until a redirect needed it.
    std::string OtherBaseUrl() const;

private:
    using Watcher = std::function<void(nlohmann::ordered_json line)>;

    std::string StartOther();
    void Observe(Server& target, bool atOther) const;

    Server& server;
    std::function<void(const std::string& line)> otherLog;
    std::unique_ptr<Server> other;
    std::shared_ptr<const Watcher> watcher;
};

} // namespace ServiceStandIn

#endif
