#include "HostTableExchange.hpp"

#include "Main.hpp"

#include <atomic>
#include <cstring>

namespace {

API_HostFunctionTable hostTable;
std::atomic<bool> tableDelivered = false;
void* hostToken = nullptr;
void* registrationValue = nullptr;

// Guards of the entry points: nothing runs before the host has delivered its table.
API_AddonType DescribeAddOnGuard(API_EnvirParams* envir) {
    if (!tableDelivered) return APIAddon_DontRegister;
    return DescribeAddOn(envir);
}

GSErrCode RegisterInterfaceGuard(void* value) {
    if (!tableDelivered) return APIERR_GENERAL;
    registrationValue = value;
    return RegisterMenus();
}

GSErrCode InitializeGuard(void* token) {
    if (!tableDelivered) return APIERR_GENERAL;
    hostToken = token;
    return InitializeAddOn();
}

GSErrCode ReleaseGuard(void*) {
    if (!tableDelivered) return APIERR_GENERAL;
    const GSErrCode err = ReleaseAddOn();
    hostToken = nullptr;
    return err;
}

} // namespace

extern "C" GSErrCode GetExportedFuncAddrs(API_AddOnEntryRecord* record) {
    if (record == nullptr) return APIERR_GENERAL;
    std::memset(record, 0, sizeof(API_AddOnEntryRecord));
    record->layout = API_EntryRecordLayout;
    record->describeAddOn = &DescribeAddOnGuard;
    record->registerInterface = &RegisterInterfaceGuard;
    record->initialize = &InitializeGuard;
    record->release = &ReleaseGuard;
    record->apiVersion = API_HostVersion;
    return NoError;
}

extern "C" GSErrCode SetImportedFuncAddrs(const API_HostFunctionTable* table) {
    if (table == nullptr) return APIERR_GENERAL;
    std::memcpy(&hostTable, table, sizeof(API_HostFunctionTable));
    tableDelivered = true;
    return NoError;
}

namespace HostTableExchange {

bool IsTableDelivered() {
    return tableDelivered;
}

const API_HostFunctionTable& GetTable() {
    return hostTable;
}

void* GetHostToken() {
    return hostToken;
}

void* GetRegistrationValue() {
    return registrationValue;
}

} // namespace HostTableExchange
