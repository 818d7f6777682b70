#ifndef GSROOT_VALUETOSTRING_HPP
#define GSROOT_VALUETOSTRING_HPP

#include "Definitions.hpp"
#include "GSRootExport.hpp"
#include "UniString.hpp"

#include <concepts>
#include <type_traits>

namespace GS {

// The shortest text that reads back as the same double: 0.1 -> "0.1", 1.0 -> "1", 1e21 -> "1e+21", -0.0 -> "-0".
// Not-a-number gives "nan" whatever its sign; infinities give "inf" and "-inf". Independent of the locale.
GSROOT_DLL_EXPORT UniString valuetostr(double value);

// Decimal text of an integer.
GSROOT_DLL_EXPORT UniString valuetostr(Int32 value);
GSROOT_DLL_EXPORT UniString valuetostr(UInt32 value);
GSROOT_DLL_EXPORT UniString valuetostr(Int64 value);
GSROOT_DLL_EXPORT UniString valuetostr(UInt64 value);

// The other integer types (long long, short, ...), which would otherwise be ambiguous between the overloads above.
template <std::integral T>
requires(!std::same_as<T, bool>) UniString valuetostr(T value) {
    if constexpr (std::is_signed_v<T>) {
        return valuetostr(static_cast<Int64>(value));
    } else {
        return valuetostr(static_cast<UInt64>(value));
    }
}

} // namespace GS

#endif
