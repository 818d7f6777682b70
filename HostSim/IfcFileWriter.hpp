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

// Writes an IFC4 file (ISO 10303-21) of the project's listed elements: one IFCPROJECT, one entity per element
// (IFCWALL, IFCSLAB, IFCDOOR by its "ifcType", otherwise IFCBUILDINGELEMENTPROXY) with its GlobalId and its
// element ID as name and, for each property set of the mappings whose "ifcType" names the element's entity type
// (case-insensitive), an IFCPROPERTYSET of those properties related to those elements. Same input, same bytes.
// False when the file cannot be written.
bool WriteIfcFile(const std::filesystem::path& file, const ProjectDescription& project,
                  const std::vector<const ProjectElement*>& elements, const std::vector<PresetMapping>& mappings,
                  const std::string& translatorName);

} // namespace HostSim

#endif
