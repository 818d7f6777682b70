#ifndef QUILLMAR_VIEWPOINTS_VIEWPOINTSTATE_HPP
#define QUILLMAR_VIEWPOINTS_VIEWPOINTSTATE_HPP

#include "UniString.hpp"

#include <mutex>
#include <optional>

// What the viewpoint calls keep between them: the image id of the last snapshot upload (written by its job, read by
// the viewpoint capture, under the state's lock) and the snapshot file that the next viewpoint embeds.
class ViewpointState {
public:
    // [thread-safe] The image id of the last snapshot upload that ended; "" when that upload failed (its viewpoint
    // still embeds the picture). Empty until the first one ends.
    void SetSnapshotResponse(const GS::UniString& imageId);
    std::optional<GS::UniString> GetSnapshotResponse() const;

    // [main-thread] Set by the snapshot export, cleared by the viewpoint capture.
    GS::UniString pendingSnapshotFile;

private:
    mutable std::mutex mutex;
    std::optional<GS::UniString> snapshotResponse;
};

#endif
