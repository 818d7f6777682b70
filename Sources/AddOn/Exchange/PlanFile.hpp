#ifndef QUILLMAR_EXCHANGE_PLANFILE_HPP
#define QUILLMAR_EXCHANGE_PLANFILE_HPP

#include "APIDefinitions.hpp"
#include "UniString.hpp"

#include <optional>

// The kinds of plan file the page can ask for, by the page's numbers.
enum class PlanKind : Int32 { Dwg = 1, Png = 2, Jpg = 3, Pdf = 4 };

std::optional<PlanKind> ToPlanKind(Int32 number) noexcept;

// The paper of a PDF plan, from the project box: the extent from the origin (or from below it) at 2000 points a
// metre, plus 20 for the margins. nullopt for a box that gives no finite, positive paper (a project without
// elements leaves the box inverted).
struct PaperSize {
    float width = 0.0f;
    float height = 0.0f;
};
std::optional<PaperSize> ComputePdfPaperSize(const API_Box3D& projectBox) noexcept;

// [main-thread] Writes the current view as a plan file of that kind into the exchange folder, named after the time
// stamp `stamp` (already free of colons); `view2D` is the pictures' flag. Returns the path, "" when the host or its
// translator did not make it.
GS::UniString WritePlanFile(PlanKind kind, const GS::UniString& stamp, bool view2D);

#endif
