#include "ValueToString.hpp"

#include <charconv>
#include <cmath>

namespace GS {

namespace {

template <typename T>
UniString ToChars(T value) {
    // Enough for the longest shortest-round-trip double ("-2.2250738585072014e-308") and any 64-bit integer.
    char buffer[64];
    const std::to_chars_result result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return UniString(buffer, static_cast<USize>(result.ptr - buffer), CC_UTF8);
}

} // namespace

UniString valuetostr(double value) {
    if (std::isnan(value)) return UniString("nan");
    return ToChars(value);
}

UniString valuetostr(Int32 value) {
    return ToChars(value);
}

UniString valuetostr(UInt32 value) {
    return ToChars(value);
}

UniString valuetostr(Int64 value) {
    return ToChars(value);
}

UniString valuetostr(UInt64 value) {
    return ToChars(value);
}

} // namespace GS
