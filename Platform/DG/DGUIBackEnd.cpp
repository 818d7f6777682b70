#include "DGUIBackEnd.hpp"

#include "DGBrowser.hpp"
#include "DGDialog.hpp"
#include "DGFileDialog.hpp"

namespace DG {

namespace {
UIBackEnd* installed = nullptr;
}

UIBackEnd::~UIBackEnd() = default;
void UIBackEnd::PanelCreated(Panel&) {}
void UIBackEnd::PanelDestroyed(Panel&) {}
void UIBackEnd::VisibilityChanged(ModelessBase&, bool, Int32) {}
void UIBackEnd::ItemsEnabledChanged(Panel&, bool) {}
std::unique_ptr<BrowserPage> UIBackEnd::CreateBrowserPage(BrowserBase&) {
    return nullptr;
}
short UIBackEnd::ShowAlert(AlertKind, const GS::UniString&, const GS::UniString&, const GS::UniString&,
                           const GS::UniString&, const GS::UniString&) {
    return 1;
}
void UIBackEnd::RunModalDialog(ModalDialog& dialog) {
    dialog.PostCloseRequest(ModalDialog::Cancel);
}
bool UIBackEnd::RunFileDialog(FileDialog&) {
    return false;
}

void SetUIBackEnd(UIBackEnd* backEnd) {
    installed = backEnd;
}

UIBackEnd* GetUIBackEnd() {
    return installed;
}

} // namespace DG
