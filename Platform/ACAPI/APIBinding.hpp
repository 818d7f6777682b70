#ifndef ACAPI_APIBINDING_HPP
#define ACAPI_APIBINDING_HPP

// The binary contract between the host and an add-on module: the entry record the add-on fills and the function
// table the host hands over. Both are plain C structs of fixed size; every offset is checked below, so a change that
// moves a field does not compile. 64-bit pointers only.

#include "ACAPIExport.hpp"
#include "APIDefinitions.hpp"
#include "Array.hpp"

#include <cstddef>
#include <type_traits>

namespace IO {
class Location;
}

static_assert(sizeof(void*) == 8, "the binding's layout is that of 64-bit hosts");

constexpr UInt32 API_EntryRecordLayout = 0x001D0001;
constexpr UInt32 API_HostVersion = 29000;

// ---- Entry record ----------------------------------------------------------------------------------------------

extern "C" {
// [main-thread] Entry points of the add-on, called by the host in this order over the add-on's life.
// Fills envir->addOnInfo and says how the host is to load the add-on.
using API_DescribeAddOnProc = API_AddonType(API_EnvirParams* envir);
// Registers menus and other interface; registrationValue identifies the add-on in later host queries.
using API_RegisterInterfaceProc = GSErrCode(void* registrationValue);
// The add-on starts; hostToken is the first argument of every host operation until release.
using API_InitializeProc = GSErrCode(void* hostToken);
// The host is done with the add-on; the token is not to be used afterwards.
using API_ReleaseProc = GSErrCode(void* hostToken);
}

// Filled by the add-on's GetExportedFuncAddrs, which zeroes it first. The entry points stay valid while the module
// is loaded.
struct API_AddOnEntryRecord {
    UInt32 layout; // API_EntryRecordLayout
    UInt32 reserved0;
    API_DescribeAddOnProc* describeAddOn;
    API_RegisterInterfaceProc* registerInterface;
    API_InitializeProc* initialize;
    API_ReleaseProc* release;
    UInt32 apiVersion; // API_HostVersion
    UInt32 reserved1;
    UInt8 reserved[72];
};

constexpr std::size_t API_EntryRecordSize = 120;
static_assert(sizeof(API_AddOnEntryRecord) == API_EntryRecordSize);
static_assert(std::is_trivially_copyable_v<API_AddOnEntryRecord> && std::is_standard_layout_v<API_AddOnEntryRecord>);
static_assert(offsetof(API_AddOnEntryRecord, layout) == 0);
static_assert(offsetof(API_AddOnEntryRecord, describeAddOn) == 8);
static_assert(offsetof(API_AddOnEntryRecord, registerInterface) == 16);
static_assert(offsetof(API_AddOnEntryRecord, initialize) == 24);
static_assert(offsetof(API_AddOnEntryRecord, release) == 32);
static_assert(offsetof(API_AddOnEntryRecord, apiVersion) == 40);

// ---- Host function table ---------------------------------------------------------------------------------------

// One slot per host operation, in table order. A new operation takes the next index here, a field at the same
// place in API_HostFunctionTable and a static_assert below; the reserved tail shrinks by itself.
enum class API_HostSlot : UInt32 {
    Command,
    KeepInMemory,
    InstallMenuHandler,
    RegisterMenu,
    RegisterModelessPalette,
    CatchSelectionChange,
    CatchProjectEvent,
    GetMenuItemFlags,
    SetMenuItemFlags,
    GetApplicationInfo,
    GetProjectInfo,
    GetSpecialFolder,
    GetElementList,
    GetElementHeader,
    GetElement3DBounds,
    GetOwnToken,
    GetSelection,
    DeselectAll,
    SelectElements,
    NewParameterList,
    AddParameter,
    GetParameter,
    ChangeParameter,
    FreeParameterList,
    CallAddOnCommand,
    GetPropertyGroups,
    GetPropertyDefinitions,
    GetIFCExportTranslators,
    CopyHandle,
    SaveProject,
    ElementFilter,
    OpenProject,
    GetElement,
    CreateElement,
    UndoableCommand,
    Count // keep last
};

constexpr std::size_t API_HostFunctionTableSize = 5152;
constexpr std::size_t API_HostTableHeaderSize = 8;
constexpr std::size_t API_HostTableSlotCapacity = (API_HostFunctionTableSize - API_HostTableHeaderSize) / 8;

constexpr std::size_t API_HostSlotOffset(API_HostSlot slot) noexcept {
    return API_HostTableHeaderSize + 8 * static_cast<std::size_t>(slot);
}

// Handed over once through the add-on's SetImportedFuncAddrs; the add-on keeps a copy. An empty (null) slot is an
// operation this host does not offer. Every operation takes the host token first and returns NoError or an error
// code; out-parameters are the caller's and are written only on success unless stated otherwise.
extern "C" {
struct API_HostFunctionTable {
    UInt32 tableSize;  // API_HostFunctionTableSize
    UInt32 apiVersion; // API_HostVersion

    // [main-thread] Operations dispatched by a four-character code (API_FourCharCode), with up to four arguments
    // whose meaning the code defines; unused arguments are null. Unknown codes give APIERR_NOTSUPPORTED.
    GSErrCode (*command)(void* hostToken, UInt32 code, void* arg1, void* arg2, void* arg3, void* arg4);

    // [main-thread] Keeps the module loaded (true) or lets the host unload it when idle (false).
    GSErrCode (*keepInMemory)(void* hostToken, bool keep);

    // [main-thread] Installs the handler of the menu registered from string list menuResID; the handler must stay
    // valid while the module is loaded.
    GSErrCode (*installMenuHandler)(void* hostToken, Int32 menuResID, APIMenuCommandProc* handler);

    // [main-thread] Adds a menu from the add-on's string list menuStrResID (item 1 the title, then the items);
    // promptStrResID is the string list of the items' prompts, 0 for none. Only during registerInterface.
    GSErrCode (*registerMenu)(void* hostToken, Int32 menuStrResID, Int32 promptStrResID, API_MenuCodeID menuPosCode,
                              GSFlags menuFlags);

    // [main-thread] Announces a modeless palette to the host's palette management; the host copies the record and
    // calls its callback until the module is unloaded.
    GSErrCode (*registerModelessPalette)(void* hostToken, const API_PaletteRegistration* registration);

    // [main-thread] Calls the handler after each change of the selection; null unsubscribes.
    GSErrCode (*catchSelectionChange)(void* hostToken, APISelectionChangeHandlerProc* handler);

    // [main-thread] Calls the handler for every project event in eventMask (API_NotifyEventID bits); null or a zero
    // mask unsubscribes.
    GSErrCode (*catchProjectEvent)(void* hostToken, GSFlags eventMask, APIProjectEventHandlerProc* handler);

    // [main-thread] Reads or replaces the flags of a menu item of the add-on (API_MenuItemChecked, ...).
    GSErrCode (*getMenuItemFlags)(void* hostToken, const API_MenuItemRef* item, GSFlags* itemFlags);
    GSErrCode (*setMenuItemFlags)(void* hostToken, const API_MenuItemRef* item, GSFlags itemFlags);

    // [main-thread] Fills the caller's record.
    GSErrCode (*getApplicationInfo)(void* hostToken, API_ServerApplicationInfo* info);
    GSErrCode (*getProjectInfo)(void* hostToken, API_ProjectInfo* info);

    // [main-thread] Sets the caller's location to the host's special folder (API_SpecFolderID).
    GSErrCode (*getSpecialFolder)(void* hostToken, API_SpecFolderID folder, IO::Location* location);

    // [main-thread] Replaces the caller's list with the GUIDs of the elements of a type (API_AnyElemTypeID: all)
    // that pass the filter flags; a null classification or renovation-filter GUID (or a null pointer) means none.
    GSErrCode (*getElementList)(void* hostToken, API_ElemTypeID typeID, const API_Guid* classification,
                                GSFlags filterFlags, const API_Guid* renovationFilter, GS::Array<API_Guid>* elements);

    // [main-thread] Fills the header of the element whose GUID head->guid names.
    GSErrCode (*getElementHeader)(void* hostToken, API_Elem_Head* head);

    // [main-thread] The element's bounding box in model coordinates.
    GSErrCode (*getElement3DBounds)(void* hostToken, const API_Elem_Head* head, API_Box3D* bounds);

    // [main-thread] The token GUID the host gave the add-on, found by the value the add-on received with
    // registerInterface.
    GSErrCode (*getOwnToken)(void* hostToken, void* registrationValue, API_Guid* token);

    // [main-thread] Replaces the caller's list with the selected elements (only their GUIDs are filled) and fills
    // info; info->marquee.coords, when set, belongs to the caller. onlyEditable: leave out what cannot be changed;
    // ignorePartial: leave out elements only partly inside a marquee; relativeToLayer: 0 for none.
    GSErrCode (*getSelection)(void* hostToken, API_SelectionInfo* info, GS::Array<API_Neig>* selection,
                              bool onlyEditable, bool ignorePartial, Int32 relativeToLayer);
    // [main-thread] Empties the selection (the selection-change handler is called when it changed).
    GSErrCode (*deselectAll)(void* hostToken);
    // [main-thread] Adds the elements to the selection (add) or removes them from it; unknown GUIDs are skipped.
    GSErrCode (*selectElements)(void* hostToken, const GS::Array<API_Neig>* elements, bool add);

    // [main-thread] Named parameter lists (API_MDCLParameter). newParameterList sets *list to a new empty list;
    // freeParameterList releases it and sets *list to null. addParameter fails for a name already in the list;
    // getParameter and changeParameter fail for a name (or index) not in it; changeParameter fails for another kind.
    GSErrCode (*newParameterList)(void* hostToken, API_MDCLParameterList* list);
    GSErrCode (*addParameter)(void* hostToken, API_MDCLParameterList list, const API_MDCLParameter* parameter);
    GSErrCode (*getParameter)(void* hostToken, API_MDCLParameterList list, API_MDCLParameter* parameter);
    GSErrCode (*changeParameter)(void* hostToken, API_MDCLParameterList list, const API_MDCLParameter* parameter);
    GSErrCode (*freeParameterList)(void* hostToken, API_MDCLParameterList* list);

    // [main-thread] Runs a command of another add-on. The parameter list (may be null) and what resultData points
    // to are the command's to read and write during the call; silent: the called add-on shows no dialog.
    // APIERR_MODULNOTINSTALLED for an unknown module, APIERR_MODULCMDNOTSUPPORTED for a code it does not know.
    GSErrCode (*callAddOnCommand)(void* hostToken, const API_ModulID* module, UInt32 code, Int32 version,
                                  API_MDCLParameterList params, void* resultData, bool silent);

    // [main-thread] Replaces the caller's list with every property group, in the host's order.
    GSErrCode (*getPropertyGroups)(void* hostToken, GS::Array<API_PropertyGroup>* groups);
    // [main-thread] Replaces the caller's list with the property definitions of the group; fails for an unknown
    // group.
    GSErrCode (*getPropertyDefinitions)(void* hostToken, const API_Guid* groupGuid,
                                        GS::Array<API_PropertyDefinition>* definitions);

    // [main-thread] Replaces the caller's list with the host's IFC export translators; their handles are the
    // caller's to release.
    GSErrCode (*getIFCExportTranslators)(void* hostToken, GS::Array<API_IFCTranslatorIdentifier>* translators);
    // [any thread] Sets *copy to a new handle with the bytes of source; the caller releases it (BMKillHandle).
    GSErrCode (*copyHandle)(void* hostToken, GSConstHandle source, GSHandle* copy);

    // [main-thread] Saves the project into params->file as params->fileTypeID; for APIFType_IfcFile typeParams
    // is a const API_SavePars_Ifc*. reserved must be null.
    GSErrCode (*saveProject)(void* hostToken, const API_FileSavePars* params, const void* typeParams,
                             const void* reserved);

    // [main-thread] Sets *passes to whether the element passes every filter flag (APIFilt_In3D: shown in the 3D
    // window); fails for an unknown element.
    GSErrCode (*elementFilter)(void* hostToken, const API_Guid* element, GSFlags filterFlags, bool* passes);

    // [main-thread] Opens params->file as the project (for APIFType_IfcFile: an IFC file), replacing the open one.
    GSErrCode (*openProject)(void* hostToken, const API_FileOpenPars* params);
    // [main-thread] Fills the record of the element whose GUID element->header.guid names; fails for an unknown one.
    GSErrCode (*getElement)(void* hostToken, API_Element* element);
    // [main-thread] Makes a new element from the record, of its type and with its content, under a new GUID that is
    // written into element->header.guid. Only inside an undoable command.
    GSErrCode (*createElement)(void* hostToken, API_Element* element);
    // [main-thread] Runs command(context) as one undo step named *undoName and returns its result.
    GSErrCode (*undoableCommand)(void* hostToken, const GS::UniString* undoName, GSErrCode (*command)(void* context),
                                 void* context);

    void* reserved[API_HostTableSlotCapacity - static_cast<std::size_t>(API_HostSlot::Count)];
};
}

static_assert(sizeof(API_HostFunctionTable) == API_HostFunctionTableSize);
// The add-on copies the table bytewise.
static_assert(std::is_trivially_copyable_v<API_HostFunctionTable> && std::is_standard_layout_v<API_HostFunctionTable>);
static_assert(offsetof(API_HostFunctionTable, tableSize) == 0);
static_assert(offsetof(API_HostFunctionTable, apiVersion) == 4);
static_assert(offsetof(API_HostFunctionTable, command) == API_HostSlotOffset(API_HostSlot::Command));
static_assert(offsetof(API_HostFunctionTable, keepInMemory) == API_HostSlotOffset(API_HostSlot::KeepInMemory));
static_assert(offsetof(API_HostFunctionTable, installMenuHandler) ==
              API_HostSlotOffset(API_HostSlot::InstallMenuHandler));
static_assert(offsetof(API_HostFunctionTable, registerMenu) == API_HostSlotOffset(API_HostSlot::RegisterMenu));
static_assert(offsetof(API_HostFunctionTable, registerModelessPalette) ==
              API_HostSlotOffset(API_HostSlot::RegisterModelessPalette));
static_assert(offsetof(API_HostFunctionTable, catchSelectionChange) ==
              API_HostSlotOffset(API_HostSlot::CatchSelectionChange));
static_assert(offsetof(API_HostFunctionTable, catchProjectEvent) ==
              API_HostSlotOffset(API_HostSlot::CatchProjectEvent));
static_assert(offsetof(API_HostFunctionTable, getMenuItemFlags) == API_HostSlotOffset(API_HostSlot::GetMenuItemFlags));
static_assert(offsetof(API_HostFunctionTable, setMenuItemFlags) == API_HostSlotOffset(API_HostSlot::SetMenuItemFlags));
static_assert(offsetof(API_HostFunctionTable, getApplicationInfo) ==
              API_HostSlotOffset(API_HostSlot::GetApplicationInfo));
static_assert(offsetof(API_HostFunctionTable, getProjectInfo) == API_HostSlotOffset(API_HostSlot::GetProjectInfo));
static_assert(offsetof(API_HostFunctionTable, getSpecialFolder) == API_HostSlotOffset(API_HostSlot::GetSpecialFolder));
static_assert(offsetof(API_HostFunctionTable, getElementList) == API_HostSlotOffset(API_HostSlot::GetElementList));
static_assert(offsetof(API_HostFunctionTable, getElementHeader) == API_HostSlotOffset(API_HostSlot::GetElementHeader));
static_assert(offsetof(API_HostFunctionTable, getElement3DBounds) ==
              API_HostSlotOffset(API_HostSlot::GetElement3DBounds));
static_assert(offsetof(API_HostFunctionTable, getOwnToken) == API_HostSlotOffset(API_HostSlot::GetOwnToken));
static_assert(offsetof(API_HostFunctionTable, getSelection) == API_HostSlotOffset(API_HostSlot::GetSelection));
static_assert(offsetof(API_HostFunctionTable, deselectAll) == API_HostSlotOffset(API_HostSlot::DeselectAll));
static_assert(offsetof(API_HostFunctionTable, selectElements) == API_HostSlotOffset(API_HostSlot::SelectElements));
static_assert(offsetof(API_HostFunctionTable, newParameterList) == API_HostSlotOffset(API_HostSlot::NewParameterList));
static_assert(offsetof(API_HostFunctionTable, addParameter) == API_HostSlotOffset(API_HostSlot::AddParameter));
static_assert(offsetof(API_HostFunctionTable, getParameter) == API_HostSlotOffset(API_HostSlot::GetParameter));
static_assert(offsetof(API_HostFunctionTable, changeParameter) == API_HostSlotOffset(API_HostSlot::ChangeParameter));
static_assert(offsetof(API_HostFunctionTable, freeParameterList) ==
              API_HostSlotOffset(API_HostSlot::FreeParameterList));
static_assert(offsetof(API_HostFunctionTable, callAddOnCommand) == API_HostSlotOffset(API_HostSlot::CallAddOnCommand));
static_assert(offsetof(API_HostFunctionTable, getPropertyGroups) ==
              API_HostSlotOffset(API_HostSlot::GetPropertyGroups));
static_assert(offsetof(API_HostFunctionTable, getPropertyDefinitions) ==
              API_HostSlotOffset(API_HostSlot::GetPropertyDefinitions));
static_assert(offsetof(API_HostFunctionTable, getIFCExportTranslators) ==
              API_HostSlotOffset(API_HostSlot::GetIFCExportTranslators));
static_assert(offsetof(API_HostFunctionTable, copyHandle) == API_HostSlotOffset(API_HostSlot::CopyHandle));
static_assert(offsetof(API_HostFunctionTable, saveProject) == API_HostSlotOffset(API_HostSlot::SaveProject));
static_assert(offsetof(API_HostFunctionTable, elementFilter) == API_HostSlotOffset(API_HostSlot::ElementFilter));
static_assert(offsetof(API_HostFunctionTable, openProject) == API_HostSlotOffset(API_HostSlot::OpenProject));
static_assert(offsetof(API_HostFunctionTable, getElement) == API_HostSlotOffset(API_HostSlot::GetElement));
static_assert(offsetof(API_HostFunctionTable, createElement) == API_HostSlotOffset(API_HostSlot::CreateElement));
static_assert(offsetof(API_HostFunctionTable, undoableCommand) == API_HostSlotOffset(API_HostSlot::UndoableCommand));
static_assert(offsetof(API_HostFunctionTable, reserved) == API_HostSlotOffset(API_HostSlot::Count));

// ---- The add-on module's exports -------------------------------------------------------------------------------

extern "C" {
// [main-thread] Called once after loading: zeroes the record and fills it. Returns NoError.
using API_GetExportedFuncAddrsProc = GSErrCode(API_AddOnEntryRecord* record);
// [main-thread] Called once after GetExportedFuncAddrs: the add-on copies the table (the host may free its own).
// Returns NoError.
using API_SetImportedFuncAddrsProc = GSErrCode(const API_HostFunctionTable* table);

ACAPI_DLL_EXPORT GSErrCode GetExportedFuncAddrs(API_AddOnEntryRecord* record);
ACAPI_DLL_EXPORT GSErrCode SetImportedFuncAddrs(const API_HostFunctionTable* table);
}

// The names the host looks up in the module.
constexpr const char* API_GetExportedFuncAddrsName = "GetExportedFuncAddrs";
constexpr const char* API_SetImportedFuncAddrsName = "SetImportedFuncAddrs";

#endif
