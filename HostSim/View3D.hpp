#ifndef HOSTSIM_VIEW3D_HPP
#define HOSTSIM_VIEW3D_HPP

#include "ProjectDescription.hpp"

#include "APIDefinitions.hpp"

#include <nlohmann/json.hpp>

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <unordered_set>
#include <vector>

namespace HostSim {

// The zoom a fit ('ZOOM') leaves on the picture: projected points p become scale * p + (dx, dy), in pixels.
struct PictureFit {
    double scale = 1.0;
    double dx = 0.0;
    double dy = 0.0;
};

// What the host's 3D window shows from where: the projection, the window's size and mapping, the zoom of the last
// fit and the project's survey point transformation (none: the project has no survey point).
struct View3DState {
    View3DState();

    API_3DProjectionInfo projection;
    API_3DWindowInfo window;
    // A fit is made for one camera and mapping: a change of either ends it, as the next zoom on screen would.
    std::optional<PictureFit> fit;
    std::optional<API_Tranmat> survey;
};

// What else decides a picture besides the view: the cutting planes in force (empty when they are off; each keeps
// a.x + b.y + c.z <= d and cuts away the side its normal points to) and the elements drawn highlighted.
struct PictureScene {
    std::vector<API_3DCutShapeType> cuts;
    std::unordered_set<API_Guid, ApiGuidHash> highlighted;
};

// The picture's colours: background, faces (lit between 85 % and 100 % by how squarely they face the camera),
// faces of highlighted elements, and edges.
using Colour = std::array<std::uint8_t, 3>;
inline constexpr Colour BackgroundColour{255, 255, 255};
inline constexpr Colour FaceColour{225, 225, 225};
inline constexpr Colour HighlightColour{110, 170, 255};
inline constexpr Colour EdgeColour{0, 0, 0};

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

// The zoom that fits what the 3D window shows (the shown elements' boxes less what the cutting planes cut away)
// into the picture with a margin of 5 % on each side; none when nothing of it is in view.
std::optional<PictureFit> FitView(const ProjectDescription& project, const View3DState& view,
                                  const PictureScene& scene);

// Writes a PNG picture of the 3D window as the user sees it: the bounding boxes of the shown elements, less what
// the cutting planes cut away, as shaded faces with their visible edges, seen from the perspective camera or
// through the parallel mapping (the window's scales and offsets when it uses them), with the zoom of the last fit;
// highlighted elements in the highlight colour. False when the file cannot be written.
bool WriteViewPicture(const std::filesystem::path& file, const ProjectDescription& project, const View3DState& view,
                      const PictureScene& scene);

} // namespace HostSim

#endif
