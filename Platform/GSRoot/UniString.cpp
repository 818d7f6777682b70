#include "UniString.hpp"

#include "GSException.hpp"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ostream>

namespace GS {

namespace {

std::u16string Folded(std::u16string_view text) {
    std::u16string out(text);
    for (auto& ch : out)
        ch = FoldCase(ch);
    return out;
}

UniChar UpperCase(UniChar ch) noexcept {
    if (ch >= u'a' && ch <= u'z') return static_cast<UniChar>(ch - 32);
    if (ch >= 0xE0 && ch <= 0xFE && ch != 0xF7) return static_cast<UniChar>(ch - 32);
    return ch;
}

std::size_t Find(std::u16string_view hay, std::u16string_view needle, std::size_t from, CaseComparison cmp) {
    if (cmp == CaseSensitive) return hay.find(needle, from);
    const std::u16string h = Folded(hay);
    const std::u16string n = Folded(needle);
    return h.find(n, from);
}

std::size_t FindBackward(std::u16string_view hay, std::u16string_view needle, CaseComparison cmp) {
    if (cmp == CaseSensitive) return hay.rfind(needle);
    const std::u16string h = Folded(hay);
    const std::u16string n = Folded(needle);
    return h.rfind(n);
}

UIndex ToIndex(std::size_t pos) {
    return pos == std::u16string::npos ? MaxUIndex : static_cast<UIndex>(pos);
}

// Formats one conversion with the C library, for numbers. The format is built from a checked conversion directive.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
std::string FormatNumber(const std::string& directive, const UniString::FormatArg& arg, char conv) {
    char buffer[512];
    int n = 0;
    std::string fmt = directive;
    using Kind = UniString::FormatArg::Kind;
    switch (conv) {
    case 'd':
    case 'i':
    case 'c': {
        const long long v = arg.kind == Kind::Unsigned   ? static_cast<long long>(arg.u)
                            : arg.kind == Kind::Floating ? static_cast<long long>(arg.d)
                                                         : arg.s;
        fmt += conv == 'c' ? "c" : "lld";
        if (conv == 'c') {
            n = std::snprintf(buffer, sizeof buffer, fmt.c_str(), static_cast<int>(v));
        } else {
            n = std::snprintf(buffer, sizeof buffer, fmt.c_str(), v);
        }
        break;
    }
    case 'u':
    case 'x':
    case 'X':
    case 'o': {
        const unsigned long long v = arg.kind == Kind::Signed     ? static_cast<unsigned long long>(arg.s)
                                     : arg.kind == Kind::Floating ? static_cast<unsigned long long>(arg.d)
                                                                  : arg.u;
        fmt += "ll";
        fmt += conv;
        n = std::snprintf(buffer, sizeof buffer, fmt.c_str(), v);
        break;
    }
    case 'p':
        fmt += 'p';
        n = std::snprintf(buffer, sizeof buffer, fmt.c_str(), arg.p);
        break;
    default: { // f, F, e, E, g, G, a, A
        const double v = arg.kind == Kind::Signed     ? static_cast<double>(arg.s)
                         : arg.kind == Kind::Unsigned ? static_cast<double>(arg.u)
                                                      : arg.d;
        fmt += conv;
        n = std::snprintf(buffer, sizeof buffer, fmt.c_str(), v);
        break;
    }
    }
    if (n < 0) return {};
    return std::string(buffer, std::min<std::size_t>(static_cast<std::size_t>(n), sizeof buffer - 1));
}
#pragma GCC diagnostic pop

} // namespace

UniChar FoldCase(UniChar ch) noexcept {
    if (ch >= u'A' && ch <= u'Z') return static_cast<UniChar>(ch + 32);
    if (ch >= 0xC0 && ch <= 0xDE && ch != 0xD7) return static_cast<UniChar>(ch + 32);
    return ch;
}

UniString::FormatArg::FormatArg(const char* v)
    : kind(Kind::Text), text(v != nullptr ? DecodeText(v, CC_Default) : u"(null)") {}

UniString::UniString(const char* bytes, GSCharCode code) {
    if (bytes != nullptr) units = DecodeText(std::string_view(bytes), code);
}

UniString::UniString(const char* bytes, USize byteCount, GSCharCode code) {
    if (bytes != nullptr) units = DecodeText(std::string_view(bytes, byteCount), code);
}

UniString::UniString(const std::string& bytes, GSCharCode code) : units(DecodeText(bytes, code)) {}

UniString::UniString(const char16_t* text) {
    if (text != nullptr) units = text;
}

UniString UniString::FormatList(const char* format, const FormatArg* args, std::size_t count) {
    std::u16string out;
    if (format == nullptr) return UniString(out);
    const std::u16string fmt = DecodeText(format, CC_Default);
    std::size_t next = 0;
    for (std::size_t i = 0; i < fmt.size(); ++i) {
        if (fmt[i] != u'%') {
            out.push_back(fmt[i]);
            continue;
        }
        if (i + 1 < fmt.size() && fmt[i + 1] == u'%') {
            out.push_back(u'%');
            ++i;
            continue;
        }
        // Collect flags, width, precision and length modifiers (the latter are ignored: arguments carry their type).
        std::string directive = "%";
        std::size_t j = i + 1;
        while (j < fmt.size() && std::u16string_view(u"-+ #0").find(fmt[j]) != std::u16string_view::npos)
            directive += static_cast<char>(fmt[j++]);
        while (j < fmt.size() && ((fmt[j] >= u'0' && fmt[j] <= u'9') || fmt[j] == u'.'))
            directive += static_cast<char>(fmt[j++]);
        while (j < fmt.size() && std::u16string_view(u"hlLqjzt").find(fmt[j]) != std::u16string_view::npos)
            ++j;
        if (j >= fmt.size()) {
            out.append(fmt, i, std::u16string::npos);
            break;
        }
        const char16_t conv = fmt[j];
        i = j;
        if (next >= count) continue; // a conversion without an argument produces nothing
        const FormatArg& arg = args[next++];
        if (conv == u's' || conv == u'T') {
            std::u16string text = arg.kind == FormatArg::Kind::Text ? arg.text : u"";
            // Width and precision on texts, counted in code units.
            std::size_t width = 0, precision = std::u16string::npos;
            bool left = directive.find('-') != std::string::npos;
            const std::size_t dot = directive.find('.');
            const std::string widthPart = directive.substr(1, dot == std::string::npos ? std::string::npos : dot - 1);
            for (char c : widthPart)
                if (c >= '0' && c <= '9') width = width * 10 + static_cast<std::size_t>(c - '0');
            if (dot != std::string::npos) {
                precision = 0;
                for (char c : directive.substr(dot + 1))
                    precision = precision * 10 + static_cast<std::size_t>(c - '0');
            }
            if (precision < text.size()) text.resize(precision);
            if (text.size() < width) {
                const std::u16string pad(width - text.size(), u' ');
                text = left ? text + pad : pad + text;
            }
            out += text;
        } else {
            const std::string number = FormatNumber(directive, arg, static_cast<char>(conv));
            out += DecodeText(number, CC_UTF8);
        }
    }
    return UniString(std::move(out));
}

UniString::CStr UniString::ToCStr(GSCharCode code) const {
    return CStr(EncodeText(units, code));
}

UniString::CStr UniString::ToCStr(UIndex from, USize range, GSCharCode code) const {
    return GetSubstring(from, range).ToCStr(code);
}

UniChar UniString::operator[](UIndex index) const {
    if (index >= units.size()) throw IndexOutOfRangeException();
    return units[index];
}

UniChar UniString::GetLast() const {
    if (units.empty()) throw IndexOutOfRangeException();
    return units.back();
}

UniString& UniString::Append(const UniString& other) {
    units += other.units;
    return *this;
}

UniString& UniString::operator+=(UniChar ch) {
    units.push_back(ch);
    return *this;
}

bool UniString::IsEqual(const UniString& other, CaseComparison cmp) const {
    return Compare(other, cmp) == 0;
}

Int32 UniString::Compare(const UniString& other, CaseComparison cmp) const {
    const int r = cmp == CaseSensitive ? units.compare(other.units) : Folded(units).compare(Folded(other.units));
    return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

UIndex UniString::FindFirst(const UniString& what, UIndex from, CaseComparison cmp) const {
    if (from > units.size()) return MaxUIndex;
    return ToIndex(Find(units, what.units, from, cmp));
}

UIndex UniString::FindFirst(UniChar ch, UIndex from) const {
    if (from > units.size()) return MaxUIndex;
    return ToIndex(units.find(ch, from));
}

UIndex UniString::FindLast(const UniString& what, CaseComparison cmp) const {
    return ToIndex(FindBackward(units, what.units, cmp));
}

UIndex UniString::FindLast(UniChar ch) const {
    return ToIndex(units.rfind(ch));
}

bool UniString::Contains(const UniString& what, CaseComparison cmp) const {
    return FindFirst(what, 0, cmp) != MaxUIndex;
}

bool UniString::BeginsWith(const UniString& prefix, CaseComparison cmp) const {
    if (prefix.units.size() > units.size()) return false;
    return GetPrefix(prefix.GetLength()).IsEqual(prefix, cmp);
}

bool UniString::EndsWith(const UniString& suffix, CaseComparison cmp) const {
    if (suffix.units.size() > units.size()) return false;
    return GetSuffix(suffix.GetLength()).IsEqual(suffix, cmp);
}

UniString UniString::GetSubstring(UIndex from, USize length) const {
    if (from >= units.size()) return {};
    return UniString(units.substr(from, length));
}

UniString UniString::GetSuffix(USize length) const {
    if (length >= units.size()) return *this;
    return UniString(units.substr(units.size() - length));
}

UniString& UniString::Insert(UIndex at, const UniString& what) {
    if (at > units.size()) throw IndexOutOfRangeException();
    units.insert(at, what.units);
    return *this;
}

UniString& UniString::Delete(UIndex from, USize length) {
    if (from >= units.size()) return *this;
    units.erase(from, length);
    return *this;
}

UniString& UniString::Truncate(USize length) {
    if (length < units.size()) units.resize(length);
    return *this;
}

USize UniString::ReplaceAll(const UniString& what, const UniString& with, CaseComparison cmp) {
    if (what.IsEmpty()) return 0;
    std::u16string out;
    USize count = 0;
    std::size_t pos = 0;
    const std::u16string folded = cmp == CaseSensitive ? std::u16string() : Folded(units);
    const std::u16string foldedWhat = cmp == CaseSensitive ? std::u16string() : Folded(what.units);
    const std::u16string& hay = cmp == CaseSensitive ? units : folded;
    const std::u16string& needle = cmp == CaseSensitive ? what.units : foldedWhat;
    for (;;) {
        const std::size_t hit = hay.find(needle, pos);
        if (hit == std::u16string::npos) break;
        out.append(units, pos, hit - pos);
        out += with.units;
        pos = hit + needle.size();
        ++count;
    }
    if (count == 0) return 0;
    out.append(units, pos, std::u16string::npos);
    units = std::move(out);
    return count;
}

bool UniString::ReplaceFirst(const UniString& what, const UniString& with, CaseComparison cmp) {
    if (what.IsEmpty()) return false;
    const std::size_t hit = Find(units, what.units, 0, cmp);
    if (hit == std::u16string::npos) return false;
    units.replace(hit, what.units.size(), with.units);
    return true;
}

bool UniString::ReplaceLast(const UniString& what, const UniString& with, CaseComparison cmp) {
    if (what.IsEmpty()) return false;
    const std::size_t hit = FindBackward(units, what.units, cmp);
    if (hit == std::u16string::npos) return false;
    units.replace(hit, what.units.size(), with.units);
    return true;
}

UniString& UniString::SetToLowerCase() {
    for (auto& ch : units)
        ch = FoldCase(ch);
    return *this;
}

UniString& UniString::SetToUpperCase() {
    for (auto& ch : units)
        ch = UpperCase(ch);
    return *this;
}

UniString& UniString::Trim() {
    auto isSpace = [](char16_t c) {
        return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\v' || c == u'\f';
    };
    std::size_t b = 0, e = units.size();
    while (b < e && isSpace(units[b]))
        ++b;
    while (e > b && isSpace(units[e - 1]))
        --e;
    units = units.substr(b, e - b);
    return *this;
}

std::ostream& operator<<(std::ostream& os, const UniString& s) {
    return os << s.ToCStr(CC_UTF8).Get();
}

} // namespace GS
