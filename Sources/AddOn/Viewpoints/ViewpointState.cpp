#include "ViewpointState.hpp"

void ViewpointState::SetSnapshotResponse(const GS::UniString& imageId) {
    std::lock_guard lock(mutex);
    snapshotResponse = imageId;
}

std::optional<GS::UniString> ViewpointState::GetSnapshotResponse() const {
    std::lock_guard lock(mutex);
    return snapshotResponse;
}
