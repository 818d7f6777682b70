#include "PublishState.hpp"

UInt32 PublishState::StartRun(GS::Array<PublishSetItem> items) {
    std::lock_guard lock(mutex);
    publishSetItems = std::move(items);
    PublishUploadCounter = 0;
    return ++run;
}

void PublishState::MarkUploaded(UInt32 itemRun, UIndex index, const GS::UniString& documentId) {
    std::lock_guard lock(mutex);
    if (itemRun != run || index >= publishSetItems.GetSize()) return;
    publishSetItems[index].documentId = documentId;
    publishSetItems[index].uploaded = true;
}

bool PublishState::CountFinished(UInt32 itemRun) {
    // Increment and comparison in one step, so that jobs ending together complete the run exactly once.
    std::lock_guard lock(mutex);
    if (itemRun != run) return false;
    ++PublishUploadCounter;
    return PublishUploadCounter == publishSetItems.GetSize();
}

GS::Array<PublishSetItem> PublishState::GetItems() const {
    std::lock_guard lock(mutex);
    return publishSetItems;
}

UInt32 PublishState::GetUploadCounter() const {
    std::lock_guard lock(mutex);
    return PublishUploadCounter;
}
