#ifndef QUILLMAR_VIEWPOINTCAPTURE_HPP
#define QUILLMAR_VIEWPOINTCAPTURE_HPP

#include "JSValues.hpp"
#include "Ref.hpp"
#include "UniString.hpp"

// [main-thread] The 3D window's viewpoint as JSON text: camera, selection, visibility, section planes, the last
// uploaded snapshot's image id and, once after each snapshot, the snapshot itself. Empty while no snapshot has
// been uploaded or when the host gives no 3D projection. Clears the palette's pending snapshot file.
GS::Ref<JS::Base> AddViewpoint(const GS::Ref<JS::Base>& argument);

// [main-thread] The same text for a given image id, consuming *pendingSnapshotFile (emptied when it was set);
// empty when the host gives no 3D projection.
GS::UniString CaptureViewpoint(const GS::UniString& imageId, GS::UniString* pendingSnapshotFile);

// "data:image/png;base64," and the file's bytes in Base64; empty when the file cannot be read or is empty.
GS::UniString EncodeSnapshotFile(const GS::UniString& path);

#endif
