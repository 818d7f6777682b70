#include "FileSystem.hpp"

#include "SystemErrors.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>

namespace fs = std::filesystem;

namespace IO {

FileSystem fileSystem;

namespace {

using Internal::FromErrno;
using Internal::FromSystemError;

// Whether anything, even a dangling link, is at the path.
GSErrCode Lookup(const fs::path& path, bool* exists) {
    std::error_code error;
    const fs::file_status status = fs::symlink_status(path, error);
    *exists = fs::exists(status);
    return status.type() == fs::file_type::not_found ? NoError : FromSystemError(error);
}

// NoError when the source is there and nothing is at the target.
GSErrCode CheckSourceAndTarget(const fs::path& from, const fs::path& to) {
    bool exists = false;
    if (const GSErrCode error = Lookup(from, &exists); error != NoError) return error;
    if (!exists) return NotFoundErr;
    if (const GSErrCode error = Lookup(to, &exists); error != NoError) return error;
    return exists ? ExistsErr : NoError;
}

// Renames without replacing what is at the target; the system refuses atomically where it can, so two threads
// moving onto the same name cannot overwrite each other. Gives the system's error number, 0 on success.
int RenameNoReplace(const fs::path& from, const fs::path& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return errno;
    // The file system may not know the flag (EINVAL also means a folder into itself, which rename reports again).
    bool exists = false;
    if (Lookup(to, &exists) == NoError && exists) return EEXIST;
    return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

bool LiesInside(const fs::path& inner, const fs::path& outer) {
    std::error_code error;
    const fs::path innerPath = fs::weakly_canonical(inner, error);
    if (error) return false;
    const fs::path outerPath = fs::weakly_canonical(outer, error);
    if (error) return false;
    return std::mismatch(outerPath.begin(), outerPath.end(), innerPath.begin(), innerPath.end()).first ==
           outerPath.end();
}

// Copies what CheckSourceAndTarget accepted; a failure removes what it made.
GSErrCode CopyItem(const fs::path& from, const fs::path& to) {
    std::error_code error;
    const bool isFolder = fs::is_directory(fs::symlink_status(from, error));
    if (error) return FromSystemError(error);
    if (isFolder) {
        if (LiesInside(to, from)) return BadNameErr;
        fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::copy_symlinks, error);
    } else {
        fs::copy(from, to, fs::copy_options::copy_symlinks, error);
    }
    if (!error) return NoError;
    if (error == std::errc::file_exists && !isFolder) return ExistsErr; // someone else made the target meanwhile
    std::error_code ignored;
    fs::remove_all(to, ignored);
    return FromSystemError(error);
}

} // namespace

GSErrCode FileSystem::Contains(const Location& location, bool* contains) const {
    if (contains == nullptr) return Error;
    *contains = false;
    if (location.IsEmpty()) return BadNameErr;
    return Lookup(location.ToFileSystemPath(), contains);
}

GSErrCode FileSystem::Delete(const Location& location, DataSafety /*safety*/,
                             AccessDeniedTreatment /*accessDenied*/) const {
    if (location.IsEmpty()) return BadNameErr;
    std::error_code error;
    const bool removed = fs::remove(location.ToFileSystemPath(), error);
    if (error) return FromSystemError(error);
    return removed ? NoError : NotFoundErr;
}

GSErrCode FileSystem::DeleteTree(const Location& location) const {
    if (location.IsEmpty()) return BadNameErr;
    std::error_code error;
    const std::uintmax_t removed = fs::remove_all(location.ToFileSystemPath(), error);
    if (error) return FromSystemError(error);
    return removed > 0 ? NoError : NotFoundErr;
}

GSErrCode FileSystem::CreateFolderTree(const Location& location) const {
    if (location.IsEmpty()) return BadNameErr;
    const fs::path path = location.ToFileSystemPath();
    std::error_code error;
    fs::create_directories(path, error);
    if (error == std::errc::not_a_directory || error == std::errc::file_exists) return ExistsErr; // a file in the way
    if (error) return FromSystemError(error);
    return fs::is_directory(path, error) ? NoError : ExistsErr;
}

GSErrCode FileSystem::Move(const Location& from, const Location& to, DataSafety /*safety*/) const {
    if (from.IsEmpty() || to.IsEmpty()) return BadNameErr;
    const fs::path source = from.ToFileSystemPath();
    const fs::path target = to.ToFileSystemPath();
    if (const GSErrCode error = CheckSourceAndTarget(source, target); error != NoError) return error;
    const int renamed = RenameNoReplace(source, target);
    if (renamed == 0) return NoError;
    if (renamed == EINVAL) return BadNameErr; // a folder into itself
    if (renamed != EXDEV) return FromErrno(renamed);

    // Another file system: copy, then remove the source. Should the removal fail, the target is whole.
    if (const GSErrCode error = CopyItem(source, target); error != NoError) return error;
    std::error_code error;
    fs::remove_all(source, error);
    return FromSystemError(error);
}

GSErrCode FileSystem::Copy(const Location& from, const Location& to) const {
    if (from.IsEmpty() || to.IsEmpty()) return BadNameErr;
    const fs::path source = from.ToFileSystemPath();
    const fs::path target = to.ToFileSystemPath();
    if (const GSErrCode error = CheckSourceAndTarget(source, target); error != NoError) return error;
    return CopyItem(source, target);
}

GSErrCode FileSystem::Rename(const Location& item, const Name& newName, AccessDeniedTreatment /*accessDenied*/) const {
    if (!newName.IsLegal()) return BadNameErr;
    Name oldName;
    if (const GSErrCode error = item.GetLastLocalName(&oldName); error != NoError) return error;
    Location renamed = item;
    renamed.DeleteLastLocalName();
    renamed.AppendToLocal(newName);

    const fs::path source = item.ToFileSystemPath();
    bool exists = false;
    if (const GSErrCode error = Lookup(source, &exists); error != NoError) return error;
    if (!exists) return NotFoundErr;
    if (renamed == item) return NoError;
    return FromErrno(RenameNoReplace(source, renamed.ToFileSystemPath()));
}

} // namespace IO
