#include "Main.hpp"

#include "HostBinding/AddOnProcess.hpp"
#include "HostBinding/HostOperations.hpp"
#include "PaletteControl.hpp"
#include "ProjectBox.hpp"
#include "QuillmarPalette.hpp"
#include "ResourceIds.hpp"

namespace {

ModelReferenceCentre modelReferenceCentre;

} // namespace

const ModelReferenceCentre& GetModelReferenceCentre() {
    return modelReferenceCentre;
}

API_AddonType DescribeAddOn(API_EnvirParams* envir) {
    // A missing string leaves that text empty; the host lists the add-on all the same.
    (void)RSGetIndString_ParamAdapter(&envir->addOnInfo.name, ID_ADDON_INFO, 1, GetResourceModule());
    (void)RSGetIndString_ParamAdapter(&envir->addOnInfo.description, ID_ADDON_INFO, 2, GetResourceModule());
    return APIAddon_Preload;
}

GSErrCode RegisterMenus() {
    return ACAPI_MenuItem_RegisterMenu(ID_ADDON_MENU, 0, MenuCode_UserDef, MenuFlag_Default);
}

GSErrCode InitializeAddOn() {
    GSErrCode err = ACAPI_MenuItem_InstallMenuHandler(ID_ADDON_MENU, MenuCommandHandler);
    if (err != NoError) return err;
    err = RegisterPaletteControl();
    if (err != NoError) return err;
    err = ACAPI_Notification_CatchSelectionChange(SelectionChangeHandler);
    if (err != NoError) return err;
    return ACAPI_ProjectOperation_CatchProjectEvent(APINotify_Open, ProjectEventHandler);
}

// Threads are not stopped and the palette stays: it lives until the add-on file is unloaded.
GSErrCode ReleaseAddOn() {
    return NoError;
}

GSErrCode MenuCommandHandler(const API_MenuParams* menuParams) {
    if (menuParams == nullptr || menuParams->menuItemRef.menuResID != ID_ADDON_MENU) return NoError;
    if (QuillmarPalette::HasInstance() && QuillmarPalette::GetInstance().IsVisible()) {
        QuillmarPalette::GetInstance().HidePalette();
        return NoError;
    }
    if (!QuillmarPalette::HasInstance()) QuillmarPalette::CreateInstance();
    QuillmarPalette::GetInstance().ShowPalette();
    return NoError;
}

GSErrCode SelectionChangeHandler(const API_Neig*) {
    if (QuillmarPalette::HasInstance() && QuillmarPalette::GetInstance().IsSelectionTracking())
        QuillmarPalette::GetInstance().RunPageScript("UpdateSelectedElements()");
    return NoError;
}

GSErrCode ProjectEventHandler(API_NotifyEventID, Int32) {
    const API_Box3D box = ComputeProjectBox();
    modelReferenceCentre.x = (box.xMin + box.xMax) / 2.0;
    modelReferenceCentre.y = (box.yMin + box.yMax) / 2.0;
    modelReferenceCentre.z = (box.zMin + box.zMax) / 2.0;
    if (QuillmarPalette::HasInstance()) QuillmarPalette::GetInstance().RunPageScript("RequestFileName()");
    return NoError;
}
