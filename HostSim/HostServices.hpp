#ifndef HOSTSIM_HOSTSERVICES_HPP
#define HOSTSIM_HOSTSERVICES_HPP

#include "DwgTranslatorStandIn.hpp"
#include "IfcAddOnStandIn.hpp"
#include "MainThread.hpp"
#include "ParameterLists.hpp"
#include "ProjectDescription.hpp"
#include "Transcript.hpp"
#include "View3D.hpp"

#include "APIBinding.hpp"
#include "Location.hpp"
#include "RS.hpp"

#include <array>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace HostSim {

// The name of a table slot as scenarios write it ("getProjectInfo"); FindSlot is its inverse.
const char* GetSlotName(API_HostSlot slot) noexcept;
std::optional<API_HostSlot> FindSlot(const std::string& name);
// The queries of the IFC object accessor as scenarios name them ("FindElementsByGlobalId").
bool IsIfcQueryName(const std::string& name);
// The name under which a scenario makes starting a thread fail (see GS::Thread::SetStartRefusedForTesting).
inline constexpr const char* ThreadStartOperation = "threadStart";
// What {"host": {"fail": [...]}} accepts: a slot name, an IFC query name, a four-character command code or
// ThreadStartOperation.
bool IsFailableOperation(const std::string& name);

class IfcHostModel;

// The project events the host delivers: the kind of a scenario's event line and the event's short name in the
// transcript.
struct ProjectEventKind {
    API_NotifyEventID id;
    const char* line; // "projectOpened"
    const char* name; // "open"
};
inline constexpr std::array<ProjectEventKind, 4> ProjectEventKinds{{
    {APINotify_New, "projectCreated", "new"},
    {APINotify_Open, "projectOpened", "open"},
    {APINotify_Save, "projectSaved", "save"},
    {APINotify_Close, "projectClosed", "close"},
}};

// The marquee's rectangle in plan.
struct MarqueeArea {
    double xMin = 0.0;
    double yMin = 0.0;
    double xMax = 10.0;
    double yMax = 10.0;
};

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
// Names of the operations a scenario makes fail; looked up by view, as every host call asks.
using FailingOperations = std::set<std::string, std::less<>>;

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
    IO::Location userDataFolder; // special folder 5
    IO::Location exchangeFolder; // special folder 7
    FailingOperations failing;   // slot names and command codes that answer APIERR_GENERAL
    PublishFaults publishFaults; // faults of the publisher-set commands for single sets and items
    std::vector<UInt32> unknownCommands;
    API_Guid ownToken; // the token GUID the host gave the add-on

    std::vector<API_Guid> selection; // in the order the elements were selected
    bool marquee = false;            // the selection query also reports a marquee polygon
    MarqueeArea marqueeArea;         // where the marquee lies while there is one
    bool cutPlanesOn = false;
    std::vector<API_3DCutShapeType> cutShapes;
    API_WindowTypeID activeWindow = APIWind_FloorPlanID;
    View3DState view3D;                  // which elements the 3D window shows is each element's shownIn3D
    std::vector<API_Guid> zoomTarget;    // what the last successful 'ZTEL' zoomed to
    USize handlesGiven = 0;              // memory handles allocated for the add-on since the services were activated
    std::vector<std::string> savedFiles; // paths of the files the save operation wrote, in order
    bool dwgTranslatorInstalled = true;  // whether the DWG translator add-on answers add-on commands
    std::optional<std::string> undoStep; // the name of the undoable command running; elements are made only then
    UInt32 createdElements = 0;          // elements made so far, from which the next new GUID is derived
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

    // False when other services are active. The active services are also the IFC model (IFCAPI::SetHostModel) and
    // start counting the memory handles they give the add-on.
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

    // [main-thread] Changes made on the host's side, as a user would make them. Each writes its transcript line
    // when something changed. SelectFromHost replaces the selection (GUIDs of no element are skipped) and notifies
    // the add-on even when the selection stays the same, as a click does.
    void SelectFromHost(const std::vector<API_Guid>& elements);
    void SetCuttingPlanes(bool on, std::vector<API_3DCutShapeType> shapes);
    void SetActiveWindow(API_WindowTypeID window);
    void SetProjection(const API_3DProjectionInfo& projection);
    void SetWindow3D(const API_3DWindowInfo& window);
    void SetSurvey(const std::optional<API_Tranmat>& survey);
    // Shows exactly the given elements in the 3D window (all of them with ShowAllIn3D); one line {"shown3D": "all"
    // or [GlobalIds]} when that changed anything.
    void ShowIn3D(const std::vector<API_Guid>& shown);
    void ShowAllIn3D();

    // Memory handles the host gave the add-on (marquee polygons, cutting-shape lists) that are still alive: the
    // growth of the process's live handle count since activation, at most the number given. Handles that other
    // code keeps meanwhile can only hide among those given, never add to them.
    USize GetLiveGivenHandles() const noexcept;

    // The host's named parameter lists and its IFC add-on, which keeps the presets the IFC export applies.
    const ParameterLists& GetParameterLists() const noexcept { return parameterLists; }
    IfcAddOnStandIn& GetIfcAddOn() noexcept { return ifcAddOn; }
    DwgTranslatorStandIn& GetDwgTranslator() noexcept { return dwgTranslator; }

    // Lets a query of the IFC model run, under the same rules as the table's operations (main thread, not after
    // release, not failing by the scenario's wish); false, with the transcript line those rules write, otherwise.
    bool AdmitQuery(std::string_view query);

private:
    struct Operations;

    void RegisterHostCommands();
    // Every change of the selection ends in one notification: the add-on's handler runs once the host's main
    // thread is idle again, after the operation (or the scenario line) that changed it, however many changes it
    // made.
    void SelectionChanged();
    void NotifySelectionChange();
    Line GlobalIdsOf(const std::vector<API_Guid>& elements) const;
    // Writes the IFC file of the scope the parameters name, with the mapping preset of the IFC add-on.
    GSErrCode SaveIfc(const IO::Location& target, const API_SavePars_Ifc* ifc);
    // Replaces the project with the building elements of an IFC file; the project stays as it was when the file
    // cannot be read.
    GSErrCode OpenIfc(const std::filesystem::path& file);
    // Writes a PNG picture of the active window: of the 3D window as it shows the model, of any other as the floor
    // plan.
    GSErrCode SavePicture(const IO::Location& target, const API_SavePars_Picture* picture);
    // The floor plan as a PNG or JPEG picture, or as a PDF; not from the 3D window (APIERR_NOTSUPPORTED).
    GSErrCode SavePlanPicture(const IO::Location& target, API_FileTypeID type, const API_SavePars_Picture* picture);
    GSErrCode SavePlanPdf(const IO::Location& target, const API_SavePars_Pdf* pdf);
    void Register3DCommands();
    // 'GNSN', 'GNSE', 'GNCI' and 'PUBL' over the project's publisher sets (HostServicesPublish.cpp).
    void RegisterPublisherCommands();
    // Publishes one item of the set into `folder` (made when missing), with the item's planned fault, and writes the
    // published line.
    GSErrCode PublishItem(const PublisherSet& set, const PublisherItem& item, const std::filesystem::path& folder);
    // Writes `copies` files of the item (of a folder: of each item below it, in a subfolder of its name) and adds
    // their paths to `files`; false when one cannot be written.
    bool PublishFiles(const PublisherItem& item, const std::filesystem::path& folder, int copies,
                      std::vector<std::filesystem::path>& files);
    void WriteShown3D();
    // A handle of `size` zeroed bytes, counted as given to the add-on; nullptr when memory is short.
    GSHandle GiveHandle(std::size_t size);

    std::shared_ptr<Transcript> transcript;
    std::shared_ptr<MainThread> mainThread;
    HostState state;
    GSResModule resources = InvalidResModule;
    bool registeringInterface = false;
    TokenPhase tokenPhase = TokenPhase::NotIssued;
    std::map<UInt32, CommandHandler> commands;
    char registrationAnchor = 0;
    std::unique_ptr<IfcHostModel> ifcModel;
    ParameterLists parameterLists;
    IfcAddOnStandIn ifcAddOn;
    DwgTranslatorStandIn dwgTranslator;
    USize handleBaseline = 0;
    bool selectionNotificationPending = false;
    // Posted tasks hold it weakly, so a task that outlives the services does nothing.
    std::shared_ptr<HostServices*> self;
};

} // namespace HostSim

#endif
