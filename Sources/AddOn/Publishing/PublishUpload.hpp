#ifndef QUILLMAR_PUBLISHING_PUBLISHUPLOAD_HPP
#define QUILLMAR_PUBLISHING_PUBLISHUPLOAD_HPP

#include "JSValues.hpp"
#include "Ref.hpp"

// Script functions of a publishing run's upload. [main-thread]

// {"projectId", "token", "publishItems": [{"key", "docName", "ext", "filePath", "folder"}]}: copies each prepared
// file (only files of "PreparePublish") to "Publish" as docName.ext and starts one upload job per copy on the
// threads "exportPublishSet0", "exportPublishSet1"...; "CompleteExportPublish()" runs when the last has ended.
// "FailedExportPublish()" when nothing was started. Always true.
GS::Ref<JS::Base> HandlePublishSets(const GS::Ref<JS::Base>& argument);
// The documents the last upload created: a JSON object key -> document id, in the order of the items; "" without
// a palette.
GS::Ref<JS::Base> CompleteExportPublish(const GS::Ref<JS::Base>& argument);

#endif
