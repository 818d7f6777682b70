#ifndef QUILLMAR_MAPPING_MAPPINGFILE_HPP
#define QUILLMAR_MAPPING_MAPPINGFILE_HPP

#include "MappingState.hpp"

#include "Array.hpp"
#include "Location.hpp"

// Reads a property mapping file (root "SchemeItemList") into `list`, replacing its content, and returns true.
// A missing or malformed file, or one with another root, returns false and leaves `list` untouched.
// "SchemeProperty" elements that lack a needed part are skipped; properties of the same entity type and property
// set name are gathered in one entry, in file order. [main-thread]
bool ReadMappingFile(const IO::Location& file, GS::Array<SchemeProperty>& list);

#endif
