#ifndef HOSTSIM_PROJECTDESCRIPTION_HPP
#define HOSTSIM_PROJECTDESCRIPTION_HPP

#include "APIDefinitions.hpp"

#include <nlohmann/json.hpp>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace HostSim {

// One model element of the simulated project.
struct ProjectElement {
    API_Guid guid;
    std::string guidText; // as written in the description
    std::string elementId;
    std::string globalId; // the 22-character IFC form
    API_ElemTypeID typeID = 1;
    std::optional<API_Box3D> bounds; // none: the host cannot give the element's 3D bounds
};

// The project open in the host: its name (none when it was never saved) and its elements.
struct ProjectDescription {
    std::optional<std::string> name;
    std::vector<ProjectElement> elements;

    const ProjectElement* FindElement(const API_Guid& guid) const;
};

// Reads a description: {"name": "..." | null, "elements": [{"guid", "elementId", "globalId", "typeID"?, "bounds"?:
// {"xMin", "yMin", "zMin", "xMax", "yMax", "zMax"}}]}. Throws std::runtime_error naming what is wrong.
ProjectDescription ParseProjectDescription(const nlohmann::json& description);
ProjectDescription LoadProjectDescription(const std::filesystem::path& file);

// True for the 22 characters of the IFC GlobalId alphabet (0-9, A-Z, a-z, "_" and "$").
bool IsIfcGlobalId(const std::string& text);

} // namespace HostSim

#endif
