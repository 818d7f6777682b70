#include "Location.hpp"

#include "CharCodeConversion.hpp"

#include <cstdio>

namespace IO {

namespace {

std::u16string Normalise(const std::u16string& pathText) {
    std::u16string result;
    result.reserve(pathText.size());
    for (char16_t ch : pathText) {
        if (ch == u'\\') ch = u'/';
        if (ch == u'/' && !result.empty() && result.back() == u'/') continue;
        result.push_back(ch);
    }
    if (result.size() > 1 && result.back() == u'/') result.pop_back();
    return result;
}

bool IsUnreserved(unsigned char byte) {
    return (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') || (byte >= '0' && byte <= '9') ||
           byte == '-' || byte == '.' || byte == '_' || byte == '~';
}

} // namespace

Location::Location(const GS::UniString& pathText) {
    Set(pathText);
}

GSErrCode Location::Set(const GS::UniString& pathText) {
    if (pathText.IsEmpty() || pathText.Contains(u'\0')) return BadNameErr;
    text = GS::UniString(Normalise(pathText.ToU16String()));
    return NoError;
}

GSErrCode Location::AppendToLocal(const Name& name) {
    if (!name.IsLegal()) return BadNameErr;
    if (!text.IsEmpty() && text.GetLast() != u'/') text += u'/';
    text.Append(name.ToString());
    return NoError;
}

GSErrCode Location::DeleteLastLocalName() {
    if (text.IsEmpty() || text == "/") return BadNameErr;
    const UIndex slash = text.FindLast(u'/');
    if (slash == MaxUIndex)
        text.Clear(); // a relative single name leaves nothing
    else
        text.Truncate(slash == 0 ? 1 : slash); // keep the root
    return NoError;
}

GSErrCode Location::GetLastLocalName(Name* name) const {
    if (name == nullptr) return Error;
    if (text.IsEmpty() || text == "/") return BadNameErr;
    const UIndex slash = text.FindLast(u'/');
    *name = Name(slash == MaxUIndex ? text : text.GetSubstring(slash + 1, text.GetLength() - slash - 1));
    return NoError;
}

GSErrCode Location::ToPath(GS::UniString* path) const {
    if (path == nullptr) return Error;
    if (text.IsEmpty()) return BadNameErr;
    *path = text;
    return NoError;
}

GSErrCode Location::ToDisplayText(GS::UniString* displayText) const {
    return ToPath(displayText);
}

GSErrCode Location::ToURL(GS::UniString* url) const {
    if (url == nullptr) return Error;
    if (!IsAbsolute()) return BadNameErr;
    std::string result = "file://";
    for (const char ch : GS::EncodeText(text.ToU16String(), CC_UTF8)) {
        const auto byte = static_cast<unsigned char>(ch);
        if (IsUnreserved(byte) || byte == '/') {
            result.push_back(ch);
        } else {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", static_cast<unsigned>(byte));
            result.append(escaped);
        }
    }
    *url = GS::UniString(result, CC_UTF8);
    return NoError;
}

bool Location::IsAbsolute() const {
    return !text.IsEmpty() && text[0] == u'/';
}

bool Location::IsLegalInNativeFileSystem() const {
    return IsAbsolute() && !text.Contains(u'\0');
}

std::filesystem::path Location::ToFileSystemPath() const {
    return std::filesystem::path(GS::EncodeText(text.ToU16String(), CC_Default));
}

Location Location::FromFileSystemPath(const std::filesystem::path& path) {
    return Location(GS::UniString(GS::DecodeText(path.native(), CC_Default)));
}

} // namespace IO
