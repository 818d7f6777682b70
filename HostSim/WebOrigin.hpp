#ifndef HOSTSIM_WEBORIGIN_HPP
#define HOSTSIM_WEBORIGIN_HPP

#include <string>

namespace HostSim {

// The origin of an address as a browser names a page's origin: "scheme://host" with the port only when it is not
// the scheme's default ("http://127.0.0.1:8080", "https://example.com"), "file://" for any local file, and empty
// for addresses whose origin is opaque (about:, data:, blob:, text that is no address), which match nothing.
std::string WebOrigin(const std::string& url);

} // namespace HostSim

#endif
