#ifndef HOSTSIM_IFCADDONSTANDIN_HPP
#define HOSTSIM_IFCADDONSTANDIN_HPP

#include "ParameterLists.hpp"
#include "Transcript.hpp"

#include "IFCProperty.hpp"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace HostSim {

// The module identifier of the host's IFC add-on.
inline constexpr UInt32 IfcAddOnDeveloperID = 1198731108; // 0x47732F64
inline constexpr UInt32 IfcAddOnLocalID = 138575850;      // 0x08427FEA

// The type and name of the preset the host's IFC export applies.
inline constexpr const char* MappingPresetType = "PropertyMappingExportPreset";
inline constexpr const char* MappingPresetName = "Quillmar Ifc Property Mapping Export Preset Name";

// One property mapping of a preset, copied out of the caller's lists when it was added.
struct PresetMapping {
    std::string ifcType;
    std::string schemeItemToMapType;
    std::string acPropertyGuid;
    std::optional<IFCAPI::Property> property; // none when the list had no "ifcProperty"
};

// The part of the host's IFC add-on that other add-ons reach through the add-on command call: presets kept by type
// and name. Commands (version 1): 'HAPR' writes to the bool result whether the preset of "presetType" and
// "presetName" exists; 'CLPR' removes it (fails when absent); 'CRPR' creates it empty (fails when present);
// 'AEPM' appends the mappings of "newMappings" to the mapping preset named "presetName" (fails when absent).
// Every command received is written to the transcript with its parameters, before it runs. [main-thread]
class IfcAddOnStandIn {
public:
    IfcAddOnStandIn(std::shared_ptr<Transcript> transcript, const ParameterLists& lists)
        : transcript(std::move(transcript)), lists(lists) {}

    GSErrCode Call(UInt32 code, Int32 version, API_MDCLParameterList params, void* resultData, bool silent);

    // The mappings of a preset; nullptr when there is no such preset.
    const std::vector<PresetMapping>* FindPreset(const std::string& type, const std::string& name) const;
    void CreatePreset(const std::string& type, const std::string& name) { presets[{type, name}]; }

private:
    Line Describe(API_MDCLParameterList params, int depth) const;
    std::optional<std::pair<std::string, std::string>> PresetKey(API_MDCLParameterList params) const;
    std::optional<std::string> PresetName(API_MDCLParameterList params) const;
    GSErrCode AddMappings(API_MDCLParameterList params);

    std::shared_ptr<Transcript> transcript;
    const ParameterLists& lists;
    std::map<std::pair<std::string, std::string>, std::vector<PresetMapping>> presets;
};

// A value or a property as transcript lines show them.
Line DescribeIfcValue(const IFCAPI::Value& value);
Line DescribeIfcProperty(const IFCAPI::Property& property);

} // namespace HostSim

#endif
