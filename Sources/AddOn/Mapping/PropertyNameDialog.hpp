#ifndef QUILLMAR_MAPPING_PROPERTYNAMEDIALOG_HPP
#define QUILLMAR_MAPPING_PROPERTYNAMEDIALOG_HPP

#include "Array.hpp"
#include "DGButton.hpp"
#include "DGCompoundItemObserver.hpp"
#include "DGDialog.hpp"
#include "DGEditControl.hpp"
#include "RS.hpp"
#include "UniString.hpp"

// Asks the user for a new property name. "Create" refuses a name that is already taken (exact, case-sensitive
// comparison) with an alert and stays open; "Cancel" and the close box close it with nothing. [main-thread]
class PropertyNameDialog : public DG::ModalDialog,
                           public DG::PanelObserver,
                           public DG::ButtonItemObserver,
                           public DG::CompoundItemObserver {
public:
    PropertyNameDialog(GSResModule resources, const GS::Array<GS::UniString>& existingNames);
    ~PropertyNameDialog() override;

    // Empty unless the dialog closed by acceptance.
    const GS::UniString& GetResultName() const noexcept { return resultName; }

private:
    void ButtonClicked(const DG::ButtonClickEvent& ev) override;
    void PanelCloseRequested(const DG::PanelCloseRequestEvent& ev, bool* accepted) override;

    DG::Button createButton;
    DG::Button cancelButton;
    DG::TextEdit nameEdit;
    GS::Array<GS::UniString> existingNames;
    GS::UniString resultName;
};

#endif
