#include "Folder.hpp"

#include "SystemErrors.hpp"

#include <filesystem>

namespace IO {

Folder::Folder(const Location& location) : location(location) {
    if (location.IsEmpty()) {
        status = BadNameErr;
        return;
    }
    std::error_code error;
    const bool isFolder = std::filesystem::is_directory(location.ToFileSystemPath(), error);
    status = error ? Internal::FromSystemError(error) : (isFolder ? NoError : NotFoundErr);
}

} // namespace IO
