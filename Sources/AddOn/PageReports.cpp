#include "PageReports.hpp"

#include "Exchange/ExchangeState.hpp"
#include "Publishing/PublishState.hpp"
#include "Viewpoints/ViewpointState.hpp"

TransferReports::~TransferReports() = default;

PageReports::PageReports(std::function<void(const GS::UniString&)> runPageScript,
                         std::shared_ptr<ExchangeState> exchange, std::shared_ptr<ViewpointState> viewpoints,
                         std::shared_ptr<PublishState> publishing)
    : runPageScript(std::move(runPageScript)), exchange(std::move(exchange)), viewpoints(std::move(viewpoints)),
      publishing(std::move(publishing)) {}

void PageReports::Detach() {
    std::lock_guard lock(mutex);
    runPageScript = nullptr;
}

template <typename Store>
void PageReports::Report(const char* script, Store store) {
    std::lock_guard lock(mutex);
    if (!runPageScript) return;
    if (store()) runPageScript(GS::UniString(script));
}

void PageReports::CompleteExportModel(const GS::UniString& body) {
    Report("CompleteExportModel()", [&] {
        exchange->SetLastIfcExportResponse(body);
        return true;
    });
}

void PageReports::FailExportModel(const GS::UniString& body) {
    Report("FailExportModel()", [&] {
        // An error answer is kept for the page; a transfer without an answer leaves the last one.
        if (!body.IsEmpty()) exchange->SetLastIfcExportResponse(body);
        return true;
    });
}

void PageReports::CompleteExportPlan(const GS::UniString& body) {
    Report("CompleteExportPlan()", [&] {
        exchange->SetLastPlanExportResponse(body);
        return true;
    });
}

void PageReports::FailExportPlan() {
    Report("FailExportPlan()", [] { return true; });
}

void PageReports::SetPublishItemUploaded(UInt32 run, UIndex index, const GS::UniString& documentId) {
    Report("", [&] {
        publishing->MarkUploaded(run, index, documentId);
        return false;
    });
}

void PageReports::CompleteExportPublish(UInt32 run) {
    Report("CompleteExportPublish()", [&] { return publishing->CountFinished(run); });
}

void PageReports::CompleteImportModels(const GS::Array<GS::UniString>& paths) {
    Report("CompleteImportModels()", [&] {
        exchange->SetImportList(paths);
        return true;
    });
}

void PageReports::InsertViewpoint(const GS::UniString& imageId) {
    Report("InsertViewpoint()", [&] {
        viewpoints->SetSnapshotResponse(imageId);
        return true;
    });
}
