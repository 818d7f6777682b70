#ifndef QUILLMAR_PUBLISHSETITEM_HPP
#define QUILLMAR_PUBLISHSETITEM_HPP

#include "UniString.hpp"

// One document queued for a publish upload. Owned by the palette's publish items; its upload job keeps a pointer to
// it for the job's whole life and writes documentId and uploaded (under the palette's shared-state lock).
struct PublishSetItem {
    GS::UniString filePath; // the file that is uploaded
    GS::UniString folderId; // the service folder that receives the document
    GS::UniString key;      // the publisher item's key
    GS::UniString documentId;
    bool uploaded = false;
};

#endif
