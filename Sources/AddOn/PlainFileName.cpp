#include "PlainFileName.hpp"

#include "Name.hpp"

#include <cstring>

namespace {

// Past this many bytes a name is longer than file systems keep.
constexpr std::size_t MaxNameBytes = 200;

} // namespace

bool IsPlainFileName(const GS::UniString& name) {
    if (!IO::Name(name).IsLegal()) return false;
    for (const UniChar unit : {u':', u'\r', u'\n'})
        if (name.Contains(unit)) return false;
    return std::strlen(name.ToCStr(CC_UTF8).Get()) <= MaxNameBytes;
}
