#ifndef IO_FILESYSTEM_HPP
#define IO_FILESYSTEM_HPP

#include "IODefinitions.hpp"
#include "IOExport.hpp"
#include "Location.hpp"
#include "Name.hpp"

namespace IO {

// Operations on items of the file system. Stateless: calls from any thread, at the same time, are as safe as the
// system's own operations. Every call answers with a code; none throws. The empty location gives BadNameErr,
// a missing item NotFoundErr.
class IO_DLL_EXPORT FileSystem {
public:
    using enum AccessDeniedTreatment;
    using enum DataSafety;

    constexpr FileSystem() noexcept = default;

    // *contains is true when any item (file, folder, link) is at the location.
    GSErrCode Contains(const Location& location, bool* contains) const;

    // A file, or an empty folder (ExistsErr when it holds something).
    GSErrCode Delete(const Location& location, DataSafety safety = DefaultSafety,
                     AccessDeniedTreatment accessDenied = AccessDeniedIsDefault) const;
    // A file, or a folder with all its content.
    GSErrCode DeleteTree(const Location& location) const;

    // Makes the folder and all missing parents. Success when the folder exists already; ExistsErr when a file
    // is in the way.
    GSErrCode CreateFolderTree(const Location& location) const;

    // A file or folder to a new place, also onto another file system. ExistsErr when anything is at the target,
    // which then stays as it was. After any failure the item is still whole at the source or at the target.
    GSErrCode Move(const Location& from, const Location& to, DataSafety safety = DefaultSafety) const;
    // A file, or a folder with all its content. ExistsErr when anything is at the target; BadNameErr when the
    // target lies inside the folder being copied. A failed copy leaves no target behind.
    GSErrCode Copy(const Location& from, const Location& to) const;
    // Gives the item a new name in its folder. BadNameErr for an illegal name, ExistsErr when the name is taken.
    GSErrCode Rename(const Location& item, const Name& newName,
                     AccessDeniedTreatment accessDenied = AccessDeniedIsDefault) const;
};

// The process-wide instance that the add-on calls.
extern IO_DLL_EXPORT FileSystem fileSystem;

} // namespace IO

#endif
