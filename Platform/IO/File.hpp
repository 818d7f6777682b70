#ifndef IO_FILE_HPP
#define IO_FILE_HPP

#include "IODefinitions.hpp"
#include "IOExport.hpp"
#include "Location.hpp"

namespace IO {

// One file on disk, opened for binary access. One object is used by one thread at a time; several objects may
// work on different files (or read the same one) from different threads. The destructor closes the file.
class IO_DLL_EXPORT File {
public:
    enum OnNotFound : Int32 {
        Fail = 0,
        Create = 1, // make an empty file when there is none
    };

    enum OpenMode : Int32 {
        ReadMode = 0,
        WriteMode = 1, // writes from the start over the old content, which is kept beyond what is written
        WriteEmptyMode = 2,
        ReadWriteMode = 3,
        AppendMode = 4,
    };

    using enum AccessDeniedTreatment;

    // The status tells whether the file is there: NotFoundErr when it is missing with Fail (or a folder is there),
    // the reason when Create could not make it.
    File(const Location& location, OnNotFound onNotFound = Fail);
    ~File();
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    GSErrCode GetStatus() const noexcept { return status; }
    const Location& GetLocation() const noexcept { return location; }

    // Fails with the status when it is an error, AlreadyOpenErr when open. Never creates the file.
    GSErrCode Open(OpenMode mode, AccessDeniedTreatment accessDenied = AccessDeniedIsDefault);
    bool IsOpen() const noexcept { return descriptor >= 0; }
    // Closing a closed file does nothing.
    GSErrCode Close();

    // The size in bytes; works also while the file is closed.
    GSErrCode GetDataLength(UInt64* length) const;
    // Reads up to count bytes from the current position. With read, reaching the end early is not an error and
    // read tells how many arrived; without it, fewer bytes than count give EndOfFileErr.
    GSErrCode ReadBin(char* buffer, USize count, USize* read = nullptr);
    // Writes all count bytes at the current position (at the end in AppendMode).
    GSErrCode WriteBin(const char* buffer, USize count);
    // Makes what was written durable on the disk before it returns.
    GSErrCode Flush();

private:
    Location location;
    GSErrCode status = NoError;
    int descriptor = -1;
};

} // namespace IO

#endif
