#include "WebOrigin.hpp"

#include <algorithm>
#include <cctype>

namespace HostSim {

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

const char* DefaultPort(const std::string& scheme) {
    if (scheme == "http" || scheme == "ws") return "80";
    if (scheme == "https" || scheme == "wss") return "443";
    return nullptr;
}

} // namespace

std::string WebOrigin(const std::string& url) {
    const std::size_t colon = url.find(':');
    if (colon == std::string::npos || colon == 0) return {};
    const std::string scheme = Lower(url.substr(0, colon));
    if (!std::all_of(scheme.begin(), scheme.end(),
                     [](unsigned char c) { return std::isalnum(c) || c == '+' || c == '-' || c == '.'; }))
        return {};
    if (scheme == "file") return "file://";
    if (DefaultPort(scheme) == nullptr) return {};
    if (url.compare(colon, 3, "://") != 0) return {};
    const std::size_t start = colon + 3;
    std::string authority = url.substr(start, url.find_first_of("/?#", start) - start);
    if (const std::size_t at = authority.rfind('@'); at != std::string::npos) authority.erase(0, at + 1);
    if (authority.empty()) return {};
    std::string host = authority;
    std::string port;
    // A bracketed IPv6 host holds colons of its own.
    const std::size_t hostEnd = authority.front() == '[' ? authority.find(']') : 0;
    if (hostEnd == std::string::npos) return {};
    if (const std::size_t portColon = authority.find(':', hostEnd); portColon != std::string::npos) {
        host = authority.substr(0, portColon);
        port = authority.substr(portColon + 1);
    }
    if (host.empty() || !std::all_of(port.begin(), port.end(), [](unsigned char c) { return std::isdigit(c); }))
        return {};
    while (port.size() > 1 && port.front() == '0')
        port.erase(0, 1);
    std::string origin = scheme + "://" + Lower(host);
    if (!port.empty() && port != DefaultPort(scheme)) origin += ":" + port;
    return origin;
}

} // namespace HostSim
