#ifndef HOSTSIM_SCRIPTVALUES_HPP
#define HOSTSIM_SCRIPTVALUES_HPP

#include "Transcript.hpp"

#include "JSValues.hpp"
#include "Ref.hpp"

#include <cstddef>
#include <string>

namespace HostSim {

// Script values nest at most this deep. Converting a value and destroying the script value it becomes recurse, so a
// deeper one (a scenario can write thousands of levels) would overflow the stack.
inline constexpr std::size_t MaxScriptValueDepth = 512;

// How deeply arrays and objects nest in the value (a plain value 0, [] and [1] 1, [[1]] 2), counted without
// recursion; counting stops past `limit`, so the answer is at most limit + 1.
std::size_t NestingDepth(const Line& value, std::size_t limit = MaxScriptValueDepth);

// The page's side of a script call, as a scenario writes it in JSON:
//   string -> JS::Value STRING; a number written without fraction or exponent that fits 32 bits -> INTEGER;
//   any other number -> DOUBLE; true/false -> BOOL; array -> JS::Array; object -> JS::Object (plain, items in
//   the order written); null -> an empty reference (a missing value).
// Throws std::invalid_argument for a value nested deeper than MaxScriptValueDepth. [main-thread], as are the script
// values.
GS::Ref<JS::Base> ToScriptValue(const Line& value);

// The way back: an empty reference and an UNDEFINED value -> null; each plain value by its type; JS::Array ->
// array; JS::Object -> object of its items; JS::Function -> {"function": name}.
Line FromScriptValue(const GS::Ref<JS::Base>& value);

// Texts between the host's JSON (UTF-8) and the libraries' strings.
GS::UniString ToUniString(const std::string& utf8);
std::string ToUtf8(const GS::UniString& text);

} // namespace HostSim

#endif
