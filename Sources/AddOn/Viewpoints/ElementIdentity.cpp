#include "ElementIdentity.hpp"

#include "HostHandle.hpp"

#include "HostBinding/HostOperations.hpp"

#include "IFCObjectAccessor.hpp"
#include "JDOMStringWriter.hpp"
#include "JSONValues.hpp"

#include <optional>

namespace {

// A fresh accessor for this add-on; empty when the host gives none.
std::optional<IFCAPI::ObjectAccessor> GetAccessor() {
    API_Guid token;
    if (ACAPI_AddOnIdentification_GetOwnToken(&token) != NoError) return std::nullopt;
    ACAPI::Result<IFCAPI::ObjectAccessor> accessor = IFCAPI::ObjectAccessor::GetObjectAccessor(token);
    if (accessor.IsErr()) return std::nullopt;
    return std::move(accessor).Unwrap();
}

GS::UniString GetElementIdText(const API_Guid& element) {
    GS::UniString text;
    if (ACAPI_Element_GetElementInfoString(&element, &text) != NoError) return GS::UniString();
    return text;
}

GS::UniString GetElementGlobalId(const API_Guid& element) {
    const std::optional<IFCAPI::ObjectAccessor> accessor = GetAccessor();
    if (!accessor) return GS::UniString();
    API_Elem_Head head;
    head.guid = element;
    const ACAPI::Result<IFCAPI::ObjectID> object = accessor->CreateElementObjectID(head);
    if (object.IsErr()) return GS::UniString();
    // The GlobalId the element brought from its IFC file wins over the one the host assigns.
    const ACAPI::Result<GS::UniString> external = accessor->GetExternalGlobalId(object.Unwrap());
    if (external.IsOk()) return external.Unwrap();
    const ACAPI::Result<GS::UniString> own = accessor->GetGlobalId(object.Unwrap());
    return own.IsOk() ? own.Unwrap() : GS::UniString();
}

} // namespace

API_Guid ResolveGlobalId(const GS::UniString& globalId) {
    const std::optional<IFCAPI::ObjectAccessor> accessor = GetAccessor();
    if (!accessor) return APINULLGuid;
    const ACAPI::Result<GS::Array<IFCAPI::ObjectID>> objects = accessor->FindElementsByGlobalId(globalId);
    if (objects.IsErr()) return APINULLGuid;
    for (const IFCAPI::ObjectID& object : objects.Unwrap()) {
        const ACAPI::Result<API_Guid> element = accessor->GetAPIElementID(object);
        if (element.IsOk()) return element.Unwrap();
    }
    return APINULLGuid;
}

GS::Array<API_Guid> ResolveGlobalIds(const GS::Array<GS::UniString>& globalIds, GS::Array<GS::UniString>* unresolved) {
    GS::Array<API_Guid> elements;
    elements.SetCapacity(globalIds.GetSize());
    for (const GS::UniString& globalId : globalIds) {
        const API_Guid element = ResolveGlobalId(globalId);
        if (element != APINULLGuid) {
            elements.Push(element);
        } else if (unresolved != nullptr) {
            unresolved->Push(globalId);
        }
    }
    return elements;
}

GS::UniString DescribeElement(const API_Guid& element) {
    const GS::UniString name = GetElementIdText(element);
    return MakeElementDescriptor(GetElementGlobalId(element), name);
}

GS::UniString MakeElementDescriptor(const GS::UniString& globalId, const GS::UniString& name) {
    GS::Ref<JSON::ObjectValue> descriptor = GS::NewRef<JSON::ObjectValue>();
    descriptor->Add("ifcGuid", globalId.ToCStr(CC_Default).Get());
    descriptor->Add("name", (name.IsEmpty() ? globalId : name).ToCStr(CC_Default).Get());
    JSON::JDOMStringWriter writer(false, 10);
    writer.Write(descriptor);
    return writer.GetString();
}

GS::Array<API_Neig> NeigsOf(const GS::Array<API_Guid>& elements) {
    GS::Array<API_Neig> neigs;
    neigs.SetCapacity(elements.GetSize());
    for (const API_Guid& element : elements) {
        API_Neig neig;
        neig.guid = element;
        neigs.Push(neig);
    }
    return neigs;
}

GS::Array<GS::UniString> SelectedDescriptors() {
    API_SelectionInfo info;
    const HostHandleGuard marquee(info.marquee.coords);
    GS::Array<API_Neig> selection;
    GS::Array<GS::UniString> descriptors;
    if (ACAPI_Selection_Get(&info, &selection, false, false, 0) == NoError) {
        for (const API_Neig& entry : selection)
            descriptors.Push(DescribeElement(entry.guid));
    }
    return descriptors;
}

void ReplaceSelection(const GS::Array<API_Guid>& elements) {
    const GS::Array<API_Neig> entries = NeigsOf(elements);
    // A selection the host refuses stays as it was; the page's functions report success regardless.
    (void)ACAPI_Selection_DeselectAll();
    if (!entries.IsEmpty()) (void)ACAPI_Selection_Select(entries, true);
}
