#ifndef QUILLMAR_TRANSFER_TRANSFERREPORTS_HPP
#define QUILLMAR_TRANSFER_TRANSFERREPORTS_HPP

#include "Array.hpp"
#include "UniString.hpp"

// Where transfer jobs report their outcome: each job makes exactly one report (a publish job: at most one upload
// mark, then its count). Jobs hold the receiver by shared reference, so it outlives every job that may still call
// it; it decides whether a page is still there to tell.
// [thread-safe] Every method may be called from any job thread, several at once.
class TransferReports {
public:
    virtual ~TransferReports();

    virtual void CompleteExportModel(const GS::UniString& body) = 0;
    // `body` is the answer of a completed transfer with an error status, "" when the transfer failed.
    virtual void FailExportModel(const GS::UniString& body) = 0;
    virtual void CompleteExportPlan(const GS::UniString& body) = 0;
    virtual void FailExportPlan() = 0;
    virtual void SetPublishItemUploaded(UInt32 run, UIndex index, const GS::UniString& documentId) = 0;
    virtual void CompleteExportPublish(UInt32 run) = 0;
    virtual void CompleteImportModels(const GS::Array<GS::UniString>& paths) = 0;
    // `imageId` is "" when the upload failed.
    virtual void InsertViewpoint(const GS::UniString& imageId) = 0;
};

#endif
