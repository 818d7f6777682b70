#include "MDCLParams.hpp"

#include "HostOperations.hpp"

namespace GSAPI {

MDCLParams::MDCLParams() {
    if (ACAPI_AddOnAddOnCommunication_InitMDCLParameterList(&list) != NoError) list = nullptr;
}

MDCLParams::~MDCLParams() {
    // A destructor cannot report a refused release, and the list is not used again either way.
    if (list != nullptr) (void)ACAPI_AddOnAddOnCommunication_FreeMDCLParameterList(&list);
}

GSErrCode MDCLParams::SetCString(const char* name, const char* value) {
    API_MDCLParameter parameter;
    parameter.name = name;
    parameter.type = MDCLPar_string;
    parameter.string_par = value;
    return Set(parameter);
}

GSErrCode MDCLParams::SetPointer(const char* name, void* value) {
    API_MDCLParameter parameter;
    parameter.name = name;
    parameter.type = MDCLPar_pointer;
    parameter.ptr_par = value;
    return Set(parameter);
}

GSErrCode MDCLParams::Set(API_MDCLParameter parameter) {
    if (list == nullptr) return APIERR_BADPARS;
    API_MDCLParameter present;
    present.name = parameter.name;
    if (ACAPI_AddOnAddOnCommunication_GetMDCLParameter(list, &present) != NoError)
        return ACAPI_AddOnAddOnCommunication_AddMDCLParameter(list, &parameter);
    if (present.type != parameter.type) return APIERR_BADPARS;
    return ACAPI_AddOnAddOnCommunication_ChangeMDCLParameter(list, &parameter);
}

} // namespace GSAPI
