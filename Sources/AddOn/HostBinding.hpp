#ifndef QUILLMAR_HOSTBINDING_HPP
#define QUILLMAR_HOSTBINDING_HPP

#include "APIBinding.hpp"
#include "APIDefinitions.hpp"
#include "Array.hpp"
#include "RS.hpp"

namespace IO {
class Location;
}

// The add-on's side of the function-table exchange. Every operation below calls the host's slot with the host
// token first; it answers APIERR_NOTSUPPORTED when the table has not arrived or the host left the slot empty.
// [main-thread] unless stated otherwise.

GSErrCode ACAPI_KeepInMemory(bool keep);
GSErrCode ACAPI_MenuItem_InstallMenuHandler(Int32 menuResID, APIMenuCommandProc* handler);
GSErrCode ACAPI_MenuItem_RegisterMenu(Int32 menuStrResID, Int32 promptStrResID, API_MenuCodeID menuPosCode,
                                      GSFlags menuFlags);
GSErrCode ACAPI_RegisterModelessWindow(const API_PaletteRegistration& registration);
GSErrCode ACAPI_Notification_CatchSelectionChange(APISelectionChangeHandlerProc* handler);
GSErrCode ACAPI_ProjectOperation_CatchProjectEvent(GSFlags eventMask, APIProjectEventHandlerProc* handler);
GSErrCode ACAPI_MenuItem_GetMenuItemFlags(const API_MenuItemRef* item, GSFlags* itemFlags);
GSErrCode ACAPI_MenuItem_SetMenuItemFlags(const API_MenuItemRef* item, const GSFlags* itemFlags);
GSErrCode ACAPI_AddOnIdentification_Application(API_ServerApplicationInfo* info);
GSErrCode ACAPI_ProjectOperation_Project(API_ProjectInfo* info);
GSErrCode ACAPI_ProjectSettings_GetSpecFolder(const API_SpecFolderID* folder, IO::Location* location);
GSErrCode ACAPI_Element_GetElemList(API_ElemTypeID typeID, GS::Array<API_Guid>* elements, GSFlags filterFlags = 0,
                                    const API_Guid& classification = APINULLGuid,
                                    const API_Guid& renovationFilter = APINULLGuid);
// Whether the element passes every filter flag (APIFilt_In3D: shown in the 3D window); false also when the host
// cannot say.
bool ACAPI_Element_Filter(const API_Guid& guid, GSFlags filterFlags);
GSErrCode ACAPI_Element_GetHeader(API_Elem_Head* head);
GSErrCode ACAPI_Element_CalcBounds(const API_Elem_Head* head, API_Box3D* bounds);
GSErrCode ACAPI_AddOnIdentification_GetOwnToken(API_Guid* token);
GSErrCode ACAPI_Selection_Get(API_SelectionInfo* info, GS::Array<API_Neig>* selection, bool onlyEditable,
                              bool ignorePartial, Int32 relativeToLayer);
GSErrCode ACAPI_Selection_DeselectAll();
GSErrCode ACAPI_Selection_Select(const GS::Array<API_Neig>& elements, bool add);
// The host's named parameter lists (API_MDCLParameter) and the call of another add-on's command.
GSErrCode ACAPI_AddOnAddOnCommunication_InitMDCLParameterList(API_MDCLParameterList* list);
GSErrCode ACAPI_AddOnAddOnCommunication_AddMDCLParameter(API_MDCLParameterList list, API_MDCLParameter* parameter);
GSErrCode ACAPI_AddOnAddOnCommunication_GetMDCLParameter(API_MDCLParameterList list, API_MDCLParameter* parameter);
GSErrCode ACAPI_AddOnAddOnCommunication_ChangeMDCLParameter(API_MDCLParameterList list, API_MDCLParameter* parameter);
GSErrCode ACAPI_AddOnAddOnCommunication_FreeMDCLParameterList(API_MDCLParameterList* list);
GSErrCode ACAPI_AddOnAddOnCommunication_Call(const API_ModulID* module, UInt32 code, Int32 version,
                                             API_MDCLParameterList params, void* resultData, bool silent);
GSErrCode ACAPI_Property_GetPropertyGroups(GS::Array<API_PropertyGroup>& groups);
GSErrCode ACAPI_Property_GetPropertyDefinitions(const API_Guid& groupGuid,
                                                GS::Array<API_PropertyDefinition>& definitions);
GSErrCode ACAPI_IFC_GetIFCExportTranslatorsList(GS::Array<API_IFCTranslatorIdentifier>& translators);
// A copy of a host memory handle; the caller releases it with BMKillHandle.
GSErrCode ACAPI_HandleToHandle(GSConstHandle source, GSHandle* copy);
GSErrCode ACAPI_ProjectOperation_Save(const API_FileSavePars* params, const void* typeParams,
                                      const void* reserved = nullptr);
// Operations the host dispatches by a four-character code.
GSErrCode ACAPI_CallCommand(UInt32 code, void* arg1 = nullptr, void* arg2 = nullptr, void* arg3 = nullptr,
                            void* arg4 = nullptr);

// The add-on's own resource module, opened when the file is loaded; InvalidResModule after unload.
GSResModule GetResourceModule();

#endif
