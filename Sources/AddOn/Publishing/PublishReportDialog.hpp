#ifndef QUILLMAR_PUBLISHING_PUBLISHREPORTDIALOG_HPP
#define QUILLMAR_PUBLISHING_PUBLISHREPORTDIALOG_HPP

#include "Array.hpp"
#include "DGButton.hpp"
#include "DGCompoundItemObserver.hpp"
#include "DGDialog.hpp"
#include "DGListBox.hpp"
#include "DGStaticItem.hpp"
#include "RS.hpp"
#include "UniString.hpp"

// Lists the items a publishing run could not publish, in the order they failed; OK closes it. [main-thread]
class PublishReportDialog : public DG::ModalDialog,
                            public DG::PanelObserver,
                            public DG::ButtonItemObserver,
                            public DG::CompoundItemObserver {
public:
    PublishReportDialog(GSResModule resources, const GS::Array<GS::UniString>& failedTitles, bool german);
    ~PublishReportDialog() override;

private:
    void ButtonClicked(const DG::ButtonClickEvent& ev) override;

    DG::Button okButton;
    DG::LeftText reportText;
    DG::SingleSelListBox failedList;
};

#endif
