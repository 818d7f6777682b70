#include "TransferJobs.hpp"

#include "BuildConfig.hpp"
#include "TransferReports.hpp"

#include "FileSystem.hpp"
#include "Location.hpp"

namespace {

GS::UniString DocumentURL(const GS::UniString& folderId) {
    return GS::UniString::Printf("%s/document?folderId=%s", ApiBaseURL, EncodeURLComponent(folderId));
}

} // namespace

BaseExport::BaseExport(std::shared_ptr<TransferReports> reports, GS::UniString token, GS::UniString projectId,
                       const GS::UniString& filePath)
    : reports(std::move(reports)), token(std::move(token)), projectId(std::move(projectId)), file(filePath) {}

BaseExport::~BaseExport() = default;

void BaseExport::Run() {}

GS::UniString BaseExport::GetRequestURL() const {
    return GS::UniString();
}

GS::UniString BaseExport::GetClientIdHeader() const {
    return ::GetClientIdHeader();
}

GS::UniString BaseExport::GetAuthorizationHeader() const {
    return ::GetAuthorizationHeader(token);
}

TransferOutcome BaseExport::Upload() {
    const GS::UniString url = GetRequestURL();
    TransferOutcome outcome = UploadFile(url, token, file);
    if (!outcome.Completed()) LogTransferFailure("upload to", url, outcome);
    return outcome;
}

ExportIFC::ExportIFC(std::shared_ptr<TransferReports> reports, GS::UniString token, GS::UniString projectId,
                     GS::UniString folderId, const GS::UniString& filePath)
    : BaseExport(std::move(reports), std::move(token), std::move(projectId), filePath), folderId(std::move(folderId)) {}

GS::UniString ExportIFC::GetRequestURL() const {
    return DocumentURL(folderId);
}

void ExportIFC::Run() {
    const TransferOutcome outcome = Upload();
    if (outcome.IsHttpSuccess()) {
        reports->CompleteExportModel(outcome.body);
    } else {
        reports->FailExportModel(outcome.body);
    }
}

ExportPlan::ExportPlan(std::shared_ptr<TransferReports> reports, GS::UniString token, GS::UniString projectId,
                       GS::UniString folderId, const GS::UniString& filePath)
    : BaseExport(std::move(reports), std::move(token), std::move(projectId), filePath), folderId(std::move(folderId)) {}

GS::UniString ExportPlan::GetRequestURL() const {
    return DocumentURL(folderId);
}

void ExportPlan::Run() {
    const TransferOutcome outcome = Upload();
    if (outcome.IsHttpSuccess()) {
        reports->CompleteExportPlan(outcome.body);
    } else {
        reports->FailExportPlan(); // a failed transfer too: the page must not wait for nothing
    }
}

ExportPublishSet::ExportPublishSet(std::shared_ptr<TransferReports> reports, GS::UniString token,
                                   GS::UniString projectId, UInt32 run, UIndex itemIndex, GS::UniString folderId,
                                   const GS::UniString& filePath)
    : BaseExport(std::move(reports), std::move(token), std::move(projectId), filePath), run(run), itemIndex(itemIndex),
      folderId(std::move(folderId)) {}

GS::UniString ExportPublishSet::GetRequestURL() const {
    return DocumentURL(folderId);
}

void ExportPublishSet::Run() {
    const TransferOutcome outcome = Upload();
    if (outcome.IsHttpSuccess()) {
        const GS::UniString documentId = ParseFirstDocumentId(outcome.body);
        if (!documentId.IsEmpty()) reports->SetPublishItemUploaded(run, itemIndex, documentId);
    }
    // Counted whatever happened, also when the request could not be set up, so the run always ends.
    reports->CompleteExportPublish(run);
}

ExportSnapshot::ExportSnapshot(std::shared_ptr<TransferReports> reports, GS::UniString token, GS::UniString projectId,
                               const GS::UniString& filePath)
    : BaseExport(std::move(reports), std::move(token), std::move(projectId), filePath) {}

GS::UniString ExportSnapshot::GetRequestURL() const {
    return GS::UniString::Printf("%s/resource", ApiBaseURL);
}

void ExportSnapshot::Run() {
    const TransferOutcome outcome = Upload();
    // An error answer is no image id; the viewpoint still carries its embedded picture.
    reports->InsertViewpoint(outcome.IsHttpSuccess() ? outcome.body : GS::UniString());
}

ImportIFC::ImportIFC(GS::UniString token, GS::UniString resourceId, GS::UniString targetPath)
    : token(std::move(token)), resourceId(std::move(resourceId)), targetPath(std::move(targetPath)) {}

void ImportIFC::Run() {
    bool exists = false;
    if (IO::fileSystem.Contains(IO::Location(targetPath), &exists) == NoError && exists) return;
    const TransferOutcome outcome = DownloadResource(token, resourceId, targetPath);
    if (!outcome.Completed()) LogTransferFailure("download of resource", resourceId, outcome);
}

WatchThread::WatchThread(std::shared_ptr<TransferReports> reports, GS::Array<GS::Thread*> threads,
                         GS::Array<GS::UniString> paths)
    : reports(std::move(reports)), threads(std::move(threads)), paths(std::move(paths)) {}

WatchThread::~WatchThread() {
    for (GS::Thread* thread : threads)
        delete thread;
}

void WatchThread::Run() {
    // Waits on each thread in turn rather than polling: the group has ended when the last one has.
    for (GS::Thread* thread : threads) {
        if (thread != nullptr) (void)thread->Join(); // false only for a thread never started: nothing to wait for
    }
    reports->CompleteImportModels(paths);
}

GSErrCode StartJob(GS::RunnableTask job, const GS::UniString& threadName) {
    GS::Thread thread(std::move(job), threadName);
    return thread.Start();
}

GS::Thread* StartOwnedJob(GS::RunnableTask job, const GS::UniString& threadName) {
    auto* thread = new GS::Thread(std::move(job), threadName);
    if (thread->Start() != NoError) {
        delete thread;
        return nullptr;
    }
    return thread;
}
