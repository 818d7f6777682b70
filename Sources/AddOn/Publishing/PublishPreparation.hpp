#ifndef QUILLMAR_PUBLISHING_PUBLISHPREPARATION_HPP
#define QUILLMAR_PUBLISHING_PUBLISHPREPARATION_HPP

#include "JSValues.hpp"
#include "Ref.hpp"

// {"guid", "publishItems": [{"key", "title", ...}], "projectId", "publishSet"}: has the host publish each item into
// "TempPublish/<position>" and keeps the produced file in "PreparePublish" as <key>.<ext>; an item whose key a file
// there already holds is served from that file without publishing. Returns the prepared items as a JSON array
// text ("" for a request without "guid" or "publishItems", or that cannot be read) and sets the palette's publish
// record; items that failed are listed to the user in the report dialog. "" without a palette. [main-thread]
GS::Ref<JS::Base> PreparePublishDocs(const GS::Ref<JS::Base>& argument);

#endif
