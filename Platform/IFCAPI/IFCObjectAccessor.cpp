#include "IFCObjectAccessor.hpp"

#include <atomic>

namespace IFCAPI {

namespace {

std::atomic<HostModel*> installedModel = nullptr;

constexpr GSErrCode NoModel = APIERR_GENERAL;

} // namespace

HostModel::~HostModel() = default;

// The library's other classes reach the model through this.
HostModel* GetInstalledHostModel() noexcept {
    return installedModel;
}

void SetHostModel(HostModel* model) {
    installedModel = model;
}

ACAPI::Result<ObjectAccessor> ObjectAccessor::GetObjectAccessor(const API_Guid& addOnToken) {
    HostModel* model = installedModel;
    if (model == nullptr || !model->IsAddOnToken(addOnToken)) return ACAPI::Result<ObjectAccessor>::Error(NoModel);
    return ACAPI::Result<ObjectAccessor>::Ok(ObjectAccessor(*model));
}

ACAPI::Result<GS::Array<ObjectID>> ObjectAccessor::FindElementsByGlobalId(const GS::UniString& globalId) const {
    return model->FindObjectsByGlobalId(globalId);
}

ACAPI::Result<API_Guid> ObjectAccessor::GetAPIElementID(const ObjectID& object) const {
    return model->GetElementOfObject(object);
}

ACAPI::Result<ObjectID> ObjectAccessor::CreateElementObjectID(const API_Elem_Head& element) const {
    return model->GetObjectOfElement(element.guid);
}

ACAPI::Result<GS::UniString> ObjectAccessor::GetExternalGlobalId(const ObjectID& object) const {
    return model->GetExternalGlobalId(object);
}

ACAPI::Result<GS::UniString> ObjectAccessor::GetGlobalId(const ObjectID& object) const {
    return model->GetGlobalId(object);
}

} // namespace IFCAPI
