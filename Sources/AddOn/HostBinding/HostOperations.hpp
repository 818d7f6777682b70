#ifndef QUILLMAR_HOSTOPERATIONS_HPP
#define QUILLMAR_HOSTOPERATIONS_HPP

// The host operations the add-on uses, one typed function each, named and shaped as the host's SDK has them. Each
// answers APIERR_NOTSUPPORTED when the host's table has not arrived or the host does not offer the operation.
// Records and codes are those of APIDefinitions.hpp. [main-thread] unless stated otherwise.

#include "APIDefinitions.hpp"
#include "Array.hpp"

#include <functional>

namespace IO {
class Location;
}

// ---- Add-on registration and identity ---------------------------------------------------------------------------

// Keeps the add-on loaded (true) or lets the host unload it when idle (false).
[[nodiscard]] GSErrCode ACAPI_KeepInMemory(bool keep);
[[nodiscard]] GSErrCode ACAPI_MenuItem_InstallMenuHandler(Int32 menuResID, APIMenuCommandProc* handler);
[[nodiscard]] GSErrCode ACAPI_MenuItem_RegisterMenu(Int32 menuStrResID, Int32 promptStrResID,
                                                    API_MenuCodeID menuPosCode, GSFlags menuFlags);
[[nodiscard]] GSErrCode ACAPI_RegisterModelessWindow(const API_PaletteRegistration& registration);
[[nodiscard]] GSErrCode ACAPI_Notification_CatchSelectionChange(APISelectionChangeHandlerProc* handler);
[[nodiscard]] GSErrCode ACAPI_ProjectOperation_CatchProjectEvent(GSFlags eventMask,
                                                                 APIProjectEventHandlerProc* handler);
[[nodiscard]] GSErrCode ACAPI_MenuItem_GetMenuItemFlags(const API_MenuItemRef* item, GSFlags* itemFlags);
[[nodiscard]] GSErrCode ACAPI_MenuItem_SetMenuItemFlags(const API_MenuItemRef* item, const GSFlags* itemFlags);
[[nodiscard]] GSErrCode ACAPI_AddOnIdentification_Application(API_ServerApplicationInfo* info);
[[nodiscard]] GSErrCode ACAPI_AddOnIdentification_GetOwnToken(API_Guid* token);

// ---- Project -----------------------------------------------------------------------------------------------------

[[nodiscard]] GSErrCode ACAPI_ProjectOperation_Project(API_ProjectInfo* info);
[[nodiscard]] GSErrCode ACAPI_ProjectSettings_GetSpecFolder(const API_SpecFolderID* folder, IO::Location* location);
[[nodiscard]] GSErrCode ACAPI_ProjectOperation_Save(const API_FileSavePars* params, const void* typeParams,
                                                    const void* reserved = nullptr);

// ---- Elements and selection --------------------------------------------------------------------------------------

[[nodiscard]] GSErrCode ACAPI_Element_GetElemList(API_ElemTypeID typeID, GS::Array<API_Guid>* elements,
                                                  GSFlags filterFlags = 0, const API_Guid& classification = APINULLGuid,
                                                  const API_Guid& renovationFilter = APINULLGuid);
// Opens a file as the project, replacing the open one.
[[nodiscard]] GSErrCode ACAPI_ProjectOperation_Open(const API_FileOpenPars* params);
// Fills the record of the element that element->header.guid names.
[[nodiscard]] GSErrCode ACAPI_Element_Get(API_Element* element);
// Makes a new element from the record; its new GUID is written into element->header.guid. Only inside
// ACAPI_CallUndoableCommand.
[[nodiscard]] GSErrCode ACAPI_Element_Create(API_Element* element);
// Runs `command` as one undo step named `undoName`; its result is the command's.
[[nodiscard]] GSErrCode ACAPI_CallUndoableCommand(const GS::UniString& undoName,
                                                  const std::function<GSErrCode()>& command);
// Whether the element passes every filter flag (APIFilt_In3D: shown in the 3D window); false also when the host
// cannot say.
[[nodiscard]] bool ACAPI_Element_Filter(const API_Guid& guid, GSFlags filterFlags);
[[nodiscard]] GSErrCode ACAPI_Element_GetHeader(API_Elem_Head* head);
[[nodiscard]] GSErrCode ACAPI_Element_CalcBounds(const API_Elem_Head* head, API_Box3D* bounds);
// The element's ID text as the user gave it.
[[nodiscard]] GSErrCode ACAPI_Element_GetElementInfoString(const API_Guid* guid, GS::UniString* infoString);
[[nodiscard]] GSErrCode ACAPI_Selection_Get(API_SelectionInfo* info, GS::Array<API_Neig>* selection, bool onlyEditable,
                                            bool ignorePartial, Int32 relativeToLayer);
[[nodiscard]] GSErrCode ACAPI_Selection_DeselectAll();
[[nodiscard]] GSErrCode ACAPI_Selection_Select(const GS::Array<API_Neig>& elements, bool add);

// ---- Windows and the 3D view -------------------------------------------------------------------------------------

[[nodiscard]] GSErrCode ACAPI_Window_GetActiveWindow(API_WindowInfo* window);
// Brings the window of window->typeID forward.
[[nodiscard]] GSErrCode ACAPI_Window_ChangeWindow(const API_WindowInfo* window);
[[nodiscard]] GSErrCode ACAPI_View_Get3DProjection(API_3DProjectionInfo* projection);
// onlyPerspectiveMode: only perspective against parallel changes (projection->isPersp); the camera stays.
[[nodiscard]] GSErrCode ACAPI_View_Change3DProjection(const API_3DProjectionInfo* projection,
                                                      bool onlyPerspectiveMode = false);
// The host allocates info->shapes; the caller releases them with BMKillHandle.
[[nodiscard]] GSErrCode ACAPI_View_Get3DCuttingPlanes(API_3DCutPlanesInfo* info);
// The host copies the shapes; they stay the caller's.
[[nodiscard]] GSErrCode ACAPI_View_Change3DCuttingPlanes(const API_3DCutPlanesInfo* info);
[[nodiscard]] GSErrCode ACAPI_View_Get3DWindowSets(API_3DWindowInfo* window);
// The window keeps its own size whatever the record says.
[[nodiscard]] GSErrCode ACAPI_View_Change3DWindowSets(const API_3DWindowInfo* window);
[[nodiscard]] GSErrCode ACAPI_View_ShowAllIn3D();
// Without a selection the 3D window shows everything.
[[nodiscard]] GSErrCode ACAPI_View_ShowSelectionIn3D();
// Fits the 3D window to what it shows.
[[nodiscard]] GSErrCode ACAPI_View_Zoom();
[[nodiscard]] GSErrCode ACAPI_View_ZoomToElements(const GS::Array<API_Guid>* elements);
// Fails when the project has no survey point transformation.
[[nodiscard]] GSErrCode ACAPI_SurveyPoint_GetSurveyPointTransformation(API_Tranmat* matrix);

// ---- Navigator and publishing ------------------------------------------------------------------------------------

// The number of publisher sets.
[[nodiscard]] GSErrCode ACAPI_Navigator_GetNavigatorSetNum(Int32* setNum);
// Fills the set record of the set at `index` (from 0); the caller clears the record and sets its mapId first.
[[nodiscard]] GSErrCode ACAPI_Navigator_GetNavigatorSet(API_NavigatorSet* navigatorSet, const Int32* index);
// Replaces `items` with the direct children of the item that parent->guid and parent->mapId name, in the host's
// order.
[[nodiscard]] GSErrCode ACAPI_Navigator_GetNavigatorChildrenItems(const API_NavigatorItem* parent,
                                                                  GS::Array<API_NavigatorItem>* items);
// Publishes the listed items of the publisher set into the parameters' folder; blocks until the files are written.
[[nodiscard]] GSErrCode ACAPI_ProjectOperation_Publish(const API_PublishPars* publishPars,
                                                       const GS::Array<API_Guid>* selectedLinks);

// ---- Add-on to add-on calls and their parameter lists ------------------------------------------------------------

[[nodiscard]] GSErrCode ACAPI_AddOnAddOnCommunication_InitMDCLParameterList(API_MDCLParameterList* list);
[[nodiscard]] GSErrCode ACAPI_AddOnAddOnCommunication_AddMDCLParameter(API_MDCLParameterList list,
                                                                       API_MDCLParameter* parameter);
[[nodiscard]] GSErrCode ACAPI_AddOnAddOnCommunication_GetMDCLParameter(API_MDCLParameterList list,
                                                                       API_MDCLParameter* parameter);
[[nodiscard]] GSErrCode ACAPI_AddOnAddOnCommunication_ChangeMDCLParameter(API_MDCLParameterList list,
                                                                          API_MDCLParameter* parameter);
[[nodiscard]] GSErrCode ACAPI_AddOnAddOnCommunication_FreeMDCLParameterList(API_MDCLParameterList* list);
[[nodiscard]] GSErrCode ACAPI_AddOnAddOnCommunication_Call(const API_ModulID* module, UInt32 code, Int32 version,
                                                           API_MDCLParameterList params, void* resultData, bool silent);

// ---- Properties, IFC and host memory -----------------------------------------------------------------------------

[[nodiscard]] GSErrCode ACAPI_Property_GetPropertyGroups(GS::Array<API_PropertyGroup>& groups);
[[nodiscard]] GSErrCode ACAPI_Property_GetPropertyDefinitions(const API_Guid& groupGuid,
                                                              GS::Array<API_PropertyDefinition>& definitions);
[[nodiscard]] GSErrCode ACAPI_IFC_GetIFCExportTranslatorsList(GS::Array<API_IFCTranslatorIdentifier>& translators);
// A copy of a host memory handle; the caller releases it with BMKillHandle.
[[nodiscard]] GSErrCode ACAPI_HandleToHandle(GSConstHandle source, GSHandle* copy);

#endif
