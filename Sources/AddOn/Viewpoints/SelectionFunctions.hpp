#ifndef QUILLMAR_SELECTIONFUNCTIONS_HPP
#define QUILLMAR_SELECTIONFUNCTIONS_HPP

#include "JSValues.hpp"
#include "Ref.hpp"

// Script functions about model elements named by GlobalId and the host's selection. [main-thread]

// Descriptors of the named elements: resolved ones first, in order, then one per unknown GlobalId.
GS::Ref<JS::Base> GetElementNames(const GS::Ref<JS::Base>& argument);
// Descriptors of the selected elements, in the host's order; empty when the host cannot say.
GS::Ref<JS::Base> GetSelectedElements(const GS::Ref<JS::Base>& argument);
// Switches the 3D cutting planes off and makes the named elements the selection. Always true.
GS::Ref<JS::Base> HighlightElements(const GS::Ref<JS::Base>& argument);
// Zooms to the element when exactly one of the GlobalIds names one; whether the zoom was done.
GS::Ref<JS::Base> ZoomToElement(const GS::Ref<JS::Base>& argument);
// Switches selection tracking: with a script boolean and a palette, the palette's flag takes the value. Always true.
GS::Ref<JS::Base> AddComponent(const GS::Ref<JS::Base>& argument);

#endif
