#ifndef QUILLMAR_SNAPSHOTEXPORT_HPP
#define QUILLMAR_SNAPSHOTEXPORT_HPP

#include "JSValues.hpp"
#include "Ref.hpp"
#include "UniString.hpp"

// [main-thread] Saves the perspective 3D view as a PNG in the exchange folder, remembers it as the palette's pending
// snapshot and, with "token" and "projectId" in the JSON argument, starts its upload on the thread
// "exportSnapshot". Tells the user when the 3D window is not active or shows a parallel projection. True unless a
// JSON value of the wrong kind raises GS::ClassCastException (after the snapshot was saved and remembered).
GS::Ref<JS::Base> ExportSnapshot(const GS::Ref<JS::Base>& argument);

// [main-thread] Saves the active 3D window as a PNG named after the current time ("2026-12-09T10_20_30.png") in
// the exchange folder; its path, or the empty text when it could not be saved.
GS::UniString SaveSnapshotImage();

#endif
