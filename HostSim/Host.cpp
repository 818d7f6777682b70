#include "Host.hpp"

#include "ScriptValues.hpp"

#include "DGUIBackEnd.hpp"
#include "DebugOutput.hpp"
#include "GSException.hpp"
#include "Thread.hpp"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <exception>
#include <system_error>

namespace HostSim {

namespace {

// The add-on's identification record, read for the token GUID the host gives it.
constexpr GSResID AddOnIdentificationResource = 32500;

// Without an identification record every add-on gets this token.
const API_Guid DefaultOwnToken = GSGuid2APIGuid(GS::Guid("{5A1E0C0D-0000-4000-8000-000000000001}"));

API_Guid OwnTokenFor(const RS::AddOnIdentification& id) {
    // The same add-on gets the same token in every run, as the host's registry would give it.
    return GSGuid2APIGuid(GS::Guid(id.developerId, static_cast<UInt16>(id.localId >> 16),
                                   static_cast<UInt16>(id.localId & 0xFFFFu),
                                   {0x80, 0x00, 'H', 'o', 's', 't', 'S', 'm'}));
}

// A module left loaded (its threads still ran) keeps its panels until process exit. They get
// this back end, which is never destroyed, so that DG never reaches one that static destruction has taken.
std::atomic<bool> modulesLeftLoaded{false};

DG::UIBackEnd* OrphanBackEnd() {
    static DG::UIBackEnd* const backEnd = new DG::UIBackEnd;
    return backEnd;
}

std::string Message(const std::exception& e) {
    if (const auto* gs = dynamic_cast<const GS::Exception*>(&e)) return ToUtf8(gs->GetMessage());
    return e.what();
}

} // namespace

Host::Host(HostOptions hostOptions)
    : options(std::move(hostOptions)), transcript(std::make_shared<Transcript>()),
      scripts(std::make_shared<ScriptLog>()), mainThread(std::make_shared<MainThread>()),
      pages(std::make_shared<PageList>()), services(transcript, mainThread),
      ui(PageServices{transcript, scripts, mainThread, pages}) {
    transcript->SetOutput(options.output);
    scripts->SetListener([weak = std::weak_ptr<MainThread>(mainThread)] {
        if (const auto loop = weak.lock()) loop->Notify();
    });
    mainThread->SetErrorHandler([weak = std::weak_ptr<Transcript>(transcript)](const std::string& message) {
        if (const auto t = weak.lock()) t->Error("a task of the main thread failed: " + message);
    });
    services.GetState().ownToken = DefaultOwnToken;
    for (const std::string& name : options.startFailures)
        if (!IsFailableOperation(name))
            transcript->Error("start failure " + name + " is neither a host operation nor a command code");
    PrepareHome();
    LoadProject();
    AttachService(options.service);
}

Host::~Host() {
    if (module) Quit(true);
    AttachService({}); // later requests have no transcript to go to
    RemoveHooks();
    if (ownsHome) {
        std::error_code ignored;
        std::filesystem::remove_all(home, ignored);
    }
}

void Host::PrepareHome() {
    std::error_code error;
    if (options.home.empty()) {
        std::string pattern = (std::filesystem::temp_directory_path(error) / "hostsim-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            transcript->Error("cannot make a home folder from " + pattern);
            return;
        }
        home = pattern;
        ownsHome = true;
    } else {
        home = std::filesystem::absolute(options.home, error);
        std::filesystem::create_directories(home, error);
        if (error) transcript->Error("cannot make the home folder " + home.string() + ": " + error.message());
    }
    transcript->AddMask(home.string(), "<home>");
    const std::filesystem::path canonical = std::filesystem::weakly_canonical(home, error);
    if (!error) transcript->AddMask(canonical.string(), "<home>");

    SetUserDataFolder(home / "AppData" / "Roaming" / "GRAPHISOFT" / "Archicad 29");
    const std::filesystem::path exchange = home / "Exchange";
    std::filesystem::create_directories(exchange, error);
    if (error) transcript->Error("cannot make the exchange folder: " + error.message());
    services.GetState().exchangeFolder = IO::Location::FromFileSystemPath(exchange);
}

void Host::LoadProject() {
    if (options.project.empty()) return;
    try {
        services.GetState().project = LoadProjectDescription(options.project);
    } catch (const std::exception& e) {
        transcript->Error(std::string(e.what()) + "; the project is empty and unsaved");
    }
}

std::filesystem::path Host::ExpandPath(const std::string& path) const {
    const std::string marker = "<home>";
    if (path.compare(0, marker.size(), marker) != 0) return path;
    std::string rest = path.substr(marker.size());
    while (!rest.empty() && (rest.front() == '/' || rest.front() == '\\'))
        rest.erase(0, 1);
    return rest.empty() ? home : home / rest;
}

bool Host::SetUserDataFolder(const std::filesystem::path& folder) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        transcript->Error("cannot make the user data folder " + folder.string() + ": " + error.message());
        return false;
    }
    services.GetState().userDataFolder = IO::Location::FromFileSystemPath(folder);
    return true;
}

void Host::AttachService(ServiceHooks hooks) {
    if (service.watch) service.watch(nullptr);
    service = std::move(hooks);
    if (service.watch)
        service.watch([weak = std::weak_ptr<Transcript>(transcript)](Line line) {
            if (const auto t = weak.lock()) t->Write(std::move(line));
        });
}

std::string Host::SteerService(const nlohmann::json& behaviour) {
    if (!service.steer) return "no service stand-in is attached to the host";
    return service.steer(behaviour);
}

template <typename F>
auto Host::CallEntry(const char* entry, F call) -> std::optional<decltype(call())> {
    try {
        return call();
    } catch (const std::exception& e) {
        transcript->Error(std::string("an exception left ") + entry + ": " + Message(e));
    } catch (...) {
        transcript->Error(std::string("an exception left ") + entry);
    }
    return std::nullopt;
}

bool Host::Load() {
    if (module) {
        transcript->Error("a module is loaded already");
        return false;
    }
    if (!services.Activate()) {
        transcript->Error("another simulated host has a module loaded in this process");
        return false;
    }
    DG::SetUIBackEnd(&ui);
    GS::SetDebugOutputSink([weak = std::weak_ptr<Transcript>(transcript)](const char* text) {
        if (const auto t = weak.lock()) t->Write(Line{{"debug", text}});
    });
    hooksInstalled = true;

    std::string error;
    module = AddOnModule::Open(options.module, &error);
    if (!module) {
        transcript->Error(error);
        RemoveHooks();
        return false;
    }
    transcript->AddMask(options.module.string(), "<module>");
    transcript->Write(Line{{"loaded", options.module.filename().string()}});

    moduleResources = RSInitModuleImageCache(module->GetAddressInModule());
    if (moduleResources == InvalidResModule) transcript->Error("the module has no resources");
    services.SetModuleResources(moduleResources);
    RS::AddOnIdentification identification;
    if (RS::GetAddOnIdentification(&identification, AddOnIdentificationResource, moduleResources))
        services.GetState().ownToken = OwnTokenFor(identification);
    return true;
}

bool Host::DeliverTable() {
    if (!module) return false;
    const API_HostFunctionTable table = services.MakeTable(options.withheldSlots);
    const auto result = CallEntry(API_SetImportedFuncAddrsName, [&] { return module->DeliverTable(table); });
    if (!result) return false;
    if (*result != NoError) {
        transcript->Error(std::string(API_SetImportedFuncAddrsName) + " answered " +
                          ResultCode(*result).get<std::string>());
        return false;
    }
    return true;
}

std::optional<API_AddonType> Host::Describe() {
    if (!module) return std::nullopt;
    API_EnvirParams envir;
    const auto type = CallEntry("describe", [&] { return module->Describe(&envir); });
    if (!type) return std::nullopt;
    HostState& state = services.GetState();
    state.addOnName = ToUtf8(envir.addOnInfo.name);
    state.addOnDescription = ToUtf8(envir.addOnInfo.description);
    state.addOnType = *type;
    transcript->Write(Line{{"describe", Line{{"name", ToUtf8(envir.addOnInfo.name)},
                                             {"description", ToUtf8(envir.addOnInfo.description)},
                                             {"type", static_cast<Int32>(*type)}}}});
    return type;
}

template <typename F>
auto Host::WithStartFailures(F call) -> decltype(call()) {
    HostState& state = services.GetState();
    const FailingOperations failing = state.failing;
    state.failing.insert(options.startFailures.begin(), options.startFailures.end());
    GS::Thread::SetStartRefusedForTesting(state.failing.contains(ThreadStartOperation));
    auto result = call();
    state.failing = failing;
    GS::Thread::SetStartRefusedForTesting(failing.contains(ThreadStartOperation));
    return result;
}

std::optional<GSErrCode> Host::RegisterInterface() {
    if (!module) return std::nullopt;
    services.SetRegisteringInterface(true);
    const auto result = WithStartFailures([&] {
        return CallEntry("registerInterface",
                         [&] { return module->RegisterInterface(services.GetRegistrationValue()); });
    });
    services.SetRegisteringInterface(false);
    if (result) transcript->Write(Line{{"registerInterface", ResultCode(*result)}});
    return result;
}

std::optional<GSErrCode> Host::Initialize() {
    if (!module) return std::nullopt;
    initialized = true; // the add-on has the token from here on, whatever it answers
    services.SetTokenPhase(HostServices::TokenPhase::Issued);
    const auto result = WithStartFailures(
        [&] { return CallEntry("initialize", [&] { return module->Initialize(services.GetHostToken()); }); });
    if (result) transcript->Write(Line{{"initialize", ResultCode(*result)}});
    return result;
}

bool Host::Start() {
    if (!Load()) return false;
    if (!DeliverTable()) {
        Quit(false);
        return false;
    }
    const auto type = Describe();
    if (!type || *type == APIAddon_DontRegister) {
        transcript->Error("the add-on does not want to be registered; it is unloaded");
        Quit(false);
        return false;
    }
    RegisterInterface();
    Initialize();
    Pump();
    return true;
}

void Host::Pump() {
    mainThread->Pump();
}

void Host::Quit(bool release) {
    if (!module) {
        RemoveHooks();
        return;
    }
    const bool released = release && initialized;
    if (released) {
        const auto result = CallEntry("release", [&] { return module->Release(services.GetHostToken()); });
        if (result) transcript->Write(Line{{"release", ResultCode(*result)}});
        services.SetTokenPhase(HostServices::TokenPhase::Revoked);
    }
    initialized = false;

    // The add-on's jobs may still be running in its code; unloading under them would crash the host.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(options.threadTimeoutMs);
    bool threadsEnded = GS::Thread::WaitForAllThreads(0);
    while (!threadsEnded && std::chrono::steady_clock::now() < deadline) {
        Pump();
        threadsEnded = GS::Thread::WaitForAllThreads(10);
    }
    Pump();
    transcript->Write(Line{{"quit", Line{{"release", released},
                                         {"keepInMemory", services.GetState().keepInMemoryCount},
                                         {"liveHandles", services.GetLiveGivenHandles()}}}});

    const std::string name = module->GetPath().filename().string();
    if (!threadsEnded) {
        transcript->Error(std::to_string(GS::Thread::GetRunningCount()) + " thread(s) still running after " +
                          std::to_string(options.threadTimeoutMs) + " ms; " + name + " is left loaded");
        module->Abandon();
        module.reset();
        OrphanBackEnd();
        modulesLeftLoaded = true;
    } else {
        const bool gone = module->Close();
        module.reset();
        if (!gone) transcript->Error(name + " stayed mapped after it was closed; its unload code has not run");
        transcript->Write(Line{{"unloaded", name}});
    }
    Pump();
    RSRemoveModuleImageCache(moduleResources);
    moduleResources = InvalidResModule;
    services.SetModuleResources(InvalidResModule);
    services.SetTokenPhase(HostServices::TokenPhase::NotIssued);
    RemoveHooks();
}

void Host::RemoveHooks() {
    if (!hooksInstalled) return;
    if (DG::GetUIBackEnd() == &ui) DG::SetUIBackEnd(modulesLeftLoaded ? OrphanBackEnd() : nullptr);
    GS::SetDebugOutputSink({});
    GS::Thread::SetStartRefusedForTesting(false);
    services.Deactivate();
    hooksInstalled = false;
}

} // namespace HostSim
