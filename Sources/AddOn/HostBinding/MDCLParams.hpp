#ifndef QUILLMAR_HOSTBINDING_MDCLPARAMS_HPP
#define QUILLMAR_HOSTBINDING_MDCLPARAMS_HPP

#include "APIDefinitions.hpp"

namespace GSAPI {

// Owner of one host parameter list for an add-on command call: made by the host's new-list operation on
// construction, freed on destruction. When the host gives no list the handle is null and every Set fails.
// Parameters are set by name: an absent name is added with the kind and value; a present one of the same kind
// gets the value; a present one of another kind is left as it is (APIERR_BADPARS). Texts are copied by the host;
// pointers must stay valid for the call they are sent with. [main-thread]
class MDCLParams {
public:
    MDCLParams();
    ~MDCLParams();
    MDCLParams(const MDCLParams&) = delete;
    MDCLParams& operator=(const MDCLParams&) = delete;

    GSErrCode SetCString(const char* name, const char* value);
    GSErrCode SetPointer(const char* name, void* value);

    API_MDCLParameterList GetHandle() const noexcept { return list; }

private:
    GSErrCode Set(API_MDCLParameter parameter);

    API_MDCLParameterList list = nullptr;
};

} // namespace GSAPI

#endif
