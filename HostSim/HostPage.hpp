#ifndef HOSTSIM_HOSTPAGE_HPP
#define HOSTSIM_HOSTPAGE_HPP

#include "MainThread.hpp"
#include "ScriptLog.hpp"
#include "Transcript.hpp"

#include "DGBrowser.hpp"
#include "JSValues.hpp"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace HostSim {

class HostPage;

// The pages alive in the run, oldest first. [main-thread]
class PageList {
public:
    void Add(HostPage& page);
    void Remove(HostPage& page);
    const std::vector<HostPage*>& GetPages() const noexcept { return pages; }
    // The newest page that has a function of that name (in the named script object when `objectName` is not
    // empty); nullptr when none has.
    HostPage* FindFunction(const std::string& function, const std::string& objectName) const;

private:
    std::vector<HostPage*> pages;
};

// What the host hands every page it makes. Shared, so that a page that outlives the host (an add-on left loaded)
// still writes somewhere valid.
struct PageServices {
    std::shared_ptr<Transcript> transcript;
    std::shared_ptr<ScriptLog> scripts;
    std::shared_ptr<MainThread> mainThread;
    std::shared_ptr<PageList> pages;
};

struct CallOutcome {
    enum class Kind { Result, Error, UnknownFunction };
    Kind kind = Kind::Result;
    Line result;       // Kind::Result
    std::string error; // Kind::Error: the message of what the function threw
};

// The page behind a browser item as the host drives it. The headless page records what the add-on does to it; a
// page in a real browser can take its place behind the same operations. A page enters the run's page list when
// made and leaves it when destroyed.
// Threads: ExecuteJS and GetScripts from any thread; everything else on the main thread.
class HostPage : public DG::BrowserPage {
public:
    explicit HostPage(PageServices services);
    ~HostPage() override;

    virtual std::vector<std::string> GetLoadedURLs() const = 0;
    // The scripts this page ran, in order.
    virtual std::vector<std::string> GetScripts() const = 0;
    virtual std::vector<GS::Ref<JS::Object>> GetScriptObjects() const = 0;
    virtual bool HasFunction(const std::string& function, const std::string& objectName) const = 0;

    // Calls a function of a registered script object as the page would, on the main thread, and writes the
    // transcript line of the call. `argument` null: called without one. Nothing the function throws leaves here.
    virtual CallOutcome Call(const std::string& function, const Line* argument, const std::string& objectName) = 0;

protected:
    const PageServices& GetServices() const noexcept { return services; }

private:
    PageServices services;
};

// Calls `callee` (null: the page has no such function) with the argument `makeArgument` gives, as a page calls it,
// and writes the call's transcript line. Nothing thrown leaves here. [main-thread]
CallOutcome CallScriptFunction(Transcript& transcript, const std::string& function, const GS::Ref<JS::Function>& callee,
                               const std::function<GS::Ref<JS::Base>()>& makeArgument);

} // namespace HostSim

#endif
