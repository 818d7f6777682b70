#ifndef GSROOT_GUID_HPP
#define GSROOT_GUID_HPP

#include "Definitions.hpp"
#include "GSRootExport.hpp"
#include "UniString.hpp"

#include <array>
#include <compare>
#include <cstddef>
#include <functional>

namespace GS {

// A 128-bit identifier laid out as the Windows GUID, so host records holding one can be converted bytewise.
// The default value is the null GUID (all zero). Text form: "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
class GSROOT_DLL_EXPORT Guid {
public:
    UInt32 Data1 = 0;
    UInt16 Data2 = 0;
    UInt16 Data3 = 0;
    UInt8 Data4[8] = {};

    Guid() noexcept = default;
    Guid(UInt32 data1, UInt16 data2, UInt16 data3, const std::array<UInt8, 8>& data4) noexcept;
    // Reads the 36-digit form with or without braces, in any case; any other text gives the null GUID.
    explicit Guid(const UniString& text);
    explicit Guid(const char* text);

    // Sets this GUID from text as the constructor does; false (and the null GUID) when the text is not one.
    bool ConvertFromString(const UniString& text);
    static bool TryParse(const UniString& text, Guid& result);

    UniString ToUniString() const;

    bool IsNull() const noexcept;
    void SetNull() noexcept;
    // Replaces the value with a new random GUID (version 4, RFC 4122 variant). Thread-safe.
    void Generate();

    // The 16 bytes read as four 32-bit words in the order and byte order they have in memory.
    std::array<UInt32, 4> GetMemoryWords() const noexcept;

    // Orders field by field (Data1, Data2, Data3, then the bytes of Data4): the order of the text forms.
    friend bool operator==(const Guid&, const Guid&) noexcept = default;
    friend std::strong_ordering operator<=>(const Guid&, const Guid&) noexcept = default;
};

static_assert(sizeof(Guid) == 16, "GS::Guid must have the layout of the Windows GUID");

GSROOT_DLL_EXPORT std::size_t GenerateHashValue(const Guid& guid) noexcept;

} // namespace GS

template <>
struct std::hash<GS::Guid> {
    std::size_t operator()(const GS::Guid& guid) const noexcept { return GS::GenerateHashValue(guid); }
};

#endif
