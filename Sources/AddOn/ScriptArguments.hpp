#ifndef QUILLMAR_SCRIPTARGUMENTS_HPP
#define QUILLMAR_SCRIPTARGUMENTS_HPP

#include "Array.hpp"
#include "JSValues.hpp"
#include "Ref.hpp"
#include "UniString.hpp"

// Decoding of script-function arguments and wrapping of results. [main-thread]
// An array, object or function where one plain value is expected raises GS::ClassCastException ("Bad cast."),
// which leaves the script function.

// The text of a string value; "" for any other plain value and for a missing argument.
GS::UniString DecodeStringArgument(const GS::Ref<JS::Base>& argument);
// True and *value set for a boolean value; false (and *value unchanged) for anything else plain.
bool DecodeBoolArgument(const GS::Ref<JS::Base>& argument, bool* value);
// True and *value set for an integer value; false (and *value unchanged) for anything else plain.
bool DecodeIntegerArgument(const GS::Ref<JS::Base>& argument, Int32* value);
// The non-empty string items of an array, in order; a non-array counts as a list of its one non-empty string.
GS::Array<GS::UniString> DecodeStringListArgument(const GS::Ref<JS::Base>& argument);

GS::Ref<JS::Base> MakeStringResult(const GS::UniString& value);
GS::Ref<JS::Base> MakeBoolResult(bool value);
GS::Ref<JS::Base> MakeStringListResult(const GS::Array<GS::UniString>& values);
// The same, taking the texts over instead of copying them (lists can hold thousands).
GS::Ref<JS::Base> MakeStringListResult(GS::Array<GS::UniString>&& values);

#endif
