#ifndef HOSTSIM_SCRIPTVALUES_HPP
#define HOSTSIM_SCRIPTVALUES_HPP

#include "Transcript.hpp"

#include "JSValues.hpp"
#include "Ref.hpp"

#include <string>

namespace HostSim {

// The page's side of a script call, as a scenario writes it in JSON:
//   string -> JS::Value STRING; a number written without fraction or exponent that fits 32 bits -> INTEGER;
//   any other number -> DOUBLE; true/false -> BOOL; array -> JS::Array; object -> JS::Object (plain, items in
//   the order written); null -> an empty reference (a missing value).
// [main-thread], as are the script values.
GS::Ref<JS::Base> ToScriptValue(const Line& value);

// The way back: an empty reference and an UNDEFINED value -> null; each plain value by its type; JS::Array ->
// array; JS::Object -> object of its items; JS::Function -> {"function": name}.
Line FromScriptValue(const GS::Ref<JS::Base>& value);

// Texts between the host's JSON (UTF-8) and the libraries' strings.
GS::UniString ToUniString(const std::string& utf8);
std::string ToUtf8(const GS::UniString& text);

} // namespace HostSim

#endif
