#include "Name.hpp"

namespace IO {

bool Name::IsLegal() const {
    if (text.IsEmpty() || text == "." || text == "..") return false;
    for (const char16_t ch : text.ToU16String()) {
        if (ch == u'/' || ch == u'\\' || ch == u'\0') return false;
    }
    return true;
}

UIndex Name::ExtensionDot() const {
    const UIndex dot = text.FindLast(u'.');
    if (dot == MaxUIndex || dot == 0 || dot + 1 == text.GetLength()) return MaxUIndex;
    return dot;
}

bool Name::HasExtension() const {
    return ExtensionDot() != MaxUIndex;
}

GS::UniString Name::GetExtension() const {
    const UIndex dot = ExtensionDot();
    return dot == MaxUIndex ? GS::UniString() : text.GetSubstring(dot + 1, text.GetLength() - dot - 1);
}

GS::UniString Name::GetBase() const {
    const UIndex dot = ExtensionDot();
    return dot == MaxUIndex ? text : text.GetPrefix(dot);
}

Name& Name::DeleteExtension() {
    const UIndex dot = ExtensionDot();
    if (dot != MaxUIndex) text.Truncate(dot);
    return *this;
}

Name& Name::AppendExtension(const GS::UniString& extension) {
    if (!extension.IsEmpty()) text.Append(GS::UniString(".")).Append(extension);
    return *this;
}

} // namespace IO
