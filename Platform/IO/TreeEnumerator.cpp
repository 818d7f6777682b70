#include "TreeEnumerator.hpp"

#include "CharCodeConversion.hpp"
#include "SystemErrors.hpp"

#include <algorithm>
#include <filesystem>
#include <vector>

namespace fs = std::filesystem;

namespace IO {

namespace {

struct Entries {
    std::vector<fs::path> files;
    std::vector<fs::path> folders;
};

// The names in the folder, split and sorted, before anything is reported, so that handlers may change the folder.
GSErrCode ReadFolder(const fs::path& folder, Entries* entries) {
    std::error_code error;
    fs::directory_iterator it(folder, error);
    for (; !error && it != fs::directory_iterator(); it.increment(error)) {
        const fs::file_type own = it->symlink_status(error).type();
        if (error && own != fs::file_type::not_found) break; // gone meanwhile: nothing to report
        if (own == fs::file_type::directory) {
            entries->folders.push_back(it->path().filename());
        } else if (own == fs::file_type::regular ||
                   (own == fs::file_type::symlink && it->is_regular_file(error) && !error)) {
            entries->files.push_back(it->path().filename());
        }
        error.clear(); // neither a dangling link nor a vanished entry is an error of the walk
    }
    if (error) return Internal::FromSystemError(error);
    std::sort(entries->files.begin(), entries->files.end());
    std::sort(entries->folders.begin(), entries->folders.end());
    return NoError;
}

Name ToName(const fs::path& fileName) {
    return Name(GS::UniString(GS::DecodeText(fileName.native(), CC_Default)));
}

} // namespace

TreeEnumerator::~TreeEnumerator() = default;

bool TreeEnumerator::FolderFound(const Name& /*name*/) {
    return true;
}

GSErrCode TreeEnumerator::Do(const Folder& folder) {
    if (folder.GetStatus() != NoError) return folder.GetStatus();
    return Do(folder.GetLocation());
}

GSErrCode TreeEnumerator::Do(const Location& folder) {
    if (folder.IsEmpty()) return BadNameErr;
    std::error_code error;
    if (!fs::is_directory(folder.ToFileSystemPath(), error))
        return error ? Internal::FromSystemError(error) : NotFoundErr;

    // The parent is cleared on every way out, a handler's exception included.
    struct ParentReset {
        Location& parent;
        ~ParentReset() { parent = Location(); }
    } reset{parent};
    bool stopped = false;
    return Walk(folder, &stopped);
}

GSErrCode TreeEnumerator::Walk(const Location& folder, bool* stopped) {
    Entries entries;
    if (const GSErrCode error = ReadFolder(folder.ToFileSystemPath(), &entries); error != NoError) return error;

    for (const fs::path& file : entries.files) {
        const Name name = ToName(file);
        if (!name.IsLegal()) continue;
        parent = folder;
        if (!FileFound(name)) {
            *stopped = true;
            return NoError;
        }
    }
    for (const fs::path& sub : entries.folders) {
        const Name name = ToName(sub);
        if (!name.IsLegal()) continue;
        parent = folder;
        if (!FolderFound(name)) continue;
        Location inner = folder;
        inner.AppendToLocal(name);
        if (const GSErrCode error = Walk(inner, stopped); error != NoError || *stopped) return error;
    }
    return NoError;
}

} // namespace IO
