#ifndef QUILLMAR_VIEWPOINTAPPLICATION_HPP
#define QUILLMAR_VIEWPOINTAPPLICATION_HPP

#include "ViewpointData.hpp"

#include "JSValues.hpp"
#include "Ref.hpp"

#include <optional>

// [main-thread] Reads the page's viewpoint object and applies it to the 3D window: projection and camera, shown
// elements, selection, section planes, then activates the 3D window. False, with nothing changed, when the
// viewpoint cannot be read; true otherwise, whatever the host then refuses.
GS::Ref<JS::Base> SelectViewpoint(const GS::Ref<JS::Base>& argument);

// [main-thread] The viewpoint in the project's own coordinates (the survey point transformation undone); none
// when a member is missing or of the wrong kind.
std::optional<ViewpointData> ReadViewpoint(const GS::Ref<JS::Base>& argument);
// [main-thread] Host errors after the projection change are ignored, except that a failed "show all" stops it.
void ApplyViewpoint(const ViewpointData& viewpoint);

#endif
