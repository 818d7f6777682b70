#ifndef HOSTSIM_CHROMIUMBROWSER_HPP
#define HOSTSIM_CHROMIUMBROWSER_HPP

#include "ChromiumProcess.hpp"
#include "DevToolsPipe.hpp"

#include <chrono>
#include <memory>
#include <optional>
#include <string>

namespace HostSim {

// A running chromium and its DevTools pipe, shared by the pages shown in it; each page is a tab. The browser
// ends, and its profile goes, when the last owner lets go. Start, OpenTab and CloseTab belong to the main thread;
// the pipe may be used from any thread.
class ChromiumBrowser {
public:
    struct Options {
        ChromiumProcess::Options process;
        // How long chromium may take to start and to answer a command of the host's start-up.
        std::chrono::milliseconds timeout{30000};
    };

    struct Tab {
        std::string targetId; // also the id of the tab's main frame
        std::string sessionId;
    };

    // Starts chromium and waits until it answers on the pipe; nullptr and *error (naming the Debian package
    // chromium) when it cannot.
    static std::shared_ptr<ChromiumBrowser> Start(const Options& options, std::string* error);
    ~ChromiumBrowser(); // asks the browser to close, then stops it
    ChromiumBrowser(const ChromiumBrowser&) = delete;
    ChromiumBrowser& operator=(const ChromiumBrowser&) = delete;

    // A tab to show a page in, attached: the blank tab chromium opened with for the first one, a new one after.
    std::optional<Tab> OpenTab(std::string* error);
    void CloseTab(const Tab& tab);

    DevToolsPipe& GetPipe() noexcept { return *pipe; }
    std::chrono::milliseconds GetTimeout() const noexcept { return timeout; }

private:
    ChromiumBrowser() = default;

    std::unique_ptr<ChromiumProcess> process;
    std::unique_ptr<DevToolsPipe> pipe; // destroyed before the process, which then ends
    std::chrono::milliseconds timeout{30000};
    bool firstTabTaken = false;
};

} // namespace HostSim

#endif
