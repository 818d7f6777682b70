#include "PublishReportDialog.hpp"

#include "ResourceIds.hpp"

namespace {

enum : short { OkButtonId = 1, ReportTextId = 2, FailedListId = 3 };

const char* const ReportGerman = "Die folgenden Artikel konnten nicht veroeffentlicht werden.";
const char* const ReportEnglish = "The following Items could not be published.";

} // namespace

PublishReportDialog::PublishReportDialog(GSResModule resources, const GS::Array<GS::UniString>& failedTitles,
                                         bool german)
    : DG::ModalDialog(resources, ID_PUBLISH_REPORT_DIALOG), okButton(*this, OkButtonId),
      reportText(*this, ReportTextId), failedList(*this, FailedListId) {
    Attach(*this);
    AttachToAllItems(*this);
    reportText.SetText(german ? ReportGerman : ReportEnglish);

    const short width = failedList.GetItemWidth();
    failedList.SetTabFieldCount(1);
    failedList.SetTabFieldProperties(1, 0, width, DG::ListBox::Left, DG::ListBox::EndTruncate, false);
    failedList.SetHeaderSynchronState(false);
    failedList.SetHeaderItemSize(1, width);
    failedList.SetHeaderItemText(1, "Name");
    for (const GS::UniString& title : failedTitles) {
        if (!failedList.AppendItem()) break; // the list is full; the first titles are the ones shown
        failedList.SetTabItemText(failedList.GetItemCount(), 1, title);
    }
}

PublishReportDialog::~PublishReportDialog() {
    DetachFromAllItems(*this);
    Detach(*this);
}

void PublishReportDialog::ButtonClicked(const DG::ButtonClickEvent& ev) {
    if (ev.GetSource() == &okButton) PostCloseRequest(Accept);
}
