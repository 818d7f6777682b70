#include "ChromiumPage.hpp"

#include "PageBridge.hpp"
#include "ScriptValues.hpp"
#include "WebOrigin.hpp"

#include "GSException.hpp"

#include <openssl/evp.h>

#include <algorithm>
#include <exception>
#include <fstream>
#include <map>
#include <mutex>
#include <optional>

namespace HostSim {

namespace {

using Json = nlohmann::json;
using Reply = DevToolsPipe::Reply;

Line ToLine(const Json& value) {
    return Line::parse(value.dump(-1, ' ', false, Json::error_handler_t::replace));
}

std::string FirstLine(const std::string& text) {
    return text.substr(0, text.find('\n'));
}

// What a script threw, or what its promise was rejected with: a thrown text as it is, an error as its first line
// ("TypeError: x is not a function").
std::string ExceptionText(const Json& details) {
    const Json exception = details.value("exception", Json::object());
    if (const auto value = exception.find("value"); value != exception.end())
        return value->is_string() ? value->get<std::string>() : value->dump();
    if (const auto description = exception.find("description");
        description != exception.end() && description->is_string())
        return FirstLine(description->get<std::string>());
    return details.value("text", "an exception");
}

// A console message's arguments as one text, as the console shows them.
std::string ConsoleText(const Json& args) {
    std::string text;
    for (const Json& arg : args) {
        if (!text.empty()) text += " ";
        if (const auto value = arg.find("value"); value != arg.end()) {
            text += value->is_string() ? value->get<std::string>() : value->dump();
        } else {
            text += arg.value("description", arg.value("type", ""));
        }
    }
    return text;
}

// Resolves true as soon as the expression holds (checked at every change of the document and every 20 ms, as
// conditions outside the document change unseen), false when it still does not after `ms`.
std::string WaitScript(const std::string& expression, long long ms) {
    return "new Promise(resolve => {\n"
           "  const holds = () => { try { return Boolean((\n" +
           expression +
           "\n)); } catch (e) { return false; } };\n"
           "  if (holds()) { resolve(true); return; }\n"
           "  let observer, timer, limit;\n"
           "  const finish = value => {\n"
           "    observer.disconnect(); clearInterval(timer); clearTimeout(limit); resolve(value);\n"
           "  };\n"
           "  observer = new MutationObserver(() => { if (holds()) finish(true); });\n"
           "  observer.observe(document, {subtree: true, childList: true, attributes: true, characterData: true});\n"
           "  timer = setInterval(() => { if (holds()) finish(true); }, 20);\n"
           "  limit = setTimeout(() => finish(holds()), " +
           std::to_string(ms) + ");\n})";
}

// The middle of the first element the selector matches, in the viewport once it is scrolled there; null when none
// matches, "hidden" when it takes no room.
std::string ElementCenterScript(const std::string& selector) {
    return "(() => {\n  const element = document.querySelector(" + Json(selector).dump() +
           ");\n"
           "  if (element === null) return null;\n"
           "  element.scrollIntoView({block: 'center', inline: 'center'});\n"
           "  const box = element.getBoundingClientRect();\n"
           "  if (box.width === 0 || box.height === 0) return 'hidden';\n"
           "  return {x: box.left + box.width / 2, y: box.top + box.height / 2};\n})()";
}

std::optional<std::string> DecodeBase64(const std::string& text) {
    if (text.size() % 4 != 0) return std::nullopt;
    std::string bytes(text.size() / 4 * 3, '\0');
    const int length =
        EVP_DecodeBlock(reinterpret_cast<unsigned char*>(bytes.data()),
                        reinterpret_cast<const unsigned char*>(text.data()), static_cast<int>(text.size()));
    if (length < 0) return std::nullopt;
    std::size_t size = static_cast<std::size_t>(length);
    // EVP_DecodeBlock counts the padding as zero bytes.
    for (auto it = text.rbegin(); it != text.rend() && *it == '='; ++it)
        --size;
    bytes.resize(size);
    return bytes;
}

// The reply of a command as the main thread waits for it: set on the pipe's reader thread.
struct AwaitedReply {
    std::mutex mutex;
    std::optional<Reply> reply;
};

} // namespace

struct ChromiumPage::State {
    struct Context {
        std::string origin;
        std::string frameId;
        bool isDefault = false;
    };

    PageServices services;
    std::shared_ptr<ChromiumBrowser> browser;
    std::string address;
    std::optional<ChromiumBrowser::Tab> tab;

    // [main-thread]
    std::vector<std::string> urls;
    std::vector<GS::Ref<JS::Object>> objects;
    std::map<std::string, std::string> definitions; // object name -> its script's identifier in the tab
    bool bindingAdded = false;
    Int32 contextMenuMode = 0;

    // Shared by the reader thread (contexts come and go) and the main thread (the loaded address).
    std::mutex mutex;
    std::map<std::int64_t, Context> contexts;
    std::string allowedOrigin;

    DevToolsPipe& Pipe() const { return browser->GetPipe(); }
    const std::string& Session() const { return tab->sessionId; }

    void Send(const std::string& method, Json params, DevToolsPipe::ReplyHandler onReply = nullptr) const {
        if (tab) Pipe().Send(method, std::move(params), Session(), std::move(onReply));
    }

    // [main-thread] Sends and pumps the main thread until the answer is there: the page may call the host meanwhile.
    Reply Await(const std::string& method, Json params, std::chrono::milliseconds timeout) const {
        if (!tab) return Reply{false, nullptr, "the page has no tab in chromium"};
        auto box = std::make_shared<AwaitedReply>();
        Pipe().Send(method, std::move(params), Session(), [box, loop = services.mainThread](Reply reply) {
            {
                const std::lock_guard lock(box->mutex);
                box->reply = std::move(reply);
            }
            loop->Notify();
        });
        const auto arrived = [&box] {
            const std::lock_guard lock(box->mutex);
            return box->reply.has_value();
        };
        services.mainThread->RunUntil(arrived, timeout);
        const std::lock_guard lock(box->mutex);
        if (!box->reply)
            return Reply{false, nullptr,
                         "chromium did not answer " + method + " within " + std::to_string(timeout.count()) + " ms"};
        return *box->reply;
    }

    // [main-thread]
    GS::Ref<JS::Function> FindFunction(const std::string& function, const std::string& objectName) const {
        const GS::UniString name = ToUniString(function);
        for (const GS::Ref<JS::Object>& object : objects) {
            if (!objectName.empty() && ToUtf8(object->GetName()) != objectName) continue;
            if (auto found = GS::DynamicCast<JS::Function>(object->GetItem(name))) return found;
        }
        return {};
    }

    // [main-thread] Calls the function with the argument `makeArgument` gives and writes the line of the call, as
    // the headless page does. Nothing thrown leaves here.
    CallOutcome Invoke(const std::string& function, const std::string& objectName,
                       const std::function<GS::Ref<JS::Base>()>& makeArgument) const {
        return CallScriptFunction(*services.transcript, function, FindFunction(function, objectName), makeArgument);
    }

    // [main-thread] A call from the page: refused (with `refusal` saying why) or served, and the page's promise
    // settled in the context it came from.
    void Serve(const std::string& payload, std::int64_t contextId, const std::string& origin,
               const std::string& refusal) const {
        const std::optional<PageBridge::CallRequest> request = PageBridge::ParseCall(payload);
        if (!request) {
            services.transcript->Write(Line{{"pageRefused", nullptr}, {"origin", origin}, {"reason", "not a call"}});
            return;
        }
        std::string settle;
        if (!refusal.empty()) {
            services.transcript->Write(
                Line{{"pageRefused", request->function}, {"origin", origin}, {"reason", refusal}});
            settle = PageBridge::RejectScript(request->id, "Refused: the host answers only the page it loaded.");
        } else {
            const CallOutcome outcome = Invoke(request->function, request->object, [&request] {
                return request->argument ? PageBridge::DecodeArgument(*request->argument) : GS::Ref<JS::Base>();
            });
            settle = outcome.kind == CallOutcome::Kind::Result ? PageBridge::ResolveScript(request->id, outcome.result)
                                                               : PageBridge::RejectScript(request->id, outcome.error);
        }
        // The context is gone when the page navigated meanwhile; the call then has no one to answer.
        Send("Runtime.evaluate", Json{{"expression", settle}, {"contextId", contextId}},
             [transcript = services.transcript, function = request->function](const Reply& reply) {
                 if (!reply.ok) transcript->Write(Line{{"pageReply", function}, {"error", reply.error}});
             });
    }

    // Why a call from the context is refused; empty when it is the tab's main frame at the loaded origin.
    std::string Refusal(std::int64_t contextId, std::string* origin) {
        const std::lock_guard lock(mutex);
        const auto it = contexts.find(contextId);
        if (it == contexts.end()) return "an unknown context";
        *origin = it->second.origin;
        if (!it->second.isDefault) return "an isolated world";
        if (it->second.frameId != tab->targetId) return "a frame inside the page";
        if (allowedOrigin.empty() || it->second.origin != allowedOrigin) return "another origin";
        return {};
    }

    // [reader thread] Never waits for the main thread: what needs it is posted.
    void OnEvent(const std::string& method, const Json& params) {
        Transcript& transcript = *services.transcript;
        if (method == "Runtime.executionContextCreated") {
            const Json context = params.value("context", Json::object());
            const Json aux = context.value("auxData", Json::object());
            const std::lock_guard lock(mutex);
            contexts[context.value("id", std::int64_t{0})] =
                Context{context.value("origin", ""), aux.value("frameId", ""), aux.value("isDefault", false)};
        } else if (method == "Runtime.executionContextDestroyed") {
            const std::lock_guard lock(mutex);
            contexts.erase(params.value("executionContextId", std::int64_t{0}));
        } else if (method == "Runtime.executionContextsCleared") {
            const std::lock_guard lock(mutex);
            contexts.clear();
        } else if (method == "Runtime.bindingCalled") {
            if (params.value("name", "") != PageBridge::BindingName) return;
            const std::int64_t contextId = params.value("executionContextId", std::int64_t{0});
            std::string origin;
            // Judged now: by the time the main thread serves it the context may have gone.
            std::string refusal = Refusal(contextId, &origin);
            services.mainThread->Post([weak = weakSelf, payload = params.value("payload", ""), contextId,
                                       origin = std::move(origin), refusal = std::move(refusal)] {
                if (const auto self = weak.lock()) self->Serve(payload, contextId, origin, refusal);
            });
        } else if (method == "Runtime.consoleAPICalled") {
            transcript.Write(Line{{"console", params.value("type", "log")},
                                  {"text", ConsoleText(params.value("args", Json::array()))}});
        } else if (method == "Runtime.exceptionThrown") {
            transcript.Write(Line{{"pageException", ExceptionText(params.value("exceptionDetails", Json::object()))}});
        } else if (method == "Page.javascriptDialogOpening") {
            const std::string type = params.value("type", "alert");
            transcript.Write(Line{{"pageDialog", type}, {"message", params.value("message", "")}});
            Json answer{{"accept", true}};
            if (type == "prompt") answer["promptText"] = params.value("defaultPrompt", "");
            Send("Page.handleJavaScriptDialog", std::move(answer));
        } else if (method == "Inspector.detached") {
            transcript.Write(Line{{"pageClosed", params.value("reason", "")}});
        } else if (method == "Inspector.targetCrashed") {
            transcript.Write(Line{{"pageClosed", "the page's renderer crashed"}});
        }
    }

    // [main-thread] The scenario's operations; see ChromiumPage.
    Evaluation Evaluate(const std::string& expression, std::chrono::milliseconds timeout) const;
    std::string WaitFor(const std::string& expression, std::chrono::milliseconds timeout) const;
    std::string Click(const std::string& selector, std::chrono::milliseconds timeout) const;
    std::string Screenshot(const std::filesystem::path& file, std::chrono::milliseconds timeout) const;

    std::weak_ptr<State> weakSelf;
};

HostUIBackEnd::PageFactory ChromiumPage::MakeFactory(std::shared_ptr<ChromiumBrowser> browser, std::string address) {
    return
        [browser = std::move(browser), address = std::move(address)](DG::BrowserBase&, const PageServices& services) {
            return std::make_unique<ChromiumPage>(services, browser, address);
        };
}

ChromiumPage::ChromiumPage(PageServices services, std::shared_ptr<ChromiumBrowser> browser, std::string address)
    : HostPage(services), state(std::make_shared<State>()) {
    state->weakSelf = state;
    state->services = std::move(services);
    state->browser = std::move(browser);
    state->address = std::move(address);
    std::string error;
    state->tab = state->browser->OpenTab(&error);
    if (!state->tab) {
        state->services.transcript->Error("browser: " + error);
        return;
    }
    // Events stop (and a handler in progress ends) before the state goes: see the destructor.
    State* const raw = state.get();
    state->Pipe().Subscribe(state->Session(),
                            [raw](const std::string& method, const Json& params) { raw->OnEvent(method, params); });
    state->Pipe().SetClosedHandler([weak = std::weak_ptr<Transcript>(state->services.transcript)] {
        if (const auto transcript = weak.lock()) transcript->Write(Line{{"pageClosed", "chromium ended"}});
    });
    for (const char* domain : {"Page.enable", "Runtime.enable"}) {
        const Reply reply = state->Pipe().Call(domain, {}, state->Session(), state->browser->GetTimeout());
        if (!reply.ok) state->services.transcript->Error(std::string("browser: ") + domain + ": " + reply.error);
    }
}

ChromiumPage::~ChromiumPage() {
    if (state->tab) {
        state->Pipe().Subscribe(state->Session(), nullptr);
        state->browser->CloseTab(*state->tab);
    }
}

void ChromiumPage::LoadURL(const GS::UniString& url) {
    const std::string given = ToUtf8(url);
    const std::string shown = state->address.empty() ? given : state->address;
    state->urls.push_back(given);
    Line line{{"load", given}};
    if (shown != given) line["address"] = shown;
    state->services.transcript->Write(std::move(line));
    {
        const std::lock_guard lock(state->mutex);
        state->allowedOrigin = WebOrigin(shown);
    }
    state->services.mainThread->Post([weak = std::weak_ptr<State>(state), shown] {
        const auto self = weak.lock();
        if (!self) return;
        self->Send("Page.navigate", Json{{"url", shown}},
                   [transcript = self->services.transcript, shown](const Reply& reply) {
                       const std::string error = reply.ok ? reply.result.value("errorText", "") : reply.error;
                       if (!error.empty()) transcript->Write(Line{{"pageLoad", shown}, {"error", error}});
                   });
    });
}

void ChromiumPage::ExecuteJS(const GS::UniString& script) {
    const State& s = *state;
    s.services.scripts->Append(ToUtf8(script), this, [&s](const std::string& text) {
        s.services.transcript->Write(Line{{"page", text}});
        // Sent under the log's lock, so that the page runs the scripts in the order of the log.
        s.Send("Runtime.evaluate", Json{{"expression", text}},
               [transcript = s.services.transcript, text](const Reply& reply) {
                   std::string error = reply.ok ? "" : reply.error;
                   if (reply.ok && reply.result.contains("exceptionDetails"))
                       error = ExceptionText(reply.result["exceptionDetails"]);
                   if (!error.empty()) transcript->Write(Line{{"pageScript", text}, {"error", error}});
               });
    });
}

bool ChromiumPage::RegisterAsynchJSObject(GS::Ref<JS::Object> obj) {
    if (obj.IsNull()) return false;
    State& s = *state;
    std::vector<std::string> functions;
    for (const JS::Object::Item& item : obj->GetItemTable())
        if (GS::DynamicCast<JS::Function>(item.second)) functions.push_back(ToUtf8(item.first));
    const std::string name = ToUtf8(obj->GetName());
    // A second object of the same name takes the place of the first, as in a page.
    std::erase_if(s.objects, [&obj](const GS::Ref<JS::Object>& o) { return o->GetName() == obj->GetName(); });
    s.objects.push_back(obj);
    s.services.transcript->Write(Line{{"registered", name}, {"functions", functions}});
    if (!s.tab) return true;

    // Waited for, so that both are in place before the navigation LoadURL posted.
    const std::chrono::milliseconds timeout = s.browser->GetTimeout();
    if (!s.bindingAdded) {
        const Reply added =
            s.Pipe().Call("Runtime.addBinding", {{"name", PageBridge::BindingName}}, s.Session(), timeout);
        s.bindingAdded = added.ok;
        if (!added.ok) s.services.transcript->Error("browser: Runtime.addBinding: " + added.error);
    }
    if (const auto old = s.definitions.find(name); old != s.definitions.end()) {
        s.Send("Page.removeScriptToEvaluateOnNewDocument", Json{{"identifier", old->second}});
        s.definitions.erase(old);
    }
    const std::string script = PageBridge::DefineObjectScript(name, functions);
    const Reply defined =
        s.Pipe().Call("Page.addScriptToEvaluateOnNewDocument", {{"source", script}}, s.Session(), timeout);
    if (!defined.ok) {
        s.services.transcript->Error("browser: the page cannot get " + name + ": " + defined.error);
        return false;
    }
    s.definitions[name] = defined.result.value("identifier", "");
    // The document shown now gets it too.
    s.Send("Runtime.evaluate", Json{{"expression", script}});
    return true;
}

void ChromiumPage::SetContextMenuMode(Int32 mode) {
    state->contextMenuMode = mode;
    state->services.transcript->Write(Line{{"contextMenu", mode}});
}

std::vector<std::string> ChromiumPage::GetLoadedURLs() const {
    return state->urls;
}

std::vector<std::string> ChromiumPage::GetScripts() const {
    std::vector<std::string> result;
    for (const ScriptLog::Entry& entry : state->services.scripts->GetEntries())
        if (entry.page == this) result.push_back(entry.script);
    return result;
}

std::vector<GS::Ref<JS::Object>> ChromiumPage::GetScriptObjects() const {
    return state->objects;
}

bool ChromiumPage::HasFunction(const std::string& function, const std::string& objectName) const {
    return !state->FindFunction(function, objectName).IsNull();
}

CallOutcome ChromiumPage::Call(const std::string& function, const Line* argument, const std::string& objectName) {
    return state->services.mainThread->Invoke([&]() -> CallOutcome {
        return state->Invoke(function, objectName, [argument] {
            return argument != nullptr ? ToScriptValue(*argument) : GS::Ref<JS::Base>();
        });
    });
}

ChromiumPage::Evaluation ChromiumPage::State::Evaluate(const std::string& expression,
                                                       std::chrono::milliseconds timeout) const {
    const Reply reply =
        Await("Runtime.evaluate",
              Json{{"expression", expression}, {"awaitPromise", true}, {"returnByValue", true}, {"userGesture", true}},
              timeout);
    Evaluation evaluation;
    if (!reply.ok) {
        evaluation.error = reply.error;
        return evaluation;
    }
    if (const auto details = reply.result.find("exceptionDetails"); details != reply.result.end()) {
        evaluation.error = ExceptionText(*details);
        evaluation.thrown = true;
        return evaluation;
    }
    const Json remote = reply.result.value("result", Json::object());
    evaluation.ok = true;
    evaluation.value = ToLine(remote.value("value", Json(nullptr)));
    return evaluation;
}

std::string ChromiumPage::State::WaitFor(const std::string& expression, std::chrono::milliseconds timeout) const {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + timeout;
    // The page's own timer ends its wait; this margin only covers a page that stopped answering.
    constexpr std::chrono::milliseconds margin{10000};
    for (;;) {
        const auto left = std::max(std::chrono::milliseconds(0),
                                   std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()));
        const Evaluation waited = Evaluate(WaitScript(expression, left.count()), left + margin);
        if (waited.ok && waited.value == true) return {};
        if (waited.thrown) return waited.error;
        // A navigation ends the context of the wait; the next document is asked again.
        if (waited.ok || Clock::now() >= deadline || !tab || !Pipe().IsOpen())
            return waited.ok ? "it did not hold in time" : waited.error;
    }
}

std::string ChromiumPage::State::Click(const std::string& selector, std::chrono::milliseconds timeout) const {
    const Evaluation found = Evaluate(ElementCenterScript(selector), timeout);
    if (!found.ok) return found.error;
    if (found.value.is_null()) return "no element matches " + selector;
    if (!found.value.is_object()) return "the element " + selector + " takes no room on the page";
    const double x = found.value.value("x", 0.0);
    const double y = found.value.value("y", 0.0);
    for (const char* type : {"mouseMoved", "mousePressed", "mouseReleased"}) {
        Json event{{"type", type}, {"x", x}, {"y", y}};
        if (std::string(type) != "mouseMoved") {
            event["button"] = "left";
            event["buttons"] = std::string(type) == "mousePressed" ? 1 : 0;
            event["clickCount"] = 1;
        }
        const Reply reply = Await("Input.dispatchMouseEvent", std::move(event), timeout);
        if (!reply.ok) return reply.error;
    }
    return {};
}

std::string ChromiumPage::State::Screenshot(const std::filesystem::path& file,
                                            std::chrono::milliseconds timeout) const {
    const Reply reply = Await("Page.captureScreenshot", Json{{"format", "png"}}, timeout);
    if (!reply.ok) return reply.error;
    const std::optional<std::string> bytes = DecodeBase64(reply.result.value("data", ""));
    if (!bytes || bytes->empty()) return "chromium sent no picture";
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes->data(), static_cast<std::streamsize>(bytes->size()));
    out.close();
    if (!out) return "cannot write " + file.string();
    return {};
}

// The page may go while the main thread pumps during an operation (a call that closes the palette): the
// operation keeps the state it works on.
ChromiumPage::Evaluation ChromiumPage::Evaluate(const std::string& expression, std::chrono::milliseconds timeout) {
    const std::shared_ptr<const State> keep = state;
    return keep->Evaluate(expression, timeout);
}

std::string ChromiumPage::WaitFor(const std::string& expression, std::chrono::milliseconds timeout) {
    const std::shared_ptr<const State> keep = state;
    return keep->WaitFor(expression, timeout);
}

std::string ChromiumPage::Click(const std::string& selector, std::chrono::milliseconds timeout) {
    const std::shared_ptr<const State> keep = state;
    return keep->Click(selector, timeout);
}

std::string ChromiumPage::Screenshot(const std::filesystem::path& file, std::chrono::milliseconds timeout) {
    const std::shared_ptr<const State> keep = state;
    return keep->Screenshot(file, timeout);
}

} // namespace HostSim
