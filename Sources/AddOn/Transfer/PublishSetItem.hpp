#ifndef QUILLMAR_PUBLISHSETITEM_HPP
#define QUILLMAR_PUBLISHSETITEM_HPP

#include "UniString.hpp"

// One document queued for a publish upload. The publishing state owns the items of a run; the item's upload job
// gets copies of filePath and folderId and reports documentId and uploaded by the item's run and index.
struct PublishSetItem {
    GS::UniString filePath; // the file that is uploaded
    GS::UniString folderId; // the service folder that receives the document
    GS::UniString key;      // the publisher item's key
    GS::UniString documentId;
    bool uploaded = false;
};

#endif
