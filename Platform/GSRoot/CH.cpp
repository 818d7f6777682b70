#include "CH.hpp"

#include "CharCodeConversion.hpp"

#include <cstring>

namespace {

bool IsContinuation(unsigned char byte) noexcept {
    return (byte & 0xC0) == 0x80;
}

// Bytes of the UTF-8 sequence that `lead` starts; 0 for a byte that starts none.
std::size_t SequenceLength(unsigned char lead) noexcept {
    if (lead >= 0xC0 && lead <= 0xDF) return 2;
    if (lead >= 0xE0 && lead <= 0xEF) return 3;
    if (lead >= 0xF0 && lead <= 0xF7) return 4;
    return 0;
}

// Where to cut `bytes` at or before `cut` so that no character is split. Malformed runs are cut where they are.
std::size_t Utf8CutPosition(const char* bytes, std::size_t cut) noexcept {
    const auto at = [bytes](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    std::size_t start = cut;
    while (start > 0 && cut - start < 3 && IsContinuation(at(start)))
        --start;
    if (start == cut) return cut;
    const std::size_t need = SequenceLength(at(start));
    return need > cut - start ? start : cut;
}

} // namespace

void CHTruncate(const char* source, char* dest, Int32 destSize, GSCharCode code) {
    if (dest == nullptr || destSize <= 0) return;
    if (source == nullptr) {
        dest[0] = '\0';
        return;
    }
    const auto limit = static_cast<std::size_t>(destSize) - 1;
    // Reads at most one byte beyond what fits: enough to see whether a character goes on past the limit.
    std::size_t length = strnlen(source, limit + 1);
    if (length > limit) {
        length = GS::ResolveCharCode(code) == CC_UTF8 ? Utf8CutPosition(source, limit) : limit;
    }
    std::memmove(dest, source, length);
    dest[length] = '\0';
}
