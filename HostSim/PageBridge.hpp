#ifndef HOSTSIM_PAGEBRIDGE_HPP
#define HOSTSIM_PAGEBRIDGE_HPP

#include "Transcript.hpp"

#include "JSValues.hpp"
#include "Ref.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// How a page in a real browser calls the host's script objects. The host adds one binding to every document; a
// script run before the page's own defines window.<object> with one function per registered name, each sending
// {"id", "object", "function", "arg"} through the binding and returning a Promise the host settles by id.
// Arguments travel tagged, so that what JSON cannot tell apart (undefined, integers) arrives as the page had it:
//   ["u"] undefined, ["n"] null, ["b", bool], ["i", 32-bit integer], ["d", other number or "NaN"/"Infinity"/
//   "-Infinity"], ["s", text], ["a", [items...]], ["o", [[name, item], ...]] (own enumerable keys, in order).
namespace HostSim::PageBridge {

// The binding's name in every document.
inline constexpr const char* BindingName = "__hostsimCall";

// The script that defines window.<objectName> with these functions (and the bridge, once per document).
std::string DefineObjectScript(const std::string& objectName, const std::vector<std::string>& functions);

struct CallRequest {
    std::uint64_t id = 0;
    std::string object;
    std::string function;
    std::optional<nlohmann::json> argument; // tagged; none: called without one
};

// A binding payload; nullopt when it is not one the bridge sends.
std::optional<CallRequest> ParseCall(const std::string& payload);

// The script value of a tagged argument: undefined -> JS::Value UNDEFINED, null -> an empty reference, the rest
// as ToScriptValue makes them. Throws std::invalid_argument for a malformed one or one nested deeper than
// MaxScriptValueDepth. [main-thread], as are the script values.
GS::Ref<JS::Base> DecodeArgument(const nlohmann::json& tagged);

// Scripts for the page's context that settle call `id`: resolved with the value, or rejected with the text.
std::string ResolveScript(std::uint64_t id, const Line& value);
std::string RejectScript(std::uint64_t id, const std::string& message);

} // namespace HostSim::PageBridge

#endif
