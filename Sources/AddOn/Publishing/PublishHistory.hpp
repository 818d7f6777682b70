#ifndef QUILLMAR_PUBLISHING_PUBLISHHISTORY_HPP
#define QUILLMAR_PUBLISHING_PUBLISHHISTORY_HPP

#include "JSValues.hpp"
#include "Ref.hpp"

// The publish record kept per service project in "<projectId>.phs" of the data subfolder "Publish History": one
// JSON object {"publishSet": text, "publishItems": the items' JSON text as one string}, in the default character
// code. [main-thread] Each function answers true; without a palette it does nothing. A project id that is no plain
// file name reads and writes nothing.

// Replaces the file of the record's project whole with the record (a failed write keeps the earlier file).
GS::Ref<JS::Base> SavePublishHistory(const GS::Ref<JS::Base>& argument);
// Loads the project's file into the record, keeping the items whose prepared file is still in "PreparePublish";
// nothing when the record already belongs to the project, or the file is missing or unreadable.
GS::Ref<JS::Base> GetPublishHistory(const GS::Ref<JS::Base>& argument);
// {"projectId", "publishItems", "publishSet"?}: sets the record as given.
GS::Ref<JS::Base> SetPublishHistory(const GS::Ref<JS::Base>& argument);

#endif
