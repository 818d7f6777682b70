#ifndef QUILLMAR_TRANSFERJOBS_HPP
#define QUILLMAR_TRANSFERJOBS_HPP

#include "KeepInMemory.hpp"

#include "Array.hpp"
#include "Thread.hpp"
#include "UniString.hpp"

// Transfer jobs: each performs one request on a thread of its own and reports into the page through the palette's
// callback methods, only while a palette exists. Constructed on the main thread, run and destroyed on their thread;
// each keeps the add-on loaded for its lifetime. Jobs cannot be cancelled or waited for by the palette.

// Base of the four upload jobs.
class BaseExport : public GS::Runnable {
public:
    BaseExport(GS::UniString token, GS::UniString projectId);
    ~BaseExport() override;

    void Run() override;
    // The address the job posts to; "" here.
    virtual GS::UniString GetRequestURL() const;

    GS::UniString GetClientIdHeader() const;
    GS::UniString GetAuthorizationHeader() const;

protected:
    GS::UniString token;
    GS::UniString projectId; // kept with the job; no request sends it

private:
    KeepInMemoryRequest keepInMemory;
};

// Uploads an IFC file into a service folder: "CompleteExportModel()" on a 2xx answer, "FailExportModel()" otherwise
// (the body of an error answer is still stored for the page).
class ExportIFC : public BaseExport {
public:
    ExportIFC(GS::UniString token, GS::UniString projectId, GS::UniString folderId, GS::UniString filePath);
    void Run() override;
    GS::UniString GetRequestURL() const override;

private:
    GS::UniString folderId;
    GS::UniString filePath;
};

// Uploads a 2D plan into a service folder: "CompleteExportPlan()" on a 2xx answer, "FailExportPlan()" otherwise.
class ExportPlan : public BaseExport {
public:
    ExportPlan(GS::UniString token, GS::UniString projectId, GS::UniString folderId, GS::UniString filePath);
    void Run() override;
    GS::UniString GetRequestURL() const override;

private:
    GS::UniString folderId;
    GS::UniString filePath;
};

// Uploads one publish item (the palette's item `itemIndex` of the run started as `run`); on a 2xx answer with a
// document id the item becomes uploaded. Whatever the outcome, the job then counts itself in the palette.
class ExportPublishSet : public BaseExport {
public:
    ExportPublishSet(GS::UniString token, GS::UniString projectId, UIndex itemIndex, UInt32 run);
    void Run() override;
    GS::UniString GetRequestURL() const override;

private:
    UIndex itemIndex;
    UInt32 run;
    GS::UniString folderId;
    GS::UniString filePath;
};

// Uploads a snapshot image as a resource: "InsertViewpoint()" with the image id on a 2xx answer, nothing otherwise.
class ExportSnapshot : public BaseExport {
public:
    ExportSnapshot(GS::UniString token, GS::UniString projectId, GS::UniString filePath);
    void Run() override;
    GS::UniString GetRequestURL() const override;

private:
    GS::UniString filePath;
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
    WatchThread(GS::Array<GS::Thread*> threads, GS::Array<GS::UniString> paths);
    ~WatchThread() override;
    WatchThread(const WatchThread&) = delete;
    WatchThread& operator=(const WatchThread&) = delete;
    void Run() override;

private:
    GS::Array<GS::Thread*> threads;
    GS::Array<GS::UniString> paths;
    KeepInMemoryRequest keepInMemory;
};

// [main-thread] Starts the job on a thread of the given name; the thread object goes, the thread runs on.
GSErrCode StartJob(GS::RunnableTask job, const GS::UniString& threadName);
// [main-thread] Starts the job on a new thread object that the caller owns (a watcher, later); nullptr on failure.
GS::Thread* StartOwnedJob(GS::RunnableTask job, const GS::UniString& threadName);

#endif
