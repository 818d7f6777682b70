#ifndef QUILLMAR_MAIN_HPP
#define QUILLMAR_MAIN_HPP

#include "APIDefinitions.hpp"

// Entry points and handlers of the add-on, reached through the guards of the host binding. [main-thread]

API_AddonType DescribeAddOn(API_EnvirParams* envir);
GSErrCode RegisterMenus();
GSErrCode InitializeAddOn();
GSErrCode ReleaseAddOn();

GSErrCode MenuCommandHandler(const API_MenuParams* menuParams);
GSErrCode SelectionChangeHandler(const API_Neig* selElemNeig);
GSErrCode ProjectEventHandler(API_NotifyEventID notifID, Int32 param);

// Centre of the project's bounding box, refreshed on every project-opened event; (0, 0, 0) until then.
struct ModelReferenceCentre {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
};
const ModelReferenceCentre& GetModelReferenceCentre();

#endif
