#ifndef QUILLMAR_EXCHANGE_EXCHANGESTATE_HPP
#define QUILLMAR_EXCHANGE_EXCHANGESTATE_HPP

#include "Array.hpp"
#include "UniString.hpp"

#include <mutex>

// What the model exchange keeps between the page's calls: the service's answers to the last uploads and the models
// of the last download run, written by jobs on their threads and read by the page's calls on the main thread, each
// under the state's lock; and the main thread's own records of the page's IFC file name and the last plan file.
class ExchangeState {
public:
    // [thread-safe]
    void SetLastIfcExportResponse(const GS::UniString& body);
    GS::UniString GetLastIfcExportResponse() const;
    void SetLastPlanExportResponse(const GS::UniString& body);
    GS::UniString GetLastPlanExportResponse() const;
    void SetImportList(const GS::Array<GS::UniString>& paths);
    GS::Array<GS::UniString> GetImportList() const;
    void ClearImportList();

    // [main-thread]
    GS::UniString registeredIfcFileName;
    GS::UniString lastPlanFile;

private:
    mutable std::mutex mutex;
    GS::UniString lastIfcExportResponse;
    GS::UniString lastPlanExportResponse;
    GS::Array<GS::UniString> importList;
};

#endif
