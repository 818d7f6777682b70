#ifndef HOSTSIM_IFCFILEWRITER_HPP
#define HOSTSIM_IFCFILEWRITER_HPP

#include "IfcAddOnStandIn.hpp"
#include "ProjectDescription.hpp"

#include <filesystem>
#include <string>
#include <vector>

namespace HostSim {

// A text as an ISO 10303-21 string literal, quotes included: ' and \ doubled, everything outside printable ASCII
// as \X2\ UTF-16 code units \X0\.
std::string StepString(const std::string& utf8);

// Writes an IFC4 file (ISO 10303-21) of the project's listed elements, each once, that IFC tools open as a project:
// the export's time (TIGetTime) in the header and the owner history; SI units (metre, square and cubic metre,
// radian); IFCPROJECT > IFCSITE > IFCBUILDING > IFCBUILDINGSTOREY with every element contained in the storey; one
// entity per element (IFCWALL, IFCSLAB, IFCDOOR by its "ifcType", otherwise IFCBUILDINGELEMENTPROXY) with its
// GlobalId, its element ID as name and its bounds as a bounding box; and for each property set of the mappings
// whose "ifcType" names the element's entity type (case-insensitive) an IFCPROPERTYSET whose properties (each name
// once) carry the element's own values of the mapped property definitions, or the mapping's defaults. Elements
// whose sets come out alike share them. Every object the export makes gets a new GlobalId. False when the file
// cannot be written.
bool WriteIfcFile(const std::filesystem::path& file, const ProjectDescription& project,
                  const std::vector<const ProjectElement*>& elements, const std::vector<PresetMapping>& mappings,
                  const std::string& translatorName);

} // namespace HostSim

#endif
