#ifndef HOSTSIM_CHROMIUMPAGE_HPP
#define HOSTSIM_CHROMIUMPAGE_HPP

#include "ChromiumBrowser.hpp"
#include "HostPage.hpp"
#include "HostUIBackEnd.hpp"

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>

namespace HostSim {

// A page in a tab of a real chromium. It writes the transcript lines the headless page writes ("load", "page",
// "registered", "contextMenu", "call") and more from the page: {"console": type, "text"}, {"pageDialog": type,
// "message"} (accepted at once), {"pageException": text}, {"pageScript": script, "error"} for a script of the
// add-on that failed, {"pageLoad": url, "error"}, {"pageRefused": function, "origin", "frame"} for a call from
// another frame or origin, {"pageClosed": reason}.
// Only the main frame of the tab, while its origin is the loaded address's, may call the script objects: each call
// reaches its function on the host's main thread and the page's Promise is settled with the result or the text
// the function threw.
// Threads: as HostPage; the scenario operations belong to the main thread and pump it while they wait.
class ChromiumPage final : public HostPage {
public:
    // Pages for the host's browser items, each in a tab of `browser`. With an `address`, each page loads that in
    // place of the address the add-on gives (the "load" line still names the add-on's).
    static HostUIBackEnd::PageFactory MakeFactory(std::shared_ptr<ChromiumBrowser> browser, std::string address);

    ChromiumPage(PageServices services, std::shared_ptr<ChromiumBrowser> browser, std::string address);
    ~ChromiumPage() override; // closes its tab

    // Navigates once the main thread is next pumped, so that the script objects the add-on registers right after
    // are in the page before its own scripts run.
    void LoadURL(const GS::UniString& url) override;
    // [thread-safe] Into the run's script log and the page, in the order of the log.
    void ExecuteJS(const GS::UniString& script) override;
    bool RegisterAsynchJSObject(GS::Ref<JS::Object> obj) override;
    void SetContextMenuMode(Int32 mode) override;

    std::vector<std::string> GetLoadedURLs() const override;
    std::vector<std::string> GetScripts() const override;
    std::vector<GS::Ref<JS::Object>> GetScriptObjects() const override;
    bool HasFunction(const std::string& function, const std::string& objectName) const override;
    CallOutcome Call(const std::string& function, const Line* argument, const std::string& objectName) override;

    struct Evaluation {
        bool ok = false;
        Line value;          // ok: the awaited result (undefined as null)
        std::string error;   // otherwise: what the script threw or the promise was rejected with, or why no answer
        bool thrown = false; // the error is the script's own, not the browser's
    };
    // The scenario's operations. Evaluate awaits a promise the expression gives. WaitFor is empty when the
    // expression held in time, else why not. Click clicks the middle of the first element the selector matches, as a
    // mouse would. Screenshot saves the tab as PNG.
    Evaluation Evaluate(const std::string& expression, std::chrono::milliseconds timeout);
    std::string WaitFor(const std::string& expression, std::chrono::milliseconds timeout);
    std::string Click(const std::string& selector, std::chrono::milliseconds timeout);
    std::string Screenshot(const std::filesystem::path& file, std::chrono::milliseconds timeout);

    struct State;

private:
    std::shared_ptr<State> state;
};

} // namespace HostSim

#endif
