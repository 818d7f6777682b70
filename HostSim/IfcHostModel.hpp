#ifndef HOSTSIM_IFCHOSTMODEL_HPP
#define HOSTSIM_IFCHOSTMODEL_HPP

#include "IFCObjectAccessor.hpp"

#include <string>

namespace HostSim {

class HostServices;

// The host's model as the IFC object accessor sees it: object IDs are the project's object numbers (elements
// first, then the other objects; see ProjectDescription). Every query goes through HostServices::AdmitQuery under
// the accessor's name for it, so a scenario can make it fail and a call from another thread is refused.
// [main-thread]; installed by the active HostServices.
class IfcHostModel final : public IFCAPI::HostModel {
public:
    explicit IfcHostModel(HostServices& services) : services(services) {}

    // The token getOwnToken gives the add-on, until it is released ("GetObjectAccessor").
    bool IsAddOnToken(const API_Guid& token) const override;
    // Every object with that GlobalId, the host's or the external one ("FindElementsByGlobalId").
    ACAPI::Result<GS::Array<IFCAPI::ObjectID>> FindObjectsByGlobalId(const GS::UniString& globalId) const override;
    // An error for objects that are no element ("GetAPIElementID").
    ACAPI::Result<API_Guid> GetElementOfObject(const IFCAPI::ObjectID& object) const override;
    // An error for GUIDs of no element ("CreateElementObjectID").
    ACAPI::Result<IFCAPI::ObjectID> GetObjectOfElement(const API_Guid& element) const override;
    // An error when the object was not imported from an IFC file ("GetExternalGlobalId").
    ACAPI::Result<GS::UniString> GetExternalGlobalId(const IFCAPI::ObjectID& object) const override;
    // The GlobalId the host assigns ("GetGlobalId").
    ACAPI::Result<GS::UniString> GetGlobalId(const IFCAPI::ObjectID& object) const override;

private:
    HostServices& services;
};

} // namespace HostSim

#endif
