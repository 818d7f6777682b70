#ifndef GSROOT_DEFINITIONS_HPP
#define GSROOT_DEFINITIONS_HPP

#include <cstddef>
#include <cstdint>
#include <limits>

using Int8 = std::int8_t;
using UInt8 = std::uint8_t;
using Int16 = std::int16_t;
using UInt16 = std::uint16_t;
using Int32 = std::int32_t;
using UInt32 = std::uint32_t;
using Int64 = std::int64_t;
using UInt64 = std::uint64_t;
using UIndex = UInt32;
using USize = UInt32;
using GSSize = Int64;
using GSFlags = Int32;
using UniChar = char16_t;

// Result code of every host call: 0 for success.
using GSErrCode = Int32;
constexpr GSErrCode NoError = 0;
constexpr GSErrCode Error = -1;

constexpr UIndex MaxUIndex = std::numeric_limits<UIndex>::max();
constexpr USize MaxUSize = std::numeric_limits<USize>::max();

// Character codes for conversions between text and bytes. CC_Default is the platform's default code;
// here it is UTF-8 (see CharCodeConversion.hpp).
enum GSCharCode : Int32 {
    CC_Default = 0,
    CC_UTF8 = 1,
};

#endif
