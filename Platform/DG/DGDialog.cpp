#include "DGDialog.hpp"

#include "DGUIBackEnd.hpp"

namespace DG {

namespace {

UIBackEnd* BackEnd() {
    return GetUIBackEnd();
}

} // namespace

Dialog::~Dialog() = default;

void Dialog::BeginMoveResizeItems() {
    ++moveResizeDepth;
}

void Dialog::EndMoveResizeItems() {
    if (moveResizeDepth > 0) --moveResizeDepth;
}

ModelessBase::~ModelessBase() = default;

void ModelessBase::Show(Int32 position) {
    visible = true;
    if (UIBackEnd* backEnd = BackEnd()) backEnd->VisibilityChanged(*this, true, position);
}

void ModelessBase::Hide() {
    visible = false;
    if (UIBackEnd* backEnd = BackEnd()) backEnd->VisibilityChanged(*this, false, DefaultPosition);
}

void ModelessBase::BeginEventProcessing() {
    processingEvents = true;
}

void ModelessBase::EndEventProcessing() {
    processingEvents = false;
}

Palette::Palette(GSResModule module, GSResID resourceId, const GS::Guid& guid)
    : ModelessBase(module, resourceId), guid(guid) {}

Palette::~Palette() = default;

ModalDialog::~ModalDialog() = default;

bool ModalDialog::Invoke() {
    closeRequested = false;
    response = Cancel;
    if (UIBackEnd* backEnd = BackEnd()) {
        backEnd->RunModalDialog(*this);
    } else {
        PostCloseRequest(Cancel);
    }
    return closeRequested && response == Accept;
}

void ModalDialog::PostCloseRequest(ModalResponse r) {
    if (!NotifyCloseRequest(PanelCloseRequestEvent(*this, r == Accept), true)) return;
    closeRequested = true;
    response = r;
}

} // namespace DG
