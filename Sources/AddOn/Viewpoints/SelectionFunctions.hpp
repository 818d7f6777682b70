#ifndef QUILLMAR_SELECTIONFUNCTIONS_HPP
#define QUILLMAR_SELECTIONFUNCTIONS_HPP

#include "JSValues.hpp"
#include "Ref.hpp"

// Script functions about the host's selection. [main-thread]

// Switches selection tracking: with a script boolean and a palette, the palette's flag takes the value. Always true.
GS::Ref<JS::Base> AddComponent(const GS::Ref<JS::Base>& argument);

#endif
