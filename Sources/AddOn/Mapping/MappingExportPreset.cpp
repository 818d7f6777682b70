#include "MappingExportPreset.hpp"

#include "HostBinding/HostOperations.hpp"
#include "HostBinding/MDCLParams.hpp"
#include "MappingState.hpp"

#include "IFCProperty.hpp"
#include "Owner.hpp"

namespace {

// The host's IFC add-on and its preset commands.
constexpr API_ModulID IfcAddOn{1198731108, 138575850};
constexpr UInt32 HasPresetCode = API_FourCharCode("HAPR");
constexpr UInt32 ClearPresetCode = API_FourCharCode("CLPR");
constexpr UInt32 CreatePresetCode = API_FourCharCode("CRPR");
constexpr UInt32 AddMappingsCode = API_FourCharCode("AEPM");
constexpr Int32 CommandVersion = 1;

constexpr const char* PresetType = "PropertyMappingExportPreset";
constexpr const char* PresetName = "Quillmar Ifc Property Mapping Export Preset Name";

GSErrCode CallIfcAddOn(UInt32 code, const GSAPI::MDCLParams& params, void* result) {
    return ACAPI_AddOnAddOnCommunication_Call(&IfcAddOn, code, CommandVersion, params.GetHandle(), result, true);
}

// The "acPropertyGuid" of every mapping: the first definition of the first custom group; empty when there is none
// or a query fails.
GS::UniString SourcePropertyGuid() {
    GS::Array<API_PropertyGroup> groups;
    if (ACAPI_Property_GetPropertyGroups(groups) != NoError) return {};
    for (const API_PropertyGroup& group : groups) {
        if (group.groupType != API_PropertyCustomGroupType) continue;
        GS::Array<API_PropertyDefinition> definitions;
        if (ACAPI_Property_GetPropertyDefinitions(group.guid, definitions) != NoError || definitions.IsEmpty())
            return {};
        return APIGuid2GSGuid(definitions[0].guid).ToUniString();
    }
    return {};
}

ACAPI::Result<IFCAPI::Property> BuildProperty(const IFCAPI::PropertyBuilder& builder, const GS::UniString& setName,
                                              const PropertyMapData& data) {
    const GS::Array<IFCAPI::Value> none;
    switch (data.propertyKind) {
    case PropertyKind::SingleValue: {
        const ACAPI::Result<IFCAPI::Value> value = builder.CreateDefaultValue(data.dataType);
        if (value.IsErr()) return ACAPI::Result<IFCAPI::Property>::Error(value.GetError());
        return builder.CreatePropertySingleValue(setName, data.name, value.Unwrap());
    }
    case PropertyKind::EnumeratedValue:
        return builder.CreatePropertyEnumeratedValue(setName, data.name, none, none);
    case PropertyKind::BoundedValue: {
        const IFCAPI::Value empty = builder.CreateEmptyValue();
        return builder.CreatePropertyBoundedValue(setName, data.name, empty, empty, empty);
    }
    case PropertyKind::ListValue:
        return builder.CreatePropertyListValue(setName, data.name, none);
    case PropertyKind::TableValue:
        return builder.CreatePropertyTableValue(setName, data.name, none, none);
    }
    return ACAPI::Result<IFCAPI::Property>::Error(APIERR_BADPARS);
}

void AddMappings(const GS::Array<SchemeProperty>& mappingList) {
    const GS::UniString sourceGuid = SourcePropertyGuid();
    if (sourceGuid.IsEmpty()) return;
    // Without the token no builder is had: every property is left out, and the empty list is still sent.
    API_Guid token;
    if (ACAPI_AddOnIdentification_GetOwnToken(&token) != NoError) token = APINULLGuid;
    const ACAPI::Result<IFCAPI::PropertyBuilder> builder = IFCAPI::PropertyBuilder::GetPropertyBuilder(token);

    // All three live until 'AEPM' has returned.
    GS::Array<GS::Owner<GSAPI::MDCLParams>> lists;
    GS::Array<GS::Owner<IFCAPI::Property>> properties;
    GS::Array<GSHandle> handles;
    for (const SchemeProperty& entry : mappingList) {
        if (entry.properties.Get() == nullptr) continue;
        for (const PropertyMapData& data : *entry.properties) {
            GS::Owner<GSAPI::MDCLParams> list = GS::NewOwned<GSAPI::MDCLParams>();
            list->SetCString("ifcType", entry.ifcEntityType.ToCStr(CC_Default).Get());
            list->SetCString("schemeItemToMapType", "Property");
            list->SetCString("acPropertyGuid", sourceGuid.ToCStr(CC_Default).Get());
            if (builder.IsErr()) continue;
            ACAPI::Result<IFCAPI::Property> property = BuildProperty(builder.Unwrap(), entry.propertySetName, data);
            if (property.IsErr()) continue;
            GS::Owner<IFCAPI::Property> owned = GS::NewOwned<IFCAPI::Property>(std::move(property).Unwrap());
            list->SetPointer("ifcProperty", owned.Get());
            handles.Push(list->GetHandle());
            lists.Push(std::move(list));
            properties.Push(std::move(owned));
        }
    }
    GS::UniString presetName(PresetName);
    GSAPI::MDCLParams mappings;
    mappings.SetPointer("presetName", &presetName);
    mappings.SetPointer("newMappings", &handles);
    CallIfcAddOn(AddMappingsCode, mappings, nullptr);
}

} // namespace

void InstallMappingExportPreset(const MappingState& mapping) {
    {
        GS::UniString presetName(PresetName);
        GSAPI::MDCLParams preset;
        preset.SetCString("presetType", PresetType);
        preset.SetPointer("presetName", &presetName);
        bool exists = false;
        if (CallIfcAddOn(HasPresetCode, preset, &exists) == NoError) {
            if (!exists || CallIfcAddOn(ClearPresetCode, preset, nullptr) == NoError)
                CallIfcAddOn(CreatePresetCode, preset, nullptr);
        }
    }
    AddMappings(mapping.GetList());
}
