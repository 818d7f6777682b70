#ifndef IO_LOCATION_HPP
#define IO_LOCATION_HPP

#include "IODefinitions.hpp"
#include "IOExport.hpp"
#include "Name.hpp"
#include "UniString.hpp"

#include <filesystem>

namespace IO {

// An absolute or relative path, or nothing (the default). A value type; nothing touches the disk.
// Path texts given to it may separate components with "\" or "/" (the add-on's texts are born on Windows);
// path texts it produces use "/". Runs of separators count as one and a trailing separator is dropped.
class IO_DLL_EXPORT Location {
public:
    Location() = default;
    // A text that Set refuses gives the empty location.
    explicit Location(const GS::UniString& pathText);

    // BadNameErr (location unchanged) for an empty text or one holding NUL.
    GSErrCode Set(const GS::UniString& pathText);

    // BadNameErr (location unchanged) unless name.IsLegal(), so a name from outside cannot leave this folder.
    GSErrCode AppendToLocal(const Name& name);
    // BadNameErr when there is no local name to delete (empty location, or the root alone).
    GSErrCode DeleteLastLocalName();
    GSErrCode GetLastLocalName(Name* name) const;

    // The path text; BadNameErr for the empty location.
    GSErrCode ToPath(GS::UniString* path) const;
    GSErrCode ToDisplayText(GS::UniString* text) const;
    // "file://" and the percent-encoded UTF-8 path; BadNameErr for an empty or relative location.
    GSErrCode ToURL(GS::UniString* url) const;

    bool IsEmpty() const noexcept { return text.IsEmpty(); }
    bool IsAbsolute() const;
    // Non-empty, absolute and free of NUL.
    bool IsLegalInNativeFileSystem() const;

    friend bool operator==(const Location& a, const Location& b) noexcept { return a.text == b.text; }

    // Stand-in only: the same item as a native path, in the bytes of the default character code (as the C runtime
    // sees the path text), and back.
    std::filesystem::path ToFileSystemPath() const;
    static Location FromFileSystemPath(const std::filesystem::path& path);

private:
    GS::UniString text; // normalised: "/" separators, no runs, no trailing separator
};

} // namespace IO

#endif
