#include "Steering.hpp"

#include <cctype>
#include <climits>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <variant>

namespace ServiceStandIn {

namespace {

// Why a behaviour cannot be applied.
class BehaviourError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

constexpr const char* BehaviourKinds[] = {"answer", "redirect", "stall", "drop", "slow", "refuse", "clear"};
// A day: longer silences are typos, and Stop cuts any of them short.
constexpr std::int64_t MaxMilliseconds = 24LL * 60 * 60 * 1000;
constexpr int DefaultRedirectStatus = 307;

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

std::int64_t Integer(const nlohmann::json& value, const std::string& what, std::int64_t least, std::int64_t most) {
    if (!value.is_number_integer() || value.get<std::int64_t>() < least || value.get<std::int64_t>() > most)
        throw BehaviourError(what + " must be a whole number from " + std::to_string(least) + " to " +
                             std::to_string(most));
    return value.get<std::int64_t>();
}

std::string Text(const nlohmann::json& value, const std::string& what) {
    if (!value.is_string()) throw BehaviourError(what + " must be a string");
    return value.get<std::string>();
}

// The object of a behaviour, with only the keys allowed.
const nlohmann::json& Settings(const nlohmann::json& value, const std::string& kind,
                               std::initializer_list<const char*> allowed) {
    if (!value.is_object()) throw BehaviourError(Quoted(kind) + " must be an object");
    for (const auto& item : value.items()) {
        bool known = false;
        for (const char* key : allowed)
            known = known || item.key() == key;
        if (!known) throw BehaviourError(Quoted(kind) + ": unknown key " + Quoted(item.key()));
    }
    return value;
}

const nlohmann::json& Required(const nlohmann::json& settings, const std::string& kind, const char* key) {
    const auto it = settings.find(key);
    if (it == settings.end()) throw BehaviourError(Quoted(kind) + ": " + Quoted(key) + " is required");
    return *it;
}

std::chrono::milliseconds Duration(const nlohmann::json& settings, const std::string& kind) {
    return std::chrono::milliseconds(
        Integer(Required(settings, kind, "ms"), Quoted(kind) + ": \"ms\"", 0, MaxMilliseconds));
}

void RequireTrue(const nlohmann::json& value, const std::string& kind) {
    if (value != true) throw BehaviourError(Quoted(kind) + " must be true");
}

struct Clear {};
struct Refuse {};
struct Misbehave {
    Fault fault;
    bool toOther = false; // the fault's location is the second listener's
    int count = UntilCleared;
};
using Plan = std::variant<Clear, Refuse, Misbehave>;

Misbehave ParseRedirect(const nlohmann::json& value) {
    const nlohmann::json& settings = Settings(value, "redirect", {"to", "status"});
    int status = DefaultRedirectStatus;
    if (const auto it = settings.find("status"); it != settings.end()) {
        status = static_cast<int>(Integer(*it, "\"redirect\": \"status\"", 300, 399));
    }
    const std::string to = settings.contains("to") ? Text(settings["to"], "\"redirect\": \"to\"") : "same";
    if (to == "same") return Misbehave{Fault::Redirect(status)};
    if (to == "other") return Misbehave{Fault::RedirectKeepingTarget(status, {}), true};
    if (to == "loop") return Misbehave{Fault::RedirectKeepingTarget(status, {})};
    if (to.starts_with("http://") || to.starts_with("https://")) return Misbehave{Fault::Redirect(status, to)};
    throw BehaviourError("\"redirect\": \"to\" must be \"same\", \"other\", \"loop\" or an http(s) URL");
}

Misbehave ParseMisbehaviour(const std::string& kind, const nlohmann::json& value) {
    if (kind == "answer") {
        const nlohmann::json& settings = Settings(value, kind, {"status", "body", "type"});
        const auto status =
            static_cast<int>(Integer(Required(settings, kind, "status"), "\"answer\": \"status\"", 100, 599));
        const std::string body = settings.contains("body") ? Text(settings["body"], "\"answer\": \"body\"") : "";
        const std::string type =
            settings.contains("type") ? Text(settings["type"], "\"answer\": \"type\"") : "text/plain";
        return Misbehave{Fault::AnswerStatus(status, body, type)};
    }
    if (kind == "redirect") return ParseRedirect(value);
    if (kind == "stall") {
        const nlohmann::json& settings = Settings(value, kind, {"ms", "afterBytes"});
        std::uint64_t after = 0;
        if (settings.contains("afterBytes"))
            after =
                static_cast<std::uint64_t>(Integer(settings["afterBytes"], "\"stall\": \"afterBytes\"", 0, INT64_MAX));
        return Misbehave{Fault::Stall(Duration(settings, kind), after)};
    }
    if (kind == "drop") {
        RequireTrue(value, kind);
        return Misbehave{Fault::DropHalfway()};
    }
    const nlohmann::json& settings = Settings(value, kind, {"bytes", "ms"});
    const auto bytes =
        static_cast<std::size_t>(Integer(Required(settings, kind, "bytes"), "\"slow\": \"bytes\"", 1, INT_MAX));
    return Misbehave{Fault::Slow(bytes, Duration(settings, kind))};
}

Plan ParsePlan(const nlohmann::json& behaviour) {
    if (behaviour == "clear") return Clear{};
    if (!behaviour.is_object()) throw BehaviourError("the value must be \"clear\" or an object");
    std::string kind;
    for (const auto& item : behaviour.items()) {
        if (item.key() == "count") continue;
        bool known = false;
        for (const char* candidate : BehaviourKinds)
            known = known || item.key() == candidate;
        if (!known) throw BehaviourError("unknown key " + Quoted(item.key()));
        if (!kind.empty())
            throw BehaviourError("one behaviour at a time, not " + Quoted(kind) + " and " + Quoted(item.key()));
        kind = item.key();
    }
    if (kind.empty())
        throw BehaviourError("no behaviour: one of \"answer\", \"redirect\", \"stall\", \"drop\", "
                             "\"slow\", \"refuse\", \"clear\"");
    const nlohmann::json& value = behaviour[kind];
    if (kind == "clear" || kind == "refuse") {
        RequireTrue(value, kind);
        if (behaviour.contains("count")) throw BehaviourError(Quoted(kind) + " takes no \"count\"");
        if (kind == "clear") return Clear{};
        return Refuse{};
    }
    Misbehave misbehave = ParseMisbehaviour(kind, value);
    if (const auto count = behaviour.find("count"); count != behaviour.end())
        misbehave.count = static_cast<int>(Integer(*count, "\"count\"", 1, INT_MAX));
    return misbehave;
}

// "http://host:port" of a server's base URL.
std::string Origin(const Server& server) {
    std::string url = server.BaseUrl();
    return url.substr(0, url.rfind('/'));
}

std::string Host(const Server& server) {
    const std::string origin = Origin(server);
    const std::size_t start = origin.find("://") + 3;
    return origin.substr(start, origin.rfind(':') - start);
}

bool IsDigit(char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

std::string Masked(std::string text, const Masks& masks) {
    for (const auto& [what, with] : masks) {
        if (what.empty()) continue;
        for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at)) {
            const std::size_t after = at + what.size();
            if (after < text.size() && IsDigit(text[after])) {
                at = after;
                continue;
            }
            text.replace(at, what.size(), with);
            at += with.size();
        }
    }
    return text;
}

// The boundary of a multipart content type is made up anew for every request.
std::string WithoutBoundary(std::string value) {
    std::string lower = value;
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const std::string key = "boundary=";
    const std::size_t at = lower.find(key);
    if (at == std::string::npos) return value;
    const std::size_t start = at + key.size();
    const std::size_t end = value.find(';', start);
    return value.replace(start, end == std::string::npos ? std::string::npos : end - start, "<boundary>");
}

nlohmann::ordered_json Pairs(const HeaderLines& lines) {
    nlohmann::ordered_json pairs = nlohmann::ordered_json::array();
    for (const auto& [name, value] : lines)
        pairs.push_back(nlohmann::ordered_json::array({name, value}));
    return pairs;
}

} // namespace

nlohmann::ordered_json RequestLine(const RequestRecord& record, const Masks& masks, bool atOther) {
    nlohmann::ordered_json request = nlohmann::ordered_json::object();
    if (atOther) request["at"] = "other";
    request["method"] = record.method;
    request["target"] = record.target;
    if (!record.params.empty()) request["params"] = Pairs(record.params);
    HeaderLines headers;
    for (const auto& [name, value] : record.headers)
        headers.emplace_back(name, WithoutBoundary(Masked(value, masks)));
    request["headers"] = Pairs(headers);
    if (!record.parts.empty()) {
        nlohmann::ordered_json parts = nlohmann::ordered_json::array();
        for (const FormPart& part : record.parts)
            parts.push_back({{"name", part.name}, {"fileName", part.fileName}, {"size", part.size}});
        request["parts"] = std::move(parts);
    }
    request["size"] = record.bodySize;
    request["status"] = record.status;
    if (record.fault != FaultKind::None) request["fault"] = FaultName(record.fault);
    return nlohmann::ordered_json{{"request", std::move(request)}};
}

Steering::Steering(Server& steered, std::function<void(const std::string& line)> log)
    : server(steered), otherLog(std::move(log)) {}

Steering::~Steering() {
    if (watcher) server.SetRequestObserver(nullptr);
    if (other) other->Stop();
}

std::string Steering::Apply(const nlohmann::json& behaviour) {
    Plan plan;
    try {
        plan = ParsePlan(behaviour);
    } catch (const BehaviourError& e) {
        return e.what();
    }
    if (!server.IsRunning()) return "the service is not running";

    if (std::holds_alternative<Refuse>(plan)) {
        server.ClearFault();
        if (!server.SetRefusing(true)) return "the service cannot stop listening";
        return {};
    }
    Misbehave* misbehave = std::get_if<Misbehave>(&plan);
    if (misbehave != nullptr && misbehave->toOther) {
        if (std::string error = StartOther(); !error.empty()) return error;
        misbehave->fault.location = Origin(*other);
    }
    // Every behaviour replaces the one before, a refusal too.
    if (!server.SetRefusing(false)) return "the service cannot listen on its address again";
    if (misbehave != nullptr)
        server.InjectFault(misbehave->fault, misbehave->count);
    else
        server.ClearFault();
    return {};
}

std::string Steering::StartOther() {
    if (other) return {};
    auto started = std::make_unique<Server>(server.StorageFolder() / "other");
    if (otherLog) started->SetLogSink(otherLog);
    if (!started->Start(Host(server), 0)) return "the second listener cannot start";
    other = std::move(started);
    // Its port joins the masks of both listeners' lines.
    if (watcher) {
        Observe(server, false);
        Observe(*other, true);
    }
    return {};
}

void Steering::Watch(std::function<void(nlohmann::ordered_json line)> next) {
    watcher = next ? std::make_shared<const Watcher>(std::move(next)) : nullptr;
    Observe(server, false);
    if (other) Observe(*other, true);
}

void Steering::Observe(Server& target, bool atOther) const {
    if (!watcher) {
        target.SetRequestObserver(nullptr);
        return;
    }
    Masks masks;
    // Appended, not "literal + string": g++ 12 at -O3 reports a false -Wrestrict for the latter.
    const auto portText = [](auto port) { return std::string(1, ':').append(std::to_string(port)); };
    if (server.Port() != 0) masks.emplace_back(portText(server.Port()), ":<port>");
    if (other) masks.emplace_back(portText(other->Port()), ":<other-port>");
    target.SetRequestObserver([write = watcher, masks, atOther](const RequestRecord& record) {
        (*write)(RequestLine(record, masks, atOther));
    });
}

std::string Steering::OtherBaseUrl() const {
    return other ? other->BaseUrl() : std::string();
}

} // namespace ServiceStandIn
