#include "IfcAddOnStandIn.hpp"

#include "ScriptValues.hpp"

#include "Array.hpp"
#include "UniString.hpp"

namespace HostSim {

namespace {

constexpr UInt32 HasPreset = API_FourCharCode("HAPR");
constexpr UInt32 ClearPreset = API_FourCharCode("CLPR");
constexpr UInt32 CreatePresetCode = API_FourCharCode("CRPR");
constexpr UInt32 AddMappingsCode = API_FourCharCode("AEPM");

const char* KindName(IFCAPI::Property::Kind kind) {
    switch (kind) {
    case IFCAPI::Property::Kind::SingleValue:
        return "single";
    case IFCAPI::Property::Kind::EnumeratedValue:
        return "enumerated";
    case IFCAPI::Property::Kind::BoundedValue:
        return "bounded";
    case IFCAPI::Property::Kind::ListValue:
        return "list";
    case IFCAPI::Property::Kind::TableValue:
        return "table";
    }
    return "?";
}

Line DescribeValues(const GS::Array<IFCAPI::Value>& values) {
    Line result = Line::array();
    for (const IFCAPI::Value& value : values)
        result.push_back(DescribeIfcValue(value));
    return result;
}

} // namespace

Line DescribeIfcValue(const IFCAPI::Value& value) {
    if (value.IsEmpty()) return nullptr;
    Line content;
    std::visit(
        [&content](const auto& v) {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, GS::UniString>) {
                content = ToUtf8(v);
            } else if constexpr (!std::is_same_v<T, std::monostate>) {
                content = v;
            }
        },
        value.GetContent());
    return Line{{"type", ToUtf8(value.GetTypeName())}, {"value", std::move(content)}};
}

Line DescribeIfcProperty(const IFCAPI::Property& property) {
    Line line{{"propertySet", ToUtf8(property.GetPropertySetName())},
              {"name", ToUtf8(property.GetName())},
              {"kind", KindName(property.GetKind())},
              {"values", DescribeValues(property.GetValues())}};
    if (!property.GetSecondValues().IsEmpty()) line["secondValues"] = DescribeValues(property.GetSecondValues());
    return line;
}

Line IfcAddOnStandIn::Describe(API_MDCLParameterList params, int depth) const {
    const StoredParameterList* list = lists.Find(params);
    if (list == nullptr) return "not a parameter list";
    Line result = Line::object();
    for (const StoredParameter& parameter : *list) {
        Line& value = result[parameter.name];
        value = DescribeParameterValue(parameter);
        // The IFC add-on knows what its pointer parameters point to.
        if (parameter.type != MDCLPar_pointer || parameter.pointerValue == nullptr) continue;
        if (parameter.name == "presetName") {
            value = ToUtf8(*static_cast<const GS::UniString*>(parameter.pointerValue));
        } else if (parameter.name == "ifcProperty") {
            value = DescribeIfcProperty(*static_cast<const IFCAPI::Property*>(parameter.pointerValue));
        } else if (parameter.name == "newMappings" && depth == 0) {
            value = Line::array();
            for (GSHandle handle : *static_cast<const GS::Array<GSHandle>*>(parameter.pointerValue))
                value.push_back(Describe(handle, depth + 1));
        }
    }
    return result;
}

std::optional<std::string> IfcAddOnStandIn::PresetName(API_MDCLParameterList params) const {
    const StoredParameter* name = lists.Find(params, "presetName");
    if (name == nullptr || name->type != MDCLPar_pointer || name->pointerValue == nullptr) return std::nullopt;
    return ToUtf8(*static_cast<const GS::UniString*>(name->pointerValue));
}

std::optional<std::pair<std::string, std::string>> IfcAddOnStandIn::PresetKey(API_MDCLParameterList params) const {
    const StoredParameter* type = lists.Find(params, "presetType");
    const std::optional<std::string> name = PresetName(params);
    if (type == nullptr || type->type != MDCLPar_string || !name) return std::nullopt;
    return std::make_pair(type->stringValue, *name);
}

GSErrCode IfcAddOnStandIn::Call(UInt32 code, Int32 version, API_MDCLParameterList params, void* resultData,
                                bool silent) {
    Line call{{"code", ToUtf8(API_FourCharCodeToText(code))}, {"version", version}, {"silent", silent}};
    call["params"] = params == nullptr ? Line(nullptr) : Describe(params, 0);
    transcript->Write(Line{{"addOnCommand", std::move(call)}});

    const bool known = code == HasPreset || code == ClearPreset || code == CreatePresetCode || code == AddMappingsCode;
    if (!known || version != 1) return APIERR_MODULCMDNOTSUPPORTED;
    if (code == AddMappingsCode) return AddMappings(params);

    const auto key = PresetKey(params);
    if (!key) return APIERR_BADPARS;
    const bool exists = presets.contains(*key);
    if (code == HasPreset) {
        if (resultData == nullptr) return APIERR_BADPARS;
        *static_cast<bool*>(resultData) = exists;
        return NoError;
    }
    if (code == ClearPreset) {
        if (!exists) return APIERR_GENERAL;
        presets.erase(*key);
        return NoError;
    }
    if (exists) return APIERR_GENERAL;
    presets[*key];
    return NoError;
}

GSErrCode IfcAddOnStandIn::AddMappings(API_MDCLParameterList params) {
    const std::optional<std::string> name = PresetName(params);
    const StoredParameter* mappings = lists.Find(params, "newMappings");
    if (!name || mappings == nullptr || mappings->type != MDCLPar_pointer || mappings->pointerValue == nullptr)
        return APIERR_BADPARS;
    const auto preset = presets.find({MappingPresetType, *name});
    if (preset == presets.end()) return APIERR_GENERAL;
    std::vector<PresetMapping> added;
    for (GSHandle handle : *static_cast<const GS::Array<GSHandle>*>(mappings->pointerValue)) {
        if (lists.Find(handle) == nullptr) return APIERR_BADPARS;
        PresetMapping mapping;
        const auto text = [&](const char* key) {
            const StoredParameter* parameter = lists.Find(handle, key);
            return parameter != nullptr && parameter->type == MDCLPar_string ? parameter->stringValue : std::string();
        };
        mapping.ifcType = text("ifcType");
        mapping.schemeItemToMapType = text("schemeItemToMapType");
        mapping.acPropertyGuid = text("acPropertyGuid");
        const StoredParameter* property = lists.Find(handle, "ifcProperty");
        if (property != nullptr && property->type == MDCLPar_pointer && property->pointerValue != nullptr)
            mapping.property = *static_cast<const IFCAPI::Property*>(property->pointerValue);
        added.push_back(std::move(mapping));
    }
    preset->second.insert(preset->second.end(), added.begin(), added.end());
    return NoError;
}

const std::vector<PresetMapping>* IfcAddOnStandIn::FindPreset(const std::string& type, const std::string& name) const {
    const auto it = presets.find({type, name});
    return it == presets.end() ? nullptr : &it->second;
}

} // namespace HostSim
