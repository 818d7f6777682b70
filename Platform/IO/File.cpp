#include "File.hpp"

#include "SystemErrors.hpp"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace IO {

namespace {

int OpenFlags(File::OpenMode mode) {
    switch (mode) {
    case File::ReadMode:
        return O_RDONLY;
    case File::WriteMode:
        return O_WRONLY;
    case File::WriteEmptyMode:
        return O_WRONLY | O_TRUNC;
    case File::ReadWriteMode:
        return O_RDWR;
    case File::AppendMode:
        return O_WRONLY | O_APPEND;
    }
    return -1;
}

// Is there a regular file (or a link to one)? NoError, NotFoundErr or the reason the question failed.
GSErrCode CheckRegularFile(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return Internal::FromErrno(errno);
    return S_ISREG(info.st_mode) ? NoError : NotFoundErr;
}

} // namespace

File::File(const Location& location, OnNotFound onNotFound) : location(location) {
    if (location.IsEmpty()) {
        status = BadNameErr;
        return;
    }
    const std::string path = location.ToFileSystemPath().native();
    status = CheckRegularFile(path);
    if (status != NotFoundErr || onNotFound != Create) return;

    // O_EXCL: when another thread makes the file in between, it is there and that is all that was asked.
    const int made = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (made >= 0) {
        ::close(made);
        status = NoError;
    } else {
        const int reason = errno; // EEXIST: a folder in the way, or the file another thread just made
        status = reason == EEXIST && CheckRegularFile(path) == NoError ? NoError : Internal::FromErrno(reason);
    }
}

File::~File() {
    Close();
}

GSErrCode File::Open(OpenMode mode, AccessDeniedTreatment /*accessDenied*/) {
    if (status != NoError) return status;
    if (IsOpen()) return AlreadyOpenErr;
    const int flags = OpenFlags(mode);
    if (flags < 0) return IOErr;
    const std::string path = location.ToFileSystemPath().native();
    const int opened = ::open(path.c_str(), flags | O_CLOEXEC);
    if (opened < 0) return Internal::FromErrno(errno);
    descriptor = opened;
    return NoError;
}

GSErrCode File::Flush() {
    if (!IsOpen()) return Error;
    return ::fsync(descriptor) == 0 ? NoError : Internal::FromErrno(errno);
}

GSErrCode File::Close() {
    if (!IsOpen()) return NoError;
    const int closed = ::close(descriptor);
    descriptor = -1; // the descriptor is gone even when close reports a failure
    return closed == 0 ? NoError : Internal::FromErrno(errno);
}

GSErrCode File::GetDataLength(UInt64* length) const {
    if (length == nullptr) return Error;
    if (status != NoError) return status;
    struct stat info {};
    const int result = IsOpen() ? ::fstat(descriptor, &info) : ::stat(location.ToFileSystemPath().c_str(), &info);
    if (result != 0) return Internal::FromErrno(errno);
    *length = static_cast<UInt64>(info.st_size);
    return NoError;
}

GSErrCode File::ReadBin(char* buffer, USize count, USize* read) {
    if (read != nullptr) *read = 0;
    if (!IsOpen()) return NotOpenErr;
    if (buffer == nullptr && count > 0) return Error;
    USize done = 0;
    while (done < count) {
        const ssize_t got = ::read(descriptor, buffer + done, count - done);
        if (got < 0) {
            if (errno == EINTR) continue;
            if (read != nullptr) *read = done;
            return Internal::FromErrno(errno);
        }
        if (got == 0) break;
        done += static_cast<USize>(got);
    }
    if (read != nullptr) {
        *read = done;
        return NoError;
    }
    return done == count ? NoError : EndOfFileErr;
}

GSErrCode File::WriteBin(const char* buffer, USize count) {
    if (!IsOpen()) return NotOpenErr;
    if (buffer == nullptr && count > 0) return Error;
    USize done = 0;
    while (done < count) {
        const ssize_t written = ::write(descriptor, buffer + done, count - done);
        if (written < 0) {
            if (errno == EINTR) continue;
            return Internal::FromErrno(errno);
        }
        done += static_cast<USize>(written);
    }
    return NoError;
}

} // namespace IO
