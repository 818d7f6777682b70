#ifndef GSROOT_UNISTRING_HPP
#define GSROOT_UNISTRING_HPP

#include "CharCodeConversion.hpp"
#include "Definitions.hpp"
#include "GSRootExport.hpp"

#include <concepts>
#include <functional>
#include <iosfwd>
#include <string>
#include <string_view>
#include <type_traits>

namespace GS {

enum CaseComparison { CaseSensitive, CaseInsensitive };

// Unicode text held as UTF-16 code units, as the host keeps it. Lengths and indices count code units.
// Conversions to and from bytes go through CharCodeConversion; CC_Default is the platform's default code.
class GSROOT_DLL_EXPORT UniString {
public:
    // Bytes of a conversion, kept alive as long as this object.
    class CStr {
    public:
        explicit CStr(std::string bytes) : bytes(std::move(bytes)) {}
        const char* Get() const noexcept { return bytes.c_str(); }
        operator const char*() const noexcept { return bytes.c_str(); }
        USize GetLength() const noexcept { return static_cast<USize>(bytes.size()); }
        const std::string& ToString() const noexcept { return bytes; }

    private:
        std::string bytes;
    };

    // One argument of Printf: integers, floating point numbers, texts.
    struct GSROOT_DLL_EXPORT FormatArg {
        enum class Kind { Signed, Unsigned, Floating, Text, Pointer };
        Kind kind;
        long long s = 0;
        unsigned long long u = 0;
        double d = 0.0;
        std::u16string text;
        const void* p = nullptr;

        FormatArg(const UniString& v) : kind(Kind::Text), text(v.units) {}
        FormatArg(const char* v);
        FormatArg(const std::string& v) : FormatArg(v.c_str()) {}
        FormatArg(char16_t v) : kind(Kind::Text), text(1, v) {}
        FormatArg(double v) : kind(Kind::Floating), d(v) {}
        FormatArg(float v) : kind(Kind::Floating), d(static_cast<double>(v)) {}
        FormatArg(const void* v) : kind(Kind::Pointer), p(v) {}
        template <std::signed_integral T>
        FormatArg(T v) : kind(Kind::Signed), s(v) {}
        template <std::unsigned_integral T>
        requires(!std::same_as<T, bool>) FormatArg(T v) : kind(Kind::Unsigned), u(v) {}
        FormatArg(bool v) : kind(Kind::Signed), s(v ? 1 : 0) {}
    };

    UniString() = default;
    UniString(const char* bytes, GSCharCode code = CC_Default);
    UniString(const char* bytes, USize byteCount, GSCharCode code);
    UniString(const std::string& bytes, GSCharCode code = CC_Default);
    UniString(const char16_t* units);
    UniString(std::u16string units) : units(std::move(units)) {}
    UniString(USize count, UniChar ch) : units(count, ch) {}

    // Printf-style formatting: %s, %d, %i, %u, %x, %X, %f, %e, %g, %c, %p, %% with flags, width and precision.
    // %s takes texts (UniString, C strings in the default code); numbers take the numeric conversions.
    template <typename... Args>
    static UniString Printf(const char* format, const Args&... args) {
        const FormatArg list[] = {FormatArg(args)..., FormatArg(0)};
        return FormatList(format, list, sizeof...(Args));
    }
    static UniString FormatList(const char* format, const FormatArg* args, std::size_t count);

    CStr ToCStr(GSCharCode code = CC_Default) const;
    CStr ToCStr(UIndex from, USize range, GSCharCode code = CC_Default) const;
    const std::u16string& ToU16String() const noexcept { return units; }

    USize GetLength() const noexcept { return static_cast<USize>(units.size()); }
    bool IsEmpty() const noexcept { return units.empty(); }
    void Clear() noexcept { units.clear(); }

    // Throws GS::IndexOutOfRangeException outside [0, length).
    UniChar operator[](UIndex index) const;
    UniChar GetLast() const;

    UniString& Append(const UniString& other);
    UniString& operator+=(const UniString& other) { return Append(other); }
    UniString& operator+=(UniChar ch);
    UniString& operator+=(const char* bytes) { return Append(UniString(bytes)); }

    bool IsEqual(const UniString& other, CaseComparison cmp = CaseSensitive) const;
    // Negative, zero or positive, as the texts order by code unit (after case folding when asked).
    Int32 Compare(const UniString& other, CaseComparison cmp = CaseSensitive) const;

    // Index of the first or last occurrence at or after `from`, MaxUIndex when there is none.
    UIndex FindFirst(const UniString& what, UIndex from = 0, CaseComparison cmp = CaseSensitive) const;
    UIndex FindFirst(UniChar ch, UIndex from = 0) const;
    UIndex FindLast(const UniString& what, CaseComparison cmp = CaseSensitive) const;
    UIndex FindLast(UniChar ch) const;
    bool Contains(const UniString& what, CaseComparison cmp = CaseSensitive) const;
    bool Contains(UniChar ch) const { return FindFirst(ch) != MaxUIndex; }
    bool BeginsWith(const UniString& prefix, CaseComparison cmp = CaseSensitive) const;
    bool EndsWith(const UniString& suffix, CaseComparison cmp = CaseSensitive) const;

    // Substrings are clamped to the text: asking beyond its end gives what is there.
    UniString GetSubstring(UIndex from, USize length) const;
    UniString GetPrefix(USize length) const { return GetSubstring(0, length); }
    UniString GetSuffix(USize length) const;

    UniString& Insert(UIndex at, const UniString& what);
    UniString& Delete(UIndex from, USize length);
    UniString& Truncate(USize length);
    // Returns the number of replacements. An empty `what` replaces nothing.
    USize ReplaceAll(const UniString& what, const UniString& with, CaseComparison cmp = CaseSensitive);
    bool ReplaceFirst(const UniString& what, const UniString& with, CaseComparison cmp = CaseSensitive);
    bool ReplaceLast(const UniString& what, const UniString& with, CaseComparison cmp = CaseSensitive);

    UniString& SetToLowerCase();
    UniString& SetToUpperCase();
    UniString ToLowerCase() const { return UniString(*this).SetToLowerCase(); }
    UniString ToUpperCase() const { return UniString(*this).SetToUpperCase(); }
    UniString& Trim();

    friend bool operator==(const UniString& a, const UniString& b) noexcept { return a.units == b.units; }
    friend bool operator==(const UniString& a, const char* b) { return a == UniString(b); }
    friend auto operator<=>(const UniString& a, const UniString& b) noexcept { return a.units <=> b.units; }

    friend UniString operator+(UniString a, const UniString& b) { return a.Append(b); }
    friend UniString operator+(UniString a, const char* b) { return a.Append(UniString(b)); }
    friend UniString operator+(const char* a, const UniString& b) { return UniString(a).Append(b); }

private:
    std::u16string units;
};

// Text in UTF-8, for logs and test output.
GSROOT_DLL_EXPORT std::ostream& operator<<(std::ostream& os, const UniString& s);

// Folds one code unit for case-insensitive comparison (ASCII and Latin-1 letters).
GSROOT_DLL_EXPORT UniChar FoldCase(UniChar ch) noexcept;

} // namespace GS

template <>
struct std::hash<GS::UniString> {
    std::size_t operator()(const GS::UniString& s) const noexcept {
        return std::hash<std::u16string>{}(s.ToU16String());
    }
};

#endif
