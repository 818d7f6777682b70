#include "ExchangeState.hpp"

void ExchangeState::SetLastIfcExportResponse(const GS::UniString& body) {
    std::lock_guard lock(mutex);
    lastIfcExportResponse = body;
}

GS::UniString ExchangeState::GetLastIfcExportResponse() const {
    std::lock_guard lock(mutex);
    return lastIfcExportResponse;
}

void ExchangeState::SetLastPlanExportResponse(const GS::UniString& body) {
    std::lock_guard lock(mutex);
    lastPlanExportResponse = body;
}

GS::UniString ExchangeState::GetLastPlanExportResponse() const {
    std::lock_guard lock(mutex);
    return lastPlanExportResponse;
}

void ExchangeState::SetImportList(const GS::Array<GS::UniString>& paths) {
    std::lock_guard lock(mutex);
    importList = paths;
}

GS::Array<GS::UniString> ExchangeState::GetImportList() const {
    std::lock_guard lock(mutex);
    return importList;
}

void ExchangeState::ClearImportList() {
    std::lock_guard lock(mutex);
    importList.Clear();
}
