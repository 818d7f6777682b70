#include "IfcGlobalId.hpp"

#include <array>
#include <cstring>

namespace HostSim {

namespace {

// The GUID's bytes in the order of its text form: the first three fields most significant byte first.
std::array<UInt8, 16> TextOrderBytes(const API_Guid& guid) {
    return {static_cast<UInt8>(guid.time_low >> 24),
            static_cast<UInt8>(guid.time_low >> 16),
            static_cast<UInt8>(guid.time_low >> 8),
            static_cast<UInt8>(guid.time_low),
            static_cast<UInt8>(guid.time_mid >> 8),
            static_cast<UInt8>(guid.time_mid),
            static_cast<UInt8>(guid.time_hi_and_version >> 8),
            static_cast<UInt8>(guid.time_hi_and_version),
            guid.clock_seq_hi_and_reserved,
            guid.clock_seq_low,
            guid.node[0],
            guid.node[1],
            guid.node[2],
            guid.node[3],
            guid.node[4],
            guid.node[5]};
}

} // namespace

std::string MakeIfcGlobalId(const API_Guid& guid) {
    const std::array<UInt8, 16> bytes = TextOrderBytes(guid);
    std::string text;
    text.reserve(22);
    // 16 bytes = one byte (2 digits: 2 + 6 bits) and five groups of three bytes (4 digits of 6 bits each).
    text += IfcGlobalIdDigits[bytes[0] >> 6];
    text += IfcGlobalIdDigits[bytes[0] & 0x3F];
    for (std::size_t at = 1; at < bytes.size(); at += 3) {
        const UInt32 group = (UInt32{bytes[at]} << 16) | (UInt32{bytes[at + 1]} << 8) | UInt32{bytes[at + 2]};
        for (int shift = 18; shift >= 0; shift -= 6)
            text += IfcGlobalIdDigits[(group >> shift) & 0x3F];
    }
    return text;
}

bool IsIfcGlobalId(const std::string& text) {
    if (text.size() != 22) return false;
    for (const char ch : text)
        if (ch == '\0' || std::strchr(IfcGlobalIdDigits, ch) == nullptr) return false;
    return true;
}

} // namespace HostSim
