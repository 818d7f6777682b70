#ifndef QUILLMAR_HOSTTABLEEXCHANGE_HPP
#define QUILLMAR_HOSTTABLEEXCHANGE_HPP

// The add-on's side of the function-table exchange: the host's table and token, as the two exported functions and
// the entry-point guards receive them. Only the host operations call through it; the rest of the add-on uses
// HostOperations.hpp.

#include "APIBinding.hpp"

namespace HostTableExchange {

// [thread-safe] Whether SetImportedFuncAddrs has delivered a table.
bool IsTableDelivered();
// The add-on's copy of the host's table; read it only once IsTableDelivered() is true.
const API_HostFunctionTable& GetTable();
// [main-thread] The token initialize handed over, until release; null outside that span.
void* GetHostToken();
// [main-thread] The value registerInterface handed over; the host's key for the add-on's own token.
void* GetRegistrationValue();

// Calls a slot of the host's table with the host token first; APIERR_NOTSUPPORTED when the table has not arrived or
// the host left the slot empty.
template <auto Slot, typename... Args>
GSErrCode CallHost(Args... args) {
    if (!IsTableDelivered() || GetTable().*Slot == nullptr) return APIERR_NOTSUPPORTED;
    return (GetTable().*Slot)(GetHostToken(), args...);
}

} // namespace HostTableExchange

#endif
