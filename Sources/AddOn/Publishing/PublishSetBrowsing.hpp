#ifndef QUILLMAR_PUBLISHING_PUBLISHSETBROWSING_HPP
#define QUILLMAR_PUBLISHING_PUBLISHSETBROWSING_HPP

#include "JSValues.hpp"
#include "Ref.hpp"

// The page browses the project's publisher sets and reads back the palette's publish record. [main-thread]
// Nothing here changes the project or writes files.

// Argument ignored. [{"title", "guid", "rootGuid", "index"}, ...] in index order; "" when the host cannot count the
// sets. A set the host cannot read is listed with an empty title and null GUIDs.
GS::Ref<JS::Base> GetPublishSetHeaders(const GS::Ref<JS::Base>& argument);
// {"rootGuid"}: the node's subtree, [{"title", "key", "children" | "isLeaf": true}, ...], depth first in the host's
// order; "" for a request that is no object with a string "rootGuid" and for a root without children. The walk goes
// at most 64 levels down and visits each item once; an item it does not descend into is a leaf, as is an item whose
// children the host cannot give.
GS::Ref<JS::Base> GetPublishSetItems(const GS::Ref<JS::Base>& argument);
// A project id as plain text: {"publishSet", "publishItems"} of the publish record when it belongs to that project
// (the items as one JSON text); "[]" otherwise and without a palette.
GS::Ref<JS::Base> GetPublishItems(const GS::Ref<JS::Base>& argument);

#endif
