#include "ElementIdentity.hpp"

#include "HostHandle.hpp"

#include "HostBinding/HostOperations.hpp"

#include "IFCObjectAccessor.hpp"
#include "JDOMStringWriter.hpp"

#include <optional>
#include <string>

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
    ACAPI::Result<GS::UniString> external = accessor->GetExternalGlobalId(object.Unwrap());
    if (external.IsOk()) return std::move(external).Unwrap();
    ACAPI::Result<GS::UniString> own = accessor->GetGlobalId(object.Unwrap());
    return own.IsOk() ? std::move(own).Unwrap() : GS::UniString();
}

// The text as it comes back from 8-bit text in the host's default character set, which is how descriptors carry
// it: `text` itself when that changes nothing (plain ASCII without NUL is the same in every such set), else the
// converted text, kept in `converted`.
const GS::UniString& InDefaultCharSet(const GS::UniString& text, GS::UniString& converted) {
    for (const char16_t unit : text.ToU16String()) {
        if (unit == 0 || unit >= 0x80) {
            converted = GS::UniString(text.ToCStr(CC_Default).Get());
            return converted;
        }
    }
    return text;
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
    std::u16string text;
    AppendElementDescription(text, element);
    return GS::UniString(std::move(text));
}

void AppendElementDescription(std::u16string& out, const API_Guid& element) {
    const GS::UniString name = GetElementIdText(element);
    AppendElementDescriptor(out, GetElementGlobalId(element), name);
}

GS::UniString MakeElementDescriptor(const GS::UniString& globalId, const GS::UniString& name) {
    std::u16string text;
    AppendElementDescriptor(text, globalId, name);
    return GS::UniString(std::move(text));
}

void AppendElementDescriptor(std::u16string& out, const GS::UniString& globalId, const GS::UniString& name) {
    // The object as the host's JSON writer writes it, members in this order, written straight into the text.
    GS::UniString convertedId;
    GS::UniString convertedName;
    const GS::UniString& id = InDefaultCharSet(globalId, convertedId);
    const GS::UniString& shownName = name.IsEmpty() ? id : InDefaultCharSet(name, convertedName);
    if (out.empty()) out.reserve(24 + id.GetLength() + shownName.GetLength());
    out.append(u"{\"ifcGuid\":");
    JSON::AppendStringLiteral(out, id.ToU16String());
    out.append(u",\"name\":");
    JSON::AppendStringLiteral(out, shownName.ToU16String());
    out += u'}';
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
