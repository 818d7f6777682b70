#include "PropertyNameDialog.hpp"

#include "ResourceIds.hpp"

#include "DGAlert.hpp"

namespace {

enum : short { CreateButtonId = 1, CancelButtonId = 2, NameEditId = 3 };

} // namespace

PropertyNameDialog::PropertyNameDialog(GSResModule resources, const GS::Array<GS::UniString>& existingNames)
    : DG::ModalDialog(resources, ID_PROPERTY_NAME_DIALOG), createButton(*this, CreateButtonId),
      cancelButton(*this, CancelButtonId), nameEdit(*this, NameEditId), existingNames(existingNames) {
    Attach(*this);
    AttachToAllItems(*this);
}

PropertyNameDialog::~PropertyNameDialog() {
    DetachFromAllItems(*this);
    Detach(*this);
}

void PropertyNameDialog::ButtonClicked(const DG::ButtonClickEvent& ev) {
    if (ev.GetSource() == &cancelButton) {
        PostCloseRequest(Cancel);
        return;
    }
    if (ev.GetSource() != &createButton) return;
    const GS::UniString& name = nameEdit.GetText();
    for (const GS::UniString& existing : existingNames) {
        if (existing == name) {
            (void)DG::InformationAlert("The property name exists.", "", "Ok"); // one button: nothing to decide
            return;
        }
    }
    PostCloseRequest(Accept);
}

void PropertyNameDialog::PanelCloseRequested(const DG::PanelCloseRequestEvent& ev, bool*) {
    if (ev.IsAccepted()) resultName = nameEdit.GetText();
}
