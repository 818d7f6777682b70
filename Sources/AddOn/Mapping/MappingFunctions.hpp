#ifndef QUILLMAR_MAPPING_MAPPINGFUNCTIONS_HPP
#define QUILLMAR_MAPPING_MAPPINGFUNCTIONS_HPP

#include "JSValues.hpp"
#include "Ref.hpp"

// Lets the user pick a property mapping file and loads it into the palette's mapping list. Returns the file's
// path, or "" without a palette, on cancel, for a file that is not a mapping file or a path that cannot be had.
// [main-thread]
GS::Ref<JS::Base> OpenMappingFile(const GS::Ref<JS::Base>& argument);

// Asks the user for a new property name that is not among the names given (a list of strings, or one string).
// Returns the name, or "" when the user cancelled. [main-thread]
GS::Ref<JS::Base> SetNewPropertyName(const GS::Ref<JS::Base>& argument);

#endif
