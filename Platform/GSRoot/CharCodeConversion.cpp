#include "CharCodeConversion.hpp"

namespace GS {

namespace {

constexpr GSCharCode DefaultCharCode = CC_UTF8;
constexpr char32_t ReplacementChar = 0xFFFD;

void AppendUtf16(std::u16string& out, char32_t cp) {
    if (cp < 0x10000) {
        out.push_back(static_cast<char16_t>(cp));
    } else {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    }
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

std::u16string DecodeUtf8(std::string_view bytes) {
    const std::size_t n = bytes.size();
    // Most texts are ASCII through and through: widened in one loop the compiler vectorises.
    std::size_t ascii = 0;
    while (ascii < n && static_cast<unsigned char>(bytes[ascii]) < 0x80)
        ++ascii;
    std::u16string out(ascii, u'\0');
    for (std::size_t k = 0; k < ascii; ++k)
        out[k] = static_cast<char16_t>(bytes[k]);
    if (ascii == n) return out;
    out.reserve(n);
    std::size_t i = ascii;
    while (i < n) {
        const auto b0 = static_cast<unsigned char>(bytes[i]);
        if (b0 < 0x80) {
            out.push_back(b0);
            ++i;
            continue;
        }
        std::size_t len = 0;
        char32_t cp = 0;
        char32_t min = 0;
        if ((b0 & 0xE0) == 0xC0) {
            len = 2, cp = b0 & 0x1F, min = 0x80;
        } else if ((b0 & 0xF0) == 0xE0) {
            len = 3, cp = b0 & 0x0F, min = 0x800;
        } else if ((b0 & 0xF8) == 0xF0) {
            len = 4, cp = b0 & 0x07, min = 0x10000;
        }
        bool ok = len != 0 && i + len <= n;
        for (std::size_t k = 1; ok && k < len; ++k) {
            const auto bk = static_cast<unsigned char>(bytes[i + k]);
            if ((bk & 0xC0) != 0x80) {
                ok = false;
            } else {
                cp = (cp << 6) | (bk & 0x3F);
            }
        }
        if (ok && (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))) ok = false;
        if (!ok) {
            out.push_back(static_cast<char16_t>(ReplacementChar));
            ++i; // resynchronise on the next byte
            continue;
        }
        AppendUtf16(out, cp);
        i += len;
    }
    return out;
}

std::string EncodeUtf8(std::u16string_view text) {
    const std::size_t n = text.size();
    std::size_t ascii = 0;
    while (ascii < n && text[ascii] < 0x80)
        ++ascii;
    std::string out(ascii, '\0');
    for (std::size_t k = 0; k < ascii; ++k)
        out[k] = static_cast<char>(text[k]);
    if (ascii == n) return out;
    out.reserve(n + n / 2);
    for (std::size_t i = ascii; i < n; ++i) {
        char32_t cp = text[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < n && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (char32_t(text[i + 1]) - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = ReplacementChar; // lone surrogate
        }
        AppendUtf8(out, cp);
    }
    return out;
}

} // namespace

GSCharCode ResolveCharCode(GSCharCode code) noexcept {
    return code == CC_Default ? DefaultCharCode : code;
}

std::u16string DecodeText(std::string_view bytes, GSCharCode code) {
    switch (ResolveCharCode(code)) {
    case CC_UTF8:
    default:
        return DecodeUtf8(bytes);
    }
}

std::string EncodeText(std::u16string_view text, GSCharCode code) {
    switch (ResolveCharCode(code)) {
    case CC_UTF8:
    default:
        return EncodeUtf8(text);
    }
}

} // namespace GS
