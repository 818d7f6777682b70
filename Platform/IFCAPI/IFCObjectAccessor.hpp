#ifndef IFCAPI_IFCOBJECTACCESSOR_HPP
#define IFCAPI_IFCOBJECTACCESSOR_HPP

#include "ACAPIResult.hpp"
#include "IFCAPIExport.hpp"

#include "APIDefinitions.hpp"
#include "Array.hpp"
#include "UniString.hpp"

namespace IFCAPI {

// An object of the model's IFC view: an element, or something else the IFC export writes (a space, a storey...).
class IFCAPI_DLL_EXPORT ObjectID {
public:
    ObjectID() = default;
    explicit ObjectID(UInt64 value) : value(value) {}
    UInt64 GetValue() const noexcept { return value; }
    friend bool operator==(const ObjectID&, const ObjectID&) = default;

private:
    UInt64 value = 0;
};

class HostModel;

// Answers the model's IFC identity questions. Get one per use from GetObjectAccessor; it holds no state of the
// model, so its answers follow the current model. [main-thread]
class IFCAPI_DLL_EXPORT ObjectAccessor {
public:
    // The accessor for the add-on whose token (the host's own-token query) is given; an error for an unknown token
    // or when no host model is installed.
    static ACAPI::Result<ObjectAccessor> GetObjectAccessor(const API_Guid& addOnToken);

    // Every object carrying the GlobalId, the host's or one kept from an imported file, in the host's order.
    ACAPI::Result<GS::Array<ObjectID>> FindElementsByGlobalId(const GS::UniString& globalId) const;
    // The element an object stands for; an error for objects that are not elements.
    ACAPI::Result<API_Guid> GetAPIElementID(const ObjectID& object) const;
    ACAPI::Result<ObjectID> CreateElementObjectID(const API_Elem_Head& element) const;
    // The GlobalId the element carried in the IFC file it came from; an error when it did not come from one.
    ACAPI::Result<GS::UniString> GetExternalGlobalId(const ObjectID& object) const;
    // The GlobalId the host assigns.
    ACAPI::Result<GS::UniString> GetGlobalId(const ObjectID& object) const;

private:
    explicit ObjectAccessor(HostModel& model) : model(&model) {}
    HostModel* model;
};

// How the library reaches the host's model: the host installs one before it loads add-ons. [main-thread]
class IFCAPI_DLL_EXPORT HostModel {
public:
    virtual ~HostModel();
    virtual bool IsAddOnToken(const API_Guid& token) const = 0;
    virtual ACAPI::Result<GS::Array<ObjectID>> FindObjectsByGlobalId(const GS::UniString& globalId) const = 0;
    virtual ACAPI::Result<API_Guid> GetElementOfObject(const ObjectID& object) const = 0;
    virtual ACAPI::Result<ObjectID> GetObjectOfElement(const API_Guid& element) const = 0;
    virtual ACAPI::Result<GS::UniString> GetExternalGlobalId(const ObjectID& object) const = 0;
    virtual ACAPI::Result<GS::UniString> GetGlobalId(const ObjectID& object) const = 0;
};

// nullptr removes the model; the host keeps it alive while installed.
IFCAPI_DLL_EXPORT void SetHostModel(HostModel* model);

} // namespace IFCAPI

#endif
