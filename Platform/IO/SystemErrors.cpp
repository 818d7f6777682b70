#include "SystemErrors.hpp"

#include <cerrno>

namespace IO::Internal {

GSErrCode FromErrno(int number) noexcept {
    switch (number) {
    case 0:
        return NoError;
    case ENOENT:
    case ENOTDIR:
        return NotFoundErr;
    case EEXIST:
    case ENOTEMPTY:
    case EISDIR:
        return ExistsErr;
    case EACCES:
    case EPERM:
    case EROFS:
        return AccessDeniedErr;
    case ENAMETOOLONG:
    case EILSEQ:
        return BadNameErr;
    default:
        return IOErr;
    }
}

GSErrCode FromSystemError(const std::error_code& error) noexcept {
    if (!error) return NoError;
    if (error.category() != std::generic_category() && error.category() != std::system_category()) return IOErr;
    return FromErrno(error.value());
}

} // namespace IO::Internal
