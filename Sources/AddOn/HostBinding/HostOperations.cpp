// The typed host operations over the host's function table. The view and window operations share the table's
// generic command slot, dispatched by four-character codes; only this file knows them.

#include "HostOperations.hpp"

#include "HostTableExchange.hpp"

using HostTableExchange::CallHost;

namespace {

// The command slot takes untyped arguments; records the host only reads are handed over as they are.
void* Untyped(const void* argument) {
    return const_cast<void*>(argument);
}

GSErrCode CallCommand(UInt32 code, void* arg1 = nullptr, void* arg2 = nullptr) {
    return CallHost<&API_HostFunctionTable::command>(code, arg1, arg2, nullptr, nullptr);
}

} // namespace

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

GSErrCode ACAPI_AddOnIdentification_GetOwnToken(API_Guid* token) {
    return CallHost<&API_HostFunctionTable::getOwnToken>(HostTableExchange::GetRegistrationValue(), token);
}

GSErrCode ACAPI_ProjectOperation_Project(API_ProjectInfo* info) {
    return CallHost<&API_HostFunctionTable::getProjectInfo>(info);
}

GSErrCode ACAPI_ProjectSettings_GetSpecFolder(const API_SpecFolderID* folder, IO::Location* location) {
    if (folder == nullptr) return APIERR_GENERAL;
    return CallHost<&API_HostFunctionTable::getSpecialFolder>(*folder, location);
}

GSErrCode ACAPI_ProjectOperation_Save(const API_FileSavePars* params, const void* typeParams, const void* reserved) {
    return CallHost<&API_HostFunctionTable::saveProject>(params, typeParams, reserved);
}

GSErrCode ACAPI_Element_GetElemList(API_ElemTypeID typeID, GS::Array<API_Guid>* elements, GSFlags filterFlags,
                                    const API_Guid& classification, const API_Guid& renovationFilter) {
    return CallHost<&API_HostFunctionTable::getElementList>(typeID, &classification, filterFlags, &renovationFilter,
                                                            elements);
}

GSErrCode ACAPI_ProjectOperation_Open(const API_FileOpenPars* params) {
    return CallHost<&API_HostFunctionTable::openProject>(params);
}

GSErrCode ACAPI_Element_Get(API_Element* element) {
    return CallHost<&API_HostFunctionTable::getElement>(element);
}

GSErrCode ACAPI_Element_Create(API_Element* element) {
    return CallHost<&API_HostFunctionTable::createElement>(element);
}

namespace {

GSErrCode RunCommand(void* command) {
    return (*static_cast<const std::function<GSErrCode()>*>(command))();
}

} // namespace

GSErrCode ACAPI_CallUndoableCommand(const GS::UniString& undoName, const std::function<GSErrCode()>& command) {
    // The host calls back through a plain function; the command stays the caller's for the call.
    return CallHost<&API_HostFunctionTable::undoableCommand>(&undoName, &RunCommand,
                                                             const_cast<void*>(static_cast<const void*>(&command)));
}

bool ACAPI_Element_Filter(const API_Guid& guid, GSFlags filterFlags) {
    bool passes = false;
    return CallHost<&API_HostFunctionTable::elementFilter>(&guid, filterFlags, &passes) == NoError && passes;
}

GSErrCode ACAPI_Element_GetHeader(API_Elem_Head* head) {
    return CallHost<&API_HostFunctionTable::getElementHeader>(head);
}

GSErrCode ACAPI_Element_CalcBounds(const API_Elem_Head* head, API_Box3D* bounds) {
    return CallHost<&API_HostFunctionTable::getElement3DBounds>(head, bounds);
}

GSErrCode ACAPI_Element_GetElementInfoString(const API_Guid* guid, GS::UniString* infoString) {
    return CallCommand(APICmd_ElementInfoString, Untyped(guid), infoString);
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

GSErrCode ACAPI_Window_GetActiveWindow(API_WindowInfo* window) {
    return CallCommand(APICmd_GetActiveWindow, window);
}

GSErrCode ACAPI_Window_ChangeWindow(const API_WindowInfo* window) {
    return CallCommand(APICmd_ChangeWindow, Untyped(window));
}

GSErrCode ACAPI_View_Get3DProjection(API_3DProjectionInfo* projection) {
    return CallCommand(APICmd_Get3DProjection, projection);
}

GSErrCode ACAPI_View_Change3DProjection(const API_3DProjectionInfo* projection, bool onlyPerspectiveMode) {
    // The host reads a null flag as false.
    bool modeOnly = true;
    return CallCommand(APICmd_Change3DProjection, Untyped(projection), onlyPerspectiveMode ? &modeOnly : nullptr);
}

GSErrCode ACAPI_View_Get3DCuttingPlanes(API_3DCutPlanesInfo* info) {
    return CallCommand(APICmd_Get3DCuttingPlanes, info);
}

GSErrCode ACAPI_View_Change3DCuttingPlanes(const API_3DCutPlanesInfo* info) {
    return CallCommand(APICmd_Change3DCuttingPlanes, Untyped(info));
}

GSErrCode ACAPI_View_Get3DWindowSets(API_3DWindowInfo* window) {
    return CallCommand(APICmd_Get3DWindowSets, window);
}

GSErrCode ACAPI_View_Change3DWindowSets(const API_3DWindowInfo* window) {
    return CallCommand(APICmd_Change3DWindowSets, Untyped(window));
}

GSErrCode ACAPI_View_ShowAllIn3D() {
    return CallCommand(APICmd_ShowAllIn3D);
}

GSErrCode ACAPI_View_ShowSelectionIn3D() {
    return CallCommand(APICmd_ShowSelectionIn3D);
}

GSErrCode ACAPI_View_Zoom() {
    return CallCommand(APICmd_Zoom);
}

GSErrCode ACAPI_View_ZoomToElements(const GS::Array<API_Guid>* elements) {
    return CallCommand(APICmd_ZoomToElements, Untyped(elements));
}

GSErrCode ACAPI_SurveyPoint_GetSurveyPointTransformation(API_Tranmat* matrix) {
    return CallCommand(APICmd_GetSurveyPointTransformation, matrix);
}

GSErrCode ACAPI_Navigator_GetNavigatorSetNum(Int32* setNum) {
    return CallCommand(APICmd_GetNavigatorSetNum, setNum);
}

GSErrCode ACAPI_Navigator_GetNavigatorSet(API_NavigatorSet* navigatorSet, const Int32* index) {
    return CallCommand(APICmd_GetNavigatorSet, navigatorSet, Untyped(index));
}

GSErrCode ACAPI_Navigator_GetNavigatorChildrenItems(const API_NavigatorItem* parent,
                                                    GS::Array<API_NavigatorItem>* items) {
    return CallCommand(APICmd_GetNavigatorChildrenItems, Untyped(parent), items);
}

GSErrCode ACAPI_ProjectOperation_Publish(const API_PublishPars* publishPars, const GS::Array<API_Guid>* selectedLinks) {
    return CallCommand(APICmd_Publish, Untyped(publishPars), Untyped(selectedLinks));
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
