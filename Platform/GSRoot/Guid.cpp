#include "Guid.hpp"

#include <cstring>
#include <random>
#include <string_view>

namespace GS {

namespace {

constexpr std::size_t DigitTextLength = 36; // 32 hex digits and 4 dashes
constexpr std::size_t DashPositions[] = {8, 13, 18, 23};

int HexValue(char16_t ch) noexcept {
    if (ch >= u'0' && ch <= u'9') return ch - u'0';
    if (ch >= u'a' && ch <= u'f') return ch - u'a' + 10;
    if (ch >= u'A' && ch <= u'F') return ch - u'A' + 10;
    return -1;
}

bool IsDashPosition(std::size_t i) noexcept {
    for (const std::size_t dash : DashPositions)
        if (i == dash) return true;
    return false;
}

bool Parse(std::u16string_view text, Guid& result) noexcept {
    if (text.size() == DigitTextLength + 2) {
        if (text.front() != u'{' || text.back() != u'}') return false;
        text = text.substr(1, DigitTextLength);
    }
    if (text.size() != DigitTextLength) return false;

    UInt8 bytes[16] = {};
    std::size_t nibble = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (IsDashPosition(i)) {
            if (text[i] != u'-') return false;
            continue;
        }
        const int value = HexValue(text[i]);
        if (value < 0) return false;
        bytes[nibble / 2] = static_cast<UInt8>(bytes[nibble / 2] | (value << (nibble % 2 == 0 ? 4 : 0)));
        ++nibble;
    }
    // The text lists the fields most significant digit first.
    result.Data1 = UInt32{bytes[0]} << 24 | UInt32{bytes[1]} << 16 | UInt32{bytes[2]} << 8 | UInt32{bytes[3]};
    result.Data2 = static_cast<UInt16>(bytes[4] << 8 | bytes[5]);
    result.Data3 = static_cast<UInt16>(bytes[6] << 8 | bytes[7]);
    std::memcpy(result.Data4, bytes + 8, sizeof result.Data4);
    return true;
}

} // namespace

Guid::Guid(UInt32 data1, UInt16 data2, UInt16 data3, const std::array<UInt8, 8>& data4) noexcept
    : Data1(data1), Data2(data2), Data3(data3) {
    std::memcpy(Data4, data4.data(), sizeof Data4);
}

Guid::Guid(const UniString& text) {
    ConvertFromString(text);
}

Guid::Guid(const char* text) : Guid(UniString(text)) {}

bool Guid::ConvertFromString(const UniString& text) {
    Guid parsed;
    const bool ok = Parse(text.ToU16String(), parsed);
    *this = ok ? parsed : Guid();
    return ok;
}

bool Guid::TryParse(const UniString& text, Guid& result) {
    return result.ConvertFromString(text);
}

UniString Guid::ToUniString() const {
    return UniString::Printf("{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", Data1, Data2, Data3, Data4[0],
                             Data4[1], Data4[2], Data4[3], Data4[4], Data4[5], Data4[6], Data4[7]);
}

bool Guid::IsNull() const noexcept {
    return *this == Guid();
}

void Guid::SetNull() noexcept {
    *this = Guid();
}

void Guid::Generate() {
    // One engine per thread: no lock, and threads never share a sequence.
    thread_local std::mt19937_64 engine{[] {
        std::random_device device;
        std::seed_seq seed{device(), device(), device(), device(), device(), device(), device(), device()};
        return std::mt19937_64(seed);
    }()};
    const UInt64 high = engine();
    const UInt64 low = engine();
    std::memcpy(this, &high, sizeof high);
    std::memcpy(reinterpret_cast<UInt8*>(this) + sizeof high, &low, sizeof low);
    Data3 = static_cast<UInt16>((Data3 & 0x0FFF) | 0x4000);
    Data4[0] = static_cast<UInt8>((Data4[0] & 0x3F) | 0x80);
}

std::array<UInt32, 4> Guid::GetMemoryWords() const noexcept {
    std::array<UInt32, 4> words{};
    std::memcpy(words.data(), this, sizeof words);
    return words;
}

std::size_t GenerateHashValue(const Guid& guid) noexcept {
    const std::array<UInt32, 4> w = guid.GetMemoryWords();
    const UInt64 a = UInt64{w[0]} << 32 | w[1];
    const UInt64 b = UInt64{w[2]} << 32 | w[3];
    return std::hash<UInt64>{}(a ^ (b + 0x9E3779B97F4A7C15ULL + (a << 6) + (a >> 2)));
}

} // namespace GS
