#ifndef QUILLMAR_PUBLISHSETITEM_HPP
#define QUILLMAR_PUBLISHSETITEM_HPP

#include "UniString.hpp"

// One document queued for a publish upload. Owned by the palette's publish items; its upload job names it by publish
// run and index, reads it when constructed and writes documentId and uploaded through the palette, under the
// palette's shared-state lock (a job of an earlier run writes nothing).
struct PublishSetItem {
    GS::UniString filePath; // the file that is uploaded
    GS::UniString folderId; // the service folder that receives the document
    GS::UniString key;      // the publisher item's key
    GS::UniString documentId;
    bool uploaded = false;
};

#endif
