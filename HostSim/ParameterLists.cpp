#include "ParameterLists.hpp"

#include "MemoryManager.hpp"

namespace HostSim {

namespace {

void Store(StoredParameter& stored, const API_MDCLParameter& parameter) {
    stored.type = parameter.type;
    stored.intValue = parameter.int_par;
    stored.boolValue = parameter.bool_par;
    stored.doubleValue = parameter.double_par;
    stored.stringValue = parameter.string_par != nullptr ? parameter.string_par : "";
    stored.pointerValue = parameter.ptr_par;
}

bool KnownKind(Int32 type) {
    return type >= MDCLPar_int && type <= MDCLPar_pointer;
}

} // namespace

ParameterLists::~ParameterLists() {
    for (auto& [handle, list] : lists) {
        GSHandle doomed = handle;
        BMKillHandle(&doomed);
    }
}

GSErrCode ParameterLists::New(API_MDCLParameterList* list) {
    if (list == nullptr) return APIERR_BADPARS;
    // The handle's bytes are never read: it only needs to be a live handle of the host.
    GSHandle handle = BMAllocateHandle(sizeof(UInt64), ALLOCATE_CLEAR, 0);
    if (handle == nullptr) return ErrMemoryFull;
    lists.emplace(handle, StoredParameterList{});
    ++made;
    *list = handle;
    return NoError;
}

GSErrCode ParameterLists::Add(API_MDCLParameterList list, const API_MDCLParameter& parameter) {
    const auto it = lists.find(list);
    if (it == lists.end()) return APIERR_BADPARS;
    if (parameter.name == nullptr || *parameter.name == '\0' || !KnownKind(parameter.type)) return APIERR_BADNAME;
    for (const StoredParameter& stored : it->second)
        if (stored.name == parameter.name) return APIERR_BADNAME;
    StoredParameter stored;
    stored.name = parameter.name;
    Store(stored, parameter);
    it->second.push_back(std::move(stored));
    return NoError;
}

StoredParameter* ParameterLists::Look(API_MDCLParameterList list, const API_MDCLParameter& parameter) {
    const auto it = lists.find(list);
    if (it == lists.end()) return nullptr;
    StoredParameterList& stored = it->second;
    if (parameter.name != nullptr) {
        for (StoredParameter& candidate : stored)
            if (candidate.name == parameter.name) return &candidate;
        return nullptr;
    }
    if (parameter.index < 1 || static_cast<std::size_t>(parameter.index) > stored.size()) return nullptr;
    return &stored[static_cast<std::size_t>(parameter.index - 1)];
}

GSErrCode ParameterLists::Get(API_MDCLParameterList list, API_MDCLParameter& parameter) const {
    if (!lists.contains(list)) return APIERR_BADPARS;
    StoredParameter* found = const_cast<ParameterLists*>(this)->Look(list, parameter);
    if (found == nullptr) return APIERR_BADNAME;
    const StoredParameterList& stored = lists.at(list);
    parameter.index = static_cast<Int32>(found - stored.data()) + 1;
    parameter.name = found->name.c_str();
    parameter.type = found->type;
    parameter.int_par = found->intValue;
    parameter.bool_par = found->boolValue;
    parameter.double_par = found->doubleValue;
    parameter.string_par = found->type == MDCLPar_string ? found->stringValue.c_str() : nullptr;
    parameter.ptr_par = found->pointerValue;
    return NoError;
}

GSErrCode ParameterLists::Change(API_MDCLParameterList list, const API_MDCLParameter& parameter) {
    if (!lists.contains(list)) return APIERR_BADPARS;
    StoredParameter* found = Look(list, parameter);
    if (found == nullptr || found->type != parameter.type) return APIERR_BADNAME;
    Store(*found, parameter);
    return NoError;
}

GSErrCode ParameterLists::Free(API_MDCLParameterList* list) {
    if (list == nullptr) return APIERR_BADPARS;
    const auto it = lists.find(*list);
    if (it == lists.end()) return APIERR_BADPARS;
    lists.erase(it);
    BMKillHandle(list);
    return NoError;
}

const StoredParameterList* ParameterLists::Find(API_MDCLParameterList list) const {
    const auto it = lists.find(list);
    return it == lists.end() ? nullptr : &it->second;
}

const StoredParameter* ParameterLists::Find(API_MDCLParameterList list, const std::string& name) const {
    const StoredParameterList* stored = Find(list);
    if (stored == nullptr) return nullptr;
    for (const StoredParameter& parameter : *stored)
        if (parameter.name == name) return &parameter;
    return nullptr;
}

Line DescribeParameterValue(const StoredParameter& parameter) {
    switch (parameter.type) {
    case MDCLPar_int:
        return parameter.intValue;
    case MDCLPar_bool:
        return parameter.boolValue;
    case MDCLPar_double:
        return parameter.doubleValue;
    case MDCLPar_string:
        return parameter.stringValue;
    default:
        return parameter.pointerValue == nullptr ? Line(nullptr) : Line("pointer");
    }
}

} // namespace HostSim
