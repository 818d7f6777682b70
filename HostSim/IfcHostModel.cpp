#include "IfcHostModel.hpp"

#include "HostServices.hpp"
#include "ScriptValues.hpp"

#include <algorithm>
#include <array>
#include <string>
#include <string_view>

namespace HostSim {

namespace {

template <typename T>
ACAPI::Result<T> Refused() {
    return ACAPI::Result<T>::Error(APIERR_GENERAL);
}

} // namespace

bool IfcHostModel::IsAddOnToken(const API_Guid& token) const {
    if (!services.AdmitQuery("GetObjectAccessor")) return false;
    return token == services.GetState().ownToken;
}

ACAPI::Result<GS::Array<IFCAPI::ObjectID>> IfcHostModel::FindObjectsByGlobalId(const GS::UniString& globalId) const {
    using R = ACAPI::Result<GS::Array<IFCAPI::ObjectID>>;
    if (!services.AdmitQuery("FindElementsByGlobalId")) return Refused<GS::Array<IFCAPI::ObjectID>>();
    // GlobalIds are short ASCII: those go to the index without a converted copy on the heap.
    const std::u16string& units = globalId.ToU16String();
    std::array<char, 64> ascii;
    std::string converted;
    std::string_view key;
    if (units.size() <= ascii.size() && std::all_of(units.begin(), units.end(), [](char16_t u) { return u < 0x80; })) {
        std::transform(units.begin(), units.end(), ascii.begin(), [](char16_t u) { return static_cast<char>(u); });
        key = std::string_view(ascii.data(), units.size());
    } else {
        converted = ToUtf8(globalId);
        key = converted;
    }
    GS::Array<IFCAPI::ObjectID> objects;
    services.GetState().project.ForEachObject(key, [&objects](ObjectNumber number) { objects.PushNew(number); });
    return R::Ok(std::move(objects));
}

ACAPI::Result<API_Guid> IfcHostModel::GetElementOfObject(const IFCAPI::ObjectID& object) const {
    if (!services.AdmitQuery("GetAPIElementID")) return Refused<API_Guid>();
    const ProjectElement* element = services.GetState().project.ElementOfObject(object.GetValue());
    if (element == nullptr) return Refused<API_Guid>();
    return ACAPI::Result<API_Guid>::Ok(element->guid);
}

ACAPI::Result<IFCAPI::ObjectID> IfcHostModel::GetObjectOfElement(const API_Guid& element) const {
    if (!services.AdmitQuery("CreateElementObjectID")) return Refused<IFCAPI::ObjectID>();
    const std::optional<ObjectNumber> number = services.GetState().project.ObjectOfElement(element);
    if (!number) return Refused<IFCAPI::ObjectID>();
    return ACAPI::Result<IFCAPI::ObjectID>::Ok(IFCAPI::ObjectID(*number));
}

ACAPI::Result<GS::UniString> IfcHostModel::GetExternalGlobalId(const IFCAPI::ObjectID& object) const {
    if (!services.AdmitQuery("GetExternalGlobalId")) return Refused<GS::UniString>();
    const ProjectElement* element = services.GetState().project.ElementOfObject(object.GetValue());
    if (element == nullptr || !element->externalGlobalId) return Refused<GS::UniString>();
    return ACAPI::Result<GS::UniString>::Ok(ToUniString(*element->externalGlobalId));
}

ACAPI::Result<GS::UniString> IfcHostModel::GetGlobalId(const IFCAPI::ObjectID& object) const {
    if (!services.AdmitQuery("GetGlobalId")) return Refused<GS::UniString>();
    const ProjectDescription& project = services.GetState().project;
    if (const ProjectElement* element = project.ElementOfObject(object.GetValue()))
        return ACAPI::Result<GS::UniString>::Ok(ToUniString(element->globalId));
    if (const ProjectObject* other = project.OtherObject(object.GetValue()))
        return ACAPI::Result<GS::UniString>::Ok(ToUniString(other->globalId));
    return Refused<GS::UniString>();
}

} // namespace HostSim
