#include "HostBinding.hpp"

#include "KeepInMemory.hpp"
#include "Main.hpp"
#include "QuillmarPalette.hpp"

#include "DebugOutput.hpp"
#include "UniString.hpp"

#include <curl/curl.h>
#include <dlfcn.h>

#include <atomic>
#include <cstring>
#include <string>

namespace {

API_HostFunctionTable hostTable;
std::atomic<bool> tableDelivered = false;
void* hostToken = nullptr;
void* registrationValue = nullptr;
GSResModule resourceModule = InvalidResModule;
std::string modulePath;

// Calls a slot of the host's table with the host token first.
template <auto Slot, typename... Args>
GSErrCode CallHost(Args... args) {
    if (!tableDelivered || hostTable.*Slot == nullptr) return APIERR_NOTSUPPORTED;
    return (hostTable.*Slot)(hostToken, args...);
}

// Guards of the entry points: nothing runs before the host has delivered its table.
API_AddonType DescribeAddOnGuard(API_EnvirParams* envir) {
    if (!tableDelivered) return APIAddon_DontRegister;
    return DescribeAddOn(envir);
}

GSErrCode RegisterInterfaceGuard(void* value) {
    if (!tableDelivered) return APIERR_GENERAL;
    registrationValue = value;
    return RegisterMenus();
}

GSErrCode InitializeGuard(void* token) {
    if (!tableDelivered) return APIERR_GENERAL;
    hostToken = token;
    return InitializeAddOn();
}

GSErrCode ReleaseGuard(void*) {
    if (!tableDelivered) return APIERR_GENERAL;
    const GSErrCode err = ReleaseAddOn();
    hostToken = nullptr;
    return err;
}

// Load and unload of the add-on file.
struct ModuleLifetime {
    ModuleLifetime() {
        // Sets up the palette's process-wide reference now, so that it outlives this object and can be released
        // explicitly at unload.
        (void)QuillmarPalette::HasInstance();
        // Windows registers the "commdlg_FileNameOK" window message here; this platform has no window messages.
        Dl_info info{};
        if (dladdr(reinterpret_cast<const void*>(&DescribeAddOnGuard), &info) != 0 && info.dli_fname != nullptr)
            modulePath = info.dli_fname;
        resourceModule = RSInitModuleImageCache(reinterpret_cast<const void*>(&DescribeAddOnGuard));
        // Process-wide, once, before any transfer job can start.
        curl_global_init(CURL_GLOBAL_DEFAULT);
    }

    ~ModuleLifetime() {
        // The host's token is gone by now (or going): the palette's request is not withdrawn through it.
        StopKeepInMemoryRequests();
        QuillmarPalette::DestroyInstance();
        RSRemoveModuleImageCache(resourceModule);
        RS::ResModuleClosed(resourceModule);
        resourceModule = InvalidResModule;
        if (hostToken != nullptr) {
            const GS::UniString line = GS::UniString::Printf("Abnormal add-on termination (\"%s\")\n", modulePath);
            GS::WriteDebugOutput(line.ToCStr().Get());
            hostToken = nullptr;
        }
        curl_global_cleanup();
    }
};

const ModuleLifetime moduleLifetime;

} // namespace

extern "C" GSErrCode GetExportedFuncAddrs(API_AddOnEntryRecord* record) {
    if (record == nullptr) return APIERR_GENERAL;
    std::memset(record, 0, sizeof(API_AddOnEntryRecord));
    record->layout = API_EntryRecordLayout;
    record->describeAddOn = &DescribeAddOnGuard;
    record->registerInterface = &RegisterInterfaceGuard;
    record->initialize = &InitializeGuard;
    record->release = &ReleaseGuard;
    record->apiVersion = API_HostVersion;
    return NoError;
}

extern "C" GSErrCode SetImportedFuncAddrs(const API_HostFunctionTable* table) {
    if (table == nullptr) return APIERR_GENERAL;
    std::memcpy(&hostTable, table, sizeof(API_HostFunctionTable));
    tableDelivered = true;
    return NoError;
}

GSResModule GetResourceModule() {
    return resourceModule;
}

GSErrCode ACAPI_KeepInMemory(bool keep) {
    return CallHost<&API_HostFunctionTable::keepInMemory>(keep);
}

GSErrCode ACAPI_MenuItem_InstallMenuHandler(Int32 menuResID, APIMenuCommandProc* handler) {
    return CallHost<&API_HostFunctionTable::installMenuHandler>(menuResID, handler);
}

GSErrCode ACAPI_MenuItem_RegisterMenu(Int32 menuStrResID, Int32 promptStrResID, API_MenuCodeID menuPosCode,
                                      GSFlags menuFlags) {
    return CallHost<&API_HostFunctionTable::registerMenu>(menuStrResID, promptStrResID, menuPosCode, menuFlags);
}

GSErrCode ACAPI_RegisterModelessWindow(const API_PaletteRegistration& registration) {
    return CallHost<&API_HostFunctionTable::registerModelessPalette>(&registration);
}

GSErrCode ACAPI_Notification_CatchSelectionChange(APISelectionChangeHandlerProc* handler) {
    return CallHost<&API_HostFunctionTable::catchSelectionChange>(handler);
}

GSErrCode ACAPI_ProjectOperation_CatchProjectEvent(GSFlags eventMask, APIProjectEventHandlerProc* handler) {
    return CallHost<&API_HostFunctionTable::catchProjectEvent>(eventMask, handler);
}

GSErrCode ACAPI_MenuItem_GetMenuItemFlags(const API_MenuItemRef* item, GSFlags* itemFlags) {
    return CallHost<&API_HostFunctionTable::getMenuItemFlags>(item, itemFlags);
}

GSErrCode ACAPI_MenuItem_SetMenuItemFlags(const API_MenuItemRef* item, const GSFlags* itemFlags) {
    if (itemFlags == nullptr) return APIERR_GENERAL;
    return CallHost<&API_HostFunctionTable::setMenuItemFlags>(item, *itemFlags);
}

GSErrCode ACAPI_AddOnIdentification_Application(API_ServerApplicationInfo* info) {
    return CallHost<&API_HostFunctionTable::getApplicationInfo>(info);
}

GSErrCode ACAPI_ProjectOperation_Project(API_ProjectInfo* info) {
    return CallHost<&API_HostFunctionTable::getProjectInfo>(info);
}

GSErrCode ACAPI_ProjectSettings_GetSpecFolder(const API_SpecFolderID* folder, IO::Location* location) {
    if (folder == nullptr) return APIERR_GENERAL;
    return CallHost<&API_HostFunctionTable::getSpecialFolder>(*folder, location);
}

GSErrCode ACAPI_Element_GetElemList(API_ElemTypeID typeID, GS::Array<API_Guid>* elements, GSFlags filterFlags,
                                    const API_Guid& classification, const API_Guid& renovationFilter) {
    return CallHost<&API_HostFunctionTable::getElementList>(typeID, &classification, filterFlags, &renovationFilter,
                                                            elements);
}

GSErrCode ACAPI_Element_GetHeader(API_Elem_Head* head) {
    return CallHost<&API_HostFunctionTable::getElementHeader>(head);
}

GSErrCode ACAPI_Element_CalcBounds(const API_Elem_Head* head, API_Box3D* bounds) {
    return CallHost<&API_HostFunctionTable::getElement3DBounds>(head, bounds);
}

GSErrCode ACAPI_AddOnIdentification_GetOwnToken(API_Guid* token) {
    return CallHost<&API_HostFunctionTable::getOwnToken>(registrationValue, token);
}

GSErrCode ACAPI_Selection_Get(API_SelectionInfo* info, GS::Array<API_Neig>* selection, bool onlyEditable,
                              bool ignorePartial, Int32 relativeToLayer) {
    return CallHost<&API_HostFunctionTable::getSelection>(info, selection, onlyEditable, ignorePartial,
                                                          relativeToLayer);
}

GSErrCode ACAPI_Selection_DeselectAll() {
    return CallHost<&API_HostFunctionTable::deselectAll>();
}

GSErrCode ACAPI_Selection_Select(const GS::Array<API_Neig>& elements, bool add) {
    return CallHost<&API_HostFunctionTable::selectElements>(&elements, add);
}

GSErrCode ACAPI_CallCommand(UInt32 code, void* arg1, void* arg2, void* arg3, void* arg4) {
    return CallHost<&API_HostFunctionTable::command>(code, arg1, arg2, arg3, arg4);
}

GSErrCode ACAPI_AddOnAddOnCommunication_InitMDCLParameterList(API_MDCLParameterList* list) {
    return CallHost<&API_HostFunctionTable::newParameterList>(list);
}

GSErrCode ACAPI_AddOnAddOnCommunication_AddMDCLParameter(API_MDCLParameterList list, API_MDCLParameter* parameter) {
    return CallHost<&API_HostFunctionTable::addParameter>(list, static_cast<const API_MDCLParameter*>(parameter));
}

GSErrCode ACAPI_AddOnAddOnCommunication_GetMDCLParameter(API_MDCLParameterList list, API_MDCLParameter* parameter) {
    return CallHost<&API_HostFunctionTable::getParameter>(list, parameter);
}

GSErrCode ACAPI_AddOnAddOnCommunication_ChangeMDCLParameter(API_MDCLParameterList list, API_MDCLParameter* parameter) {
    return CallHost<&API_HostFunctionTable::changeParameter>(list, static_cast<const API_MDCLParameter*>(parameter));
}

GSErrCode ACAPI_AddOnAddOnCommunication_FreeMDCLParameterList(API_MDCLParameterList* list) {
    return CallHost<&API_HostFunctionTable::freeParameterList>(list);
}

GSErrCode ACAPI_AddOnAddOnCommunication_Call(const API_ModulID* module, UInt32 code, Int32 version,
                                             API_MDCLParameterList params, void* resultData, bool silent) {
    return CallHost<&API_HostFunctionTable::callAddOnCommand>(module, code, version, params, resultData, silent);
}

GSErrCode ACAPI_Property_GetPropertyGroups(GS::Array<API_PropertyGroup>& groups) {
    return CallHost<&API_HostFunctionTable::getPropertyGroups>(&groups);
}

GSErrCode ACAPI_Property_GetPropertyDefinitions(const API_Guid& groupGuid,
                                                GS::Array<API_PropertyDefinition>& definitions) {
    return CallHost<&API_HostFunctionTable::getPropertyDefinitions>(&groupGuid, &definitions);
}

GSErrCode ACAPI_IFC_GetIFCExportTranslatorsList(GS::Array<API_IFCTranslatorIdentifier>& translators) {
    return CallHost<&API_HostFunctionTable::getIFCExportTranslators>(&translators);
}

GSErrCode ACAPI_HandleToHandle(GSConstHandle source, GSHandle* copy) {
    return CallHost<&API_HostFunctionTable::copyHandle>(source, copy);
}

bool ACAPI_Element_Filter(const API_Guid& guid, GSFlags filterFlags) {
    bool passes = false;
    return CallHost<&API_HostFunctionTable::elementFilter>(&guid, filterFlags, &passes) == NoError && passes;
}

GSErrCode ACAPI_ProjectOperation_Save(const API_FileSavePars* params, const void* typeParams, const void* reserved) {
    return CallHost<&API_HostFunctionTable::saveProject>(params, typeParams, reserved);
}
