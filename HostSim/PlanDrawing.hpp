#ifndef HOSTSIM_PLANDRAWING_HPP
#define HOSTSIM_PLANDRAWING_HPP

#include "ProjectDescription.hpp"
#include "View3D.hpp"

#include "APIDefinitions.hpp"

#include <cstddef>
#include <filesystem>
#include <optional>

namespace HostSim {

// The floor plan as the host draws it: each element with bounds as its footprint (the x-y rectangle of its 3D
// bounds), seen from above with north up, fitted to the output with the drawing's aspect kept. Elements without
// bounds, or whose bounds are not finite, are left out. Every writer takes time and memory linear in the number of
// elements (plus the picture's pixels) and, when it answers false, leaves no file behind.

enum class PlanPictureFormat { Png, Jpeg };

// Pictures: a window of PlanWindowWidth x PlanWindowHeight pixels; with `crop` the picture is cut to the drawing,
// its longer side PlanWindowWidth pixels. The drawing keeps PlanPictureMargin pixels clear on each side.
inline constexpr int PlanWindowWidth = 1024;
inline constexpr int PlanWindowHeight = 768;
inline constexpr int PlanPictureMargin = 8;

// PDF pages: each side at most this many points (the PDF writer's coordinates lose precision beyond it) and the
// drawing area inside the margins at least PlanPdfMinimumArea points each way.
inline constexpr double PlanPdfMaximumSide = 4.0e6;
inline constexpr double PlanPdfMinimumArea = 1.0;

// How many footprints the plan has: the elements with finite bounds.
std::size_t CountPlanFootprints(const ProjectDescription& project);

// Colour depth APIColorDepth_TC32 (RGBA, the background transparent) or APIColorDepth_TC24 (RGB, the background
// white); a JPEG is always RGB. Other depths are unusable.
bool UsablePictureParameters(const API_SavePars_Picture& params) noexcept;
// The size WritePlanPicture gives the picture; none when the parameters are unusable or the drawing's extent is not
// finite.
std::optional<PictureSize> GetPlanPictureSize(const ProjectDescription& project, const API_SavePars_Picture& params);
// Finite sizes and margins, margins not negative, sides at most PlanPdfMaximumSide and a drawing area of at least
// PlanPdfMinimumArea inside the margins.
bool UsablePdfParameters(const API_SavePars_Pdf& params) noexcept;

// false when the file cannot be written or the parameters are unusable
bool WritePlanPicture(const std::filesystem::path& file, const ProjectDescription& project,
                      const API_SavePars_Picture& params, PlanPictureFormat format);
// A vector PDF of one page of exactly sizeX x sizeY points; the drawing fits inside the margins.
bool WritePlanPdf(const std::filesystem::path& file, const ProjectDescription& project, const API_SavePars_Pdf& params);
// A DXF drawing in model units (metres): each footprint a closed polyline on the layer of its element type
// ("TYPE_<typeID>").
bool WritePlanDxf(const std::filesystem::path& file, const ProjectDescription& project);

} // namespace HostSim

#endif
