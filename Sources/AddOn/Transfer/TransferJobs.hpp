#ifndef QUILLMAR_TRANSFERJOBS_HPP
#define QUILLMAR_TRANSFERJOBS_HPP

#include "KeepInMemory.hpp"
#include "ServiceRequests.hpp"
#include "UploadSource.hpp"

#include "Array.hpp"
#include "Thread.hpp"
#include "UniString.hpp"

#include <memory>

class TransferReports;

// Transfer jobs: each performs one request on a thread of its own and makes exactly one report to the receiver it
// was given (which decides whether a page still hears it). Constructed on the main thread, run and destroyed on
// their thread; each keeps the add-on loaded for its lifetime. Jobs cannot be cancelled or waited for by the palette.
// A failed transfer is written to the host's debug output with libcurl's words.

// Base of the four upload jobs: it opens the file to send when the job is made, so the job sends the bytes it was
// given even when a later export writes a file of the same name.
class BaseExport : public GS::Runnable {
public:
    BaseExport(std::shared_ptr<TransferReports> reports, GS::UniString token, GS::UniString projectId,
               const GS::UniString& filePath);
    ~BaseExport() override;

    void Run() override;
    // The address the job posts to; "" here.
    virtual GS::UniString GetRequestURL() const;

    GS::UniString GetClientIdHeader() const;
    GS::UniString GetAuthorizationHeader() const;

protected:
    // [worker] Posts the file to GetRequestURL(); a failure is logged.
    TransferOutcome Upload();

    const std::shared_ptr<TransferReports> reports;
    GS::UniString token;
    GS::UniString projectId; // kept with the job; no request sends it

private:
    UploadSource file;
    KeepInMemoryRequest keepInMemory;
};

// Uploads an IFC file into a service folder: "CompleteExportModel()" on a 2xx answer, "FailExportModel()" otherwise
// (the body of an error answer is still stored for the page).
class ExportIFC : public BaseExport {
public:
    ExportIFC(std::shared_ptr<TransferReports> reports, GS::UniString token, GS::UniString projectId,
              GS::UniString folderId, const GS::UniString& filePath);
    void Run() override;
    GS::UniString GetRequestURL() const override;

private:
    GS::UniString folderId;
};

// Uploads a 2D plan into a service folder: "CompleteExportPlan()" on a 2xx answer, "FailExportPlan()" otherwise,
// a failed transfer included.
class ExportPlan : public BaseExport {
public:
    ExportPlan(std::shared_ptr<TransferReports> reports, GS::UniString token, GS::UniString projectId,
               GS::UniString folderId, const GS::UniString& filePath);
    void Run() override;
    GS::UniString GetRequestURL() const override;

private:
    GS::UniString folderId;
};

// Uploads item `itemIndex` of publish run `run` (its folder and file given here); on a 2xx answer with a document id
// the item becomes uploaded. Whatever the outcome, the job then counts itself.
class ExportPublishSet : public BaseExport {
public:
    ExportPublishSet(std::shared_ptr<TransferReports> reports, GS::UniString token, GS::UniString projectId, UInt32 run,
                     UIndex itemIndex, GS::UniString folderId, const GS::UniString& filePath);
    void Run() override;
    GS::UniString GetRequestURL() const override;

private:
    UInt32 run;
    UIndex itemIndex;
    GS::UniString folderId;
};

// Uploads a snapshot image as a resource: "InsertViewpoint()" with the image id on a 2xx answer, with an empty id
// otherwise, so the page's viewpoint never waits for nothing.
class ExportSnapshot : public BaseExport {
public:
    ExportSnapshot(std::shared_ptr<TransferReports> reports, GS::UniString token, GS::UniString projectId,
                   const GS::UniString& filePath);
    void Run() override;
    GS::UniString GetRequestURL() const override;
};

// Downloads one resource into targetPath unless that file already exists. Reports nothing: its watcher does.
class ImportIFC : public GS::Runnable {
public:
    ImportIFC(GS::UniString token, GS::UniString resourceId, GS::UniString targetPath);
    void Run() override;

private:
    GS::UniString token;
    GS::UniString resourceId;
    GS::UniString targetPath;
    KeepInMemoryRequest keepInMemory;
};

// Owns the threads of a download group; when all have ended, reports the group's paths ("CompleteImportModels()").
class WatchThread : public GS::Runnable {
public:
    WatchThread(std::shared_ptr<TransferReports> reports, GS::Array<GS::Thread*> threads,
                GS::Array<GS::UniString> paths);
    ~WatchThread() override;
    WatchThread(const WatchThread&) = delete;
    WatchThread& operator=(const WatchThread&) = delete;
    void Run() override;

private:
    const std::shared_ptr<TransferReports> reports;
    GS::Array<GS::Thread*> threads;
    GS::Array<GS::UniString> paths;
    KeepInMemoryRequest keepInMemory;
};

// [main-thread] Starts the job on a thread of the given name; the thread object goes, the thread runs on. On an
// error the job has been destroyed without running: the caller reports the failure its flow owes the page.
[[nodiscard]] GSErrCode StartJob(GS::RunnableTask job, const GS::UniString& threadName);
// [main-thread] Starts the job on a new thread object that the caller owns (a watcher, later); nullptr on failure.
[[nodiscard]] GS::Thread* StartOwnedJob(GS::RunnableTask job, const GS::UniString& threadName);

#endif
