#ifndef HOSTSIM_PARAMETERLISTS_HPP
#define HOSTSIM_PARAMETERLISTS_HPP

#include "Transcript.hpp"

#include "APIDefinitions.hpp"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace HostSim {

// One named parameter as the host keeps it: texts are copied, pointers kept as they are.
struct StoredParameter {
    std::string name;
    Int32 type = MDCLPar_int;
    Int32 intValue = 0;
    bool boolValue = false;
    double doubleValue = 0.0;
    std::string stringValue;
    void* pointerValue = nullptr;
};

using StoredParameterList = std::vector<StoredParameter>; // in the order the parameters were added

// A parameter's value as transcript lines show it: the number, flag or text; a pointer as "pointer" (null when
// null), since only the command's receiver knows what it points to.
Line DescribeParameterValue(const StoredParameter& parameter);

// The host's named parameter lists. A list is a memory handle of the host whose address is the key; it stays
// alive until Free. Every operation answers NoError, APIERR_BADPARS for a list the store did not make (or a null
// record) and APIERR_BADNAME for a name rule that fails (see the table's comments). [main-thread]
class ParameterLists {
public:
    ParameterLists() = default;
    ~ParameterLists(); // releases the lists still alive
    ParameterLists(const ParameterLists&) = delete;
    ParameterLists& operator=(const ParameterLists&) = delete;

    GSErrCode New(API_MDCLParameterList* list);
    GSErrCode Add(API_MDCLParameterList list, const API_MDCLParameter& parameter);
    GSErrCode Get(API_MDCLParameterList list, API_MDCLParameter& parameter) const;
    GSErrCode Change(API_MDCLParameterList list, const API_MDCLParameter& parameter);
    GSErrCode Free(API_MDCLParameterList* list);

    // The list behind a handle; nullptr for a handle the store did not make or has freed.
    const StoredParameterList* Find(API_MDCLParameterList list) const;
    const StoredParameter* Find(API_MDCLParameterList list, const std::string& name) const;
    std::size_t LiveCount() const noexcept { return lists.size(); }
    std::size_t MadeCount() const noexcept { return made; }

private:
    StoredParameter* Look(API_MDCLParameterList list, const API_MDCLParameter& parameter);

    std::map<API_MDCLParameterList, StoredParameterList> lists;
    std::size_t made = 0;
};

} // namespace HostSim

#endif
