#ifndef HOSTSIM_HOSTSERVICES_HPP
#define HOSTSIM_HOSTSERVICES_HPP

#include "MainThread.hpp"
#include "ProjectDescription.hpp"
#include "Transcript.hpp"

#include "APIBinding.hpp"
#include "Location.hpp"
#include "RS.hpp"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace HostSim {

// The name of a table slot as scenarios write it ("getProjectInfo"); FindSlot is its inverse.
const char* GetSlotName(API_HostSlot slot) noexcept;
std::optional<API_HostSlot> FindSlot(const std::string& name);
// What {"host": {"fail": [...]}} accepts: a slot name or a four-character command code.
bool IsFailableOperation(const std::string& name);

struct MenuItemState {
    std::string text;
    std::vector<std::string> controls;
    std::optional<Int32> icon;
    GSFlags flags = 0;
};

struct RegisteredMenu {
    Int32 menuResID = 0;
    Int32 promptResID = 0;
    API_MenuCodeID position = 0;
    GSFlags flags = 0;
    std::string title;
    std::vector<MenuItemState> items; // item 1 first
};

// What the host knows and keeps for the add-on. Changed by the table's operations and by the scenario.
struct HostState {
    // What the add-on said of itself when described.
    std::string addOnName;
    std::string addOnDescription;
    std::optional<API_AddonType> addOnType;
    Int32 keepInMemoryCount = 0; // requests to stay loaded minus releases of them, never below 0
    std::map<Int32, APIMenuCommandProc*> menuHandlers;
    std::vector<RegisteredMenu> menus;
    std::vector<API_PaletteRegistration> palettes;
    APISelectionChangeHandlerProc* selectionHandler = nullptr;
    APIProjectEventHandlerProc* projectEventHandler = nullptr;
    GSFlags projectEventMask = 0;
    std::string language = "INT";
    ProjectDescription project;
    IO::Location userDataFolder;   // special folder 5
    IO::Location exchangeFolder;   // special folder 7
    std::set<std::string> failing; // slot names and command codes that answer APIERR_GENERAL
    std::vector<UInt32> unknownCommands;
    API_Guid ownToken; // the token GUID the host gave the add-on
};

// The host's side of the function table: one operation per slot, working on HostState.
// Every operation is for the main thread; a call from another thread, with a token that is not this host's, or to
// an operation the scenario made fail, does nothing, answers APIERR_GENERAL and (except for the planned failure)
// writes an error line. The table's functions reach the services that are active; one at a time per process.
class HostServices {
public:
    // Which token the operations accept. Before initialize the add-on has none yet and calls with null (menus are
    // registered then); from initialize on only the host's token; after release none.
    enum class TokenPhase { NotIssued, Issued, Revoked };

    // Runs a command code with its four arguments.
    using CommandHandler = std::function<GSErrCode(void*, void*, void*, void*)>;

    HostServices(std::shared_ptr<Transcript> transcript, std::shared_ptr<MainThread> mainThread);
    ~HostServices(); // deactivates
    HostServices(const HostServices&) = delete;
    HostServices& operator=(const HostServices&) = delete;

    // False when other services are active.
    bool Activate();
    void Deactivate();

    // Every slot filled except the withheld ones, which stay null (an operation this host does not offer).
    API_HostFunctionTable MakeTable(const std::set<API_HostSlot>& withheld = {});
    // The token given to initialize and the registration value given to registerInterface.
    void* GetHostToken() noexcept { return this; }
    void* GetRegistrationValue() noexcept { return &registrationAnchor; }

    // The add-on's resources, from which registerMenu reads its string lists.
    void SetModuleResources(GSResModule module) noexcept { resources = module; }
    void SetTokenPhase(TokenPhase phase) noexcept { tokenPhase = phase; }
    TokenPhase GetTokenPhase() const noexcept { return tokenPhase; }
    // Menus may be registered only while the add-on registers its interface.
    void SetRegisteringInterface(bool on) noexcept { registeringInterface = on; }
    // Adds a command code; codes without a handler answer APIERR_NOTSUPPORTED and are recorded.
    void RegisterCommand(UInt32 code, CommandHandler handler);

    HostState& GetState() noexcept { return state; }
    const HostState& GetState() const noexcept { return state; }
    MenuItemState* FindMenuItem(Int32 menuResID, Int32 itemIndex);

private:
    struct Operations;

    std::shared_ptr<Transcript> transcript;
    std::shared_ptr<MainThread> mainThread;
    HostState state;
    GSResModule resources = InvalidResModule;
    bool registeringInterface = false;
    TokenPhase tokenPhase = TokenPhase::NotIssued;
    std::map<UInt32, CommandHandler> commands;
    char registrationAnchor = 0;
};

} // namespace HostSim

#endif
