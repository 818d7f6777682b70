#ifndef HOSTSIM_HOST_HPP
#define HOSTSIM_HOST_HPP

#include "AddOnModule.hpp"
#include "HostServices.hpp"
#include "HostUIBackEnd.hpp"
#include "MainThread.hpp"
#include "ScriptLog.hpp"
#include "Transcript.hpp"

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <set>
#include <string>

namespace HostSim {

// A service stand-in the host is given (hostsim --service starts one, a test brings its own): "service" lines steer
// it, and each request it answers becomes a transcript line. Both are called on the host's main thread.
struct ServiceHooks {
    // Applies the value of a "service" line; an empty text when done, else why not.
    std::function<std::string(const nlohmann::json& behaviour)> steer;
    // Takes the function that writes a request's line (the service calls it on its own threads), or an empty one
    // when the host lets go; returns only once a call of the earlier function has ended.
    std::function<void(std::function<void(Line line)> write)> watch;
};

struct HostOptions {
    std::filesystem::path module;
    // The run's home folder; empty: a fresh temporary folder, removed when the host is destroyed.
    std::filesystem::path home;
    // The project description; empty: a project that was never saved and has no elements.
    std::filesystem::path project;
    // Transcript lines are echoed here as they are written (nullptr: kept only in memory).
    std::ostream* output = nullptr;
    // How long the host waits for the add-on's threads before it unloads the module.
    UInt32 threadTimeoutMs = 10000;
    // Slots left empty in the table, as a host that does not offer those operations.
    std::set<API_HostSlot> withheldSlots;
    // Operations that fail while the add-on registers its interface and initialises, and only then; named as
    // {"host": {"fail": [...]}} names them (an unknown name gets an error line when the host is made).
    std::set<std::string> startFailures;
    // The service stand-in, when there is one (AttachService).
    ServiceHooks service;
};

// The simulated host: one add-on module, loaded, driven and unloaded in the host's order. The object's thread is
// the host's main thread; everything here is for that thread.
//
// Life: Start (load, table, describe, registerInterface, initialize) ... Quit (release or not, wait for the
// add-on's threads, unload). The low-level steps are public so that a test can break the order. While a host has
// a module loaded it owns the process-wide hooks (DG's back end, the debug output sink, the table's target); a
// second host cannot start meanwhile.
class Host {
public:
    explicit Host(HostOptions options);
    ~Host(); // quits with release when still running
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    // All the steps up to initialize. False when the module could not be loaded or refused to be registered (the
    // transcript says why); the host is then stopped.
    bool Start();

    // The steps of Start one by one. Load installs the hooks, opens the module and its resources; each later step
    // writes its transcript line. False (with an error line) when the step could not be taken.
    bool Load();
    bool DeliverTable();
    std::optional<API_AddonType> Describe();
    std::optional<GSErrCode> RegisterInterface();
    std::optional<GSErrCode> Initialize();

    // Ends the run: release when asked, wait for the add-on's threads, unload, remove the hooks. When the threads
    // do not end in time the module is left loaded (its code still runs) and an error line says so.
    void Quit(bool release);
    bool IsLoaded() const noexcept { return module != nullptr; }

    // Pumps the main thread's queue.
    void Pump();

    Transcript& GetTranscript() noexcept { return *transcript; }
    ScriptLog& GetScriptLog() noexcept { return *scripts; }
    MainThread& GetMainThread() noexcept { return *mainThread; }
    HostServices& GetServices() noexcept { return services; }
    HostState& GetState() noexcept { return services.GetState(); }
    HostUIBackEnd& GetUI() noexcept { return ui; }
    PageList& GetPages() noexcept { return *pages; }
    AddOnModule* GetModule() noexcept { return module.get(); }
    const std::filesystem::path& GetHome() const noexcept { return home; }
    const HostOptions& GetOptions() const noexcept { return options; }

    // "<home>" at the start of a scenario's path stands for the run's home folder.
    std::filesystem::path ExpandPath(const std::string& path) const;
    // Replaces special folder 5 (created when missing). False with an error line when it cannot be made.
    bool SetUserDataFolder(const std::filesystem::path& folder);

    // Gives the host its service stand-in in place of any earlier one (empty hooks: none); the requests it answers
    // from now on become transcript lines until the host lets go of it, at the latest when destroyed.
    void AttachService(ServiceHooks hooks);
    // Applies the value of a "service" line; an empty text when done, else why not (no service, or the service's
    // reason).
    std::string SteerService(const nlohmann::json& behaviour);

private:
    void PrepareHome();
    void LoadProject();
    void RemoveHooks();
    // Runs one of the add-on's start-up entry points with the start failures added to the failing operations.
    template <typename F>
    auto WithStartFailures(F call) -> decltype(call());
    // Runs an entry point; an exception leaving it becomes an error line and no result.
    template <typename F>
    auto CallEntry(const char* entry, F call) -> std::optional<decltype(call())>;

    HostOptions options;
    std::shared_ptr<Transcript> transcript;
    std::shared_ptr<ScriptLog> scripts;
    std::shared_ptr<MainThread> mainThread;
    std::shared_ptr<PageList> pages;
    HostServices services;
    HostUIBackEnd ui;
    std::unique_ptr<AddOnModule> module;
    GSResModule moduleResources = InvalidResModule;
    bool hooksInstalled = false;
    bool initialized = false;
    std::filesystem::path home;
    bool ownsHome = false;
    ServiceHooks service;
};

} // namespace HostSim

#endif
