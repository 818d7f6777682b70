#ifndef QUILLMAR_PAGEREPORTS_HPP
#define QUILLMAR_PAGEREPORTS_HPP

#include "Transfer/TransferReports.hpp"

#include <functional>
#include <memory>
#include <mutex>

class ExchangeState;
class PublishState;
class ViewpointState;

// The palette's receiver of job reports: stores each outcome in its subsystem's state, then runs the page function
// of the report's name in the palette's page. Jobs keep it alive; the palette detaches it before it goes, after
// which reports store and run nothing.
class PageReports final : public TransferReports {
public:
    // `runPageScript` runs a script in the page from any thread (the palette's browser item).
    PageReports(std::function<void(const GS::UniString&)> runPageScript, std::shared_ptr<ExchangeState> exchange,
                std::shared_ptr<ViewpointState> viewpoints, std::shared_ptr<PublishState> publishing);

    // [main-thread] Waits for a report in progress; none reaches the page afterwards.
    void Detach();

    void CompleteExportModel(const GS::UniString& body) override;
    void FailExportModel(const GS::UniString& body) override;
    void CompleteExportPlan(const GS::UniString& body) override;
    void FailExportPlan() override;
    void SetPublishItemUploaded(UInt32 run, UIndex index, const GS::UniString& documentId) override;
    void CompleteExportPublish(UInt32 run) override;
    void CompleteImportModels(const GS::Array<GS::UniString>& paths) override;
    void InsertViewpoint(const GS::UniString& imageId) override;

private:
    // Runs `store` and then, when it answers true, the script, both only while attached and under the lock, so that
    // reports reach the page one at a time and never after Detach.
    template <typename Store>
    void Report(const char* script, Store store);

    std::mutex mutex;
    std::function<void(const GS::UniString&)> runPageScript; // empty once detached
    const std::shared_ptr<ExchangeState> exchange;
    const std::shared_ptr<ViewpointState> viewpoints;
    const std::shared_ptr<PublishState> publishing;
};

#endif
