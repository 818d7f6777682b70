#include "TransferJobs.hpp"

#include "BuildConfig.hpp"
#include "QuillmarPalette.hpp"
#include "ServiceRequests.hpp"

#include "FileSystem.hpp"
#include "Location.hpp"

namespace {

GS::UniString DocumentURL(const GS::UniString& folderId) {
    return GS::UniString::Printf("%s/document?folderId=%s", ApiBaseURL, folderId);
}

} // namespace

BaseExport::BaseExport(GS::UniString token, GS::UniString projectId)
    : token(std::move(token)), projectId(std::move(projectId)) {}

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

ExportIFC::ExportIFC(GS::UniString token, GS::UniString projectId, GS::UniString folderId, GS::UniString filePath)
    : BaseExport(std::move(token), std::move(projectId)), folderId(std::move(folderId)), filePath(std::move(filePath)) {
}

GS::UniString ExportIFC::GetRequestURL() const {
    return DocumentURL(folderId);
}

void ExportIFC::Run() {
    const UploadResult result = UploadFile(GetRequestURL(), token, filePath);
    if (!result.setUp && !result.refused) return; // no handle: nothing to report
    const GS::Ref<QuillmarPalette> palette = QuillmarPalette::FindInstance();
    if (palette == nullptr) return;
    if (result.IsHttpSuccess()) {
        palette->CompleteExportModel(result.body);
        return;
    }
    if (result.completed) palette->SetLastIfcExportResponse(result.body);
    palette->FailExportModel();
}

ExportPlan::ExportPlan(GS::UniString token, GS::UniString projectId, GS::UniString folderId, GS::UniString filePath)
    : BaseExport(std::move(token), std::move(projectId)), folderId(std::move(folderId)), filePath(std::move(filePath)) {
}

GS::UniString ExportPlan::GetRequestURL() const {
    return DocumentURL(folderId);
}

void ExportPlan::Run() {
    const UploadResult result = UploadFile(GetRequestURL(), token, filePath);
    if (!result.setUp && !result.refused) return;
    const GS::Ref<QuillmarPalette> palette = QuillmarPalette::FindInstance();
    if (palette == nullptr) return;
    if (result.IsHttpSuccess()) {
        palette->CompleteExportPlan(result.body);
    } else {
        palette->FailExportPlan(); // a failed transfer too: the page must not wait for nothing
    }
}

ExportPublishSet::ExportPublishSet(GS::UniString token, GS::UniString projectId, UIndex itemIndex, UInt32 run)
    : BaseExport(std::move(token), std::move(projectId)), itemIndex(itemIndex), run(run) {
    // The item is read here, on the main thread, before any job of the run writes.
    if (QuillmarPalette::HasInstance()) {
        QuillmarPalette::GetInstance().WithPublishItems([&](GS::Array<PublishSetItem>& items) {
            if (itemIndex < items.GetSize()) {
                folderId = items[itemIndex].folderId;
                filePath = items[itemIndex].filePath;
            }
        });
    }
}

GS::UniString ExportPublishSet::GetRequestURL() const {
    return DocumentURL(folderId);
}

void ExportPublishSet::Run() {
    const UploadResult result = UploadFile(GetRequestURL(), token, filePath);
    const GS::Ref<QuillmarPalette> palette = QuillmarPalette::FindInstance();
    if (palette == nullptr) return;
    if (result.IsHttpSuccess()) {
        const GS::UniString documentId = ParseFirstDocumentId(result.body);
        if (!documentId.IsEmpty()) palette->SetPublishItemUploaded(run, itemIndex, documentId);
    }
    // Counted whatever happened, also when the request could not be set up, so the run always ends.
    palette->CompleteExportPublish(run);
}

ExportSnapshot::ExportSnapshot(GS::UniString token, GS::UniString projectId, GS::UniString filePath)
    : BaseExport(std::move(token), std::move(projectId)), filePath(std::move(filePath)) {}

GS::UniString ExportSnapshot::GetRequestURL() const {
    return GS::UniString::Printf("%s/resource", ApiBaseURL);
}

void ExportSnapshot::Run() {
    const UploadResult result = UploadFile(GetRequestURL(), token, filePath);
    if (!result.IsHttpSuccess()) return;
    if (const GS::Ref<QuillmarPalette> palette = QuillmarPalette::FindInstance(); palette != nullptr)
        palette->InsertViewpoint(result.body);
}

ImportIFC::ImportIFC(GS::UniString token, GS::UniString resourceId, GS::UniString targetPath)
    : token(std::move(token)), resourceId(std::move(resourceId)), targetPath(std::move(targetPath)) {}

void ImportIFC::Run() {
    bool exists = false;
    if (IO::fileSystem.Contains(IO::Location(targetPath), &exists) == NoError && exists) return;
    DownloadResource(token, resourceId, targetPath);
}

WatchThread::WatchThread(GS::Array<GS::Thread*> threads, GS::Array<GS::UniString> paths)
    : threads(std::move(threads)), paths(std::move(paths)) {}

WatchThread::~WatchThread() {
    for (GS::Thread* thread : threads)
        delete thread;
}

void WatchThread::Run() {
    // Waits on each thread in turn rather than polling: the group has ended when the last one has.
    for (GS::Thread* thread : threads) {
        if (thread != nullptr) thread->Join();
    }
    if (const GS::Ref<QuillmarPalette> palette = QuillmarPalette::FindInstance(); palette != nullptr)
        palette->CompleteImportModels(paths);
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
