#ifndef HOSTSIM_VIEW3D_HPP
#define HOSTSIM_VIEW3D_HPP

#include "ProjectDescription.hpp"

#include "APIDefinitions.hpp"

#include <nlohmann/json.hpp>

#include <filesystem>
#include <optional>

namespace HostSim {

// What the host's 3D window shows from where: the projection, the window's size and mapping, and the project's
// survey point transformation (none: the project has no survey point).
struct View3DState {
    View3DState();

    API_3DProjectionInfo projection;
    API_3DWindowInfo window;
    std::optional<API_Tranmat> survey;
};

// The transcript forms: {"perspective": true, "camera": [x, y, z], "target": [x, y, z], "viewCone": deg} or
// {"perspective": false, "orientation": [right, up, direction as nine numbers]}; the window as {"size": [w, h],
// "useScales": bool, "scales": [h, v], "offsets": [x, y]}; the survey as its twelve numbers or null.
nlohmann::json ProjectionLine(const API_3DProjectionInfo& projection);
nlohmann::json WindowLine(const API_3DWindowInfo& window);
nlohmann::json SurveyLine(const std::optional<API_Tranmat>& survey);

// Scenario settings in the same forms ("orientation" may also be the whole twelve-number matrix); what a setting
// leaves out stays as it is. Throws std::invalid_argument naming the fault.
API_3DProjectionInfo ParseProjection(const nlohmann::json& value, const API_3DProjectionInfo& current);
API_3DWindowInfo ParseWindow(const nlohmann::json& value, const API_3DWindowInfo& current);
std::optional<API_Tranmat> ParseSurvey(const nlohmann::json& value);

// Equal field by field (the records' padding is not compared).
bool SameProjection(const API_3DProjectionInfo& a, const API_3DProjectionInfo& b) noexcept;
bool SameWindow(const API_3DWindowInfo& a, const API_3DWindowInfo& b) noexcept;

// The size a picture of the 3D window gets: the window's, or 640 x 480 when the window has no size.
struct PictureSize {
    int width = 0;
    int height = 0;
};
PictureSize GetPictureSize(const API_3DWindowInfo& window) noexcept;

// Writes a PNG picture of the 3D window: the edges of the bounding boxes of the shown elements, seen from the
// projection's camera, black on white. False when the file cannot be written.
bool WriteViewPicture(const std::filesystem::path& file, const ProjectDescription& project, const View3DState& view);

} // namespace HostSim

#endif
