#include "ChromiumBrowser.hpp"

#include <system_error>

namespace HostSim {

namespace {

constexpr std::chrono::milliseconds CloseTimeout{5000};

std::string WithLog(std::string message, const ChromiumProcess& process) {
    const std::string tail = process.GetLogTail();
    if (!tail.empty()) message += "; chromium said:\n" + tail;
    return message;
}

} // namespace

std::shared_ptr<ChromiumBrowser> ChromiumBrowser::Start(const Options& options, std::string* error) {
    std::shared_ptr<ChromiumBrowser> browser(new ChromiumBrowser);
    browser->timeout = options.timeout;
    browser->process = ChromiumProcess::Start(options.process, error);
    if (!browser->process) return nullptr;
    int commands = -1;
    int answers = -1;
    browser->process->TakePipe(&commands, &answers);
    try {
        browser->pipe = std::make_unique<DevToolsPipe>(commands, answers);
    } catch (const std::system_error& e) {
        *error = e.what();
        return nullptr;
    }
    const DevToolsPipe::Reply version = browser->pipe->Call("Browser.getVersion", {}, "", options.timeout);
    if (!version.ok) {
        *error = WithLog("chromium (Debian's package chromium) did not start: " + version.error, *browser->process);
        return nullptr;
    }
    return browser;
}

ChromiumBrowser::~ChromiumBrowser() {
    if (pipe && pipe->IsOpen()) (void)pipe->Call("Browser.close", {}, "", CloseTimeout); // killed below if not
    if (process) process->WaitForExit(CloseTimeout);
    pipe.reset();
    process.reset();
}

std::optional<ChromiumBrowser::Tab> ChromiumBrowser::OpenTab(std::string* error) {
    std::string targetId;
    if (!firstTabTaken) {
        const DevToolsPipe::Reply targets = pipe->Call("Target.getTargets", {}, "", timeout);
        if (targets.ok)
            for (const nlohmann::json& info : targets.result.value("targetInfos", nlohmann::json::array()))
                if (info.value("type", "") == "page" && !info.value("attached", false)) {
                    targetId = info.value("targetId", "");
                    break;
                }
        firstTabTaken = true;
    }
    if (targetId.empty()) {
        const DevToolsPipe::Reply created = pipe->Call("Target.createTarget", {{"url", "about:blank"}}, "", timeout);
        if (!created.ok) {
            *error = "chromium cannot open a tab: " + created.error;
            return std::nullopt;
        }
        targetId = created.result.value("targetId", "");
    }
    const DevToolsPipe::Reply attached =
        pipe->Call("Target.attachToTarget", {{"targetId", targetId}, {"flatten", true}}, "", timeout);
    if (!attached.ok) {
        *error = "chromium cannot attach to its tab: " + attached.error;
        return std::nullopt;
    }
    return Tab{targetId, attached.result.value("sessionId", "")};
}

void ChromiumBrowser::CloseTab(const Tab& tab) {
    pipe->Send("Target.closeTarget", {{"targetId", tab.targetId}}, "", nullptr);
}

} // namespace HostSim
