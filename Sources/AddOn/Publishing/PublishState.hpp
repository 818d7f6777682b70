#ifndef QUILLMAR_PUBLISHING_PUBLISHSTATE_HPP
#define QUILLMAR_PUBLISHING_PUBLISHSTATE_HPP

#include "Transfer/PublishSetItem.hpp"

#include "Array.hpp"
#include "UniString.hpp"

#include <mutex>

// The last publish record: which project and publisher set the page worked on and its items (a JSON text).
struct PublishRecord {
    GS::UniString projectId;
    GS::UniString publishSet;
    GS::UniString publishItems = "[]";
};

// The publishing state: the record (main thread only) and the documents of the current publishing run with the
// count of its finished uploads, which the run's jobs update from their threads under the state's lock.
class PublishState {
public:
    // [main-thread]
    PublishRecord publishRecord;

    // [thread-safe] Replaces the items for a new run and resets the count; returns the run's number. Jobs of an
    // earlier run no longer write or count.
    UInt32 StartRun(GS::Array<PublishSetItem> items);
    // Marks item `index` of run `run` as uploaded as document `documentId`.
    void MarkUploaded(UInt32 run, UIndex index, const GS::UniString& documentId);
    // Counts one finished upload of run `run`; true for exactly the call whose count reaches the number of items.
    bool CountFinished(UInt32 run);
    GS::Array<PublishSetItem> GetItems() const;
    UInt32 GetUploadCounter() const;

private:
    mutable std::mutex mutex;
    GS::Array<PublishSetItem> publishSetItems;
    UInt32 PublishUploadCounter = 0;
    UInt32 run = 0;
};

#endif
