#include "FileContent.hpp"

#include "File.hpp"
#include "FileSystem.hpp"
#include "Location.hpp"
#include "Name.hpp"

#include <atomic>
#include <cstdio>
#include <limits>
#include <string>
#include <unistd.h>

bool ReplaceFileContent(const IO::Location& target, const char* bytes, USize length) {
    static std::atomic<unsigned long> sequence = 0;
    IO::Name targetName;
    if (target.GetLastLocalName(&targetName) != NoError) return false;
    // A name no other save of this or another process uses at the same time.
    IO::Location temporary = target;
    const GS::UniString temporaryName =
        GS::UniString::Printf("~quillmar-%d-%lu-", static_cast<int>(getpid()), ++sequence) + targetName.ToString();
    if (temporary.DeleteLastLocalName() != NoError || temporary.AppendToLocal(IO::Name(temporaryName)) != NoError)
        return false;
    {
        IO::File file(temporary, IO::File::Create);
        if (file.GetStatus() != NoError || file.Open(IO::File::WriteEmptyMode, IO::AccessDeniedIsError) != NoError ||
            (length > 0 && file.WriteBin(bytes, length) != NoError) || file.Flush() != NoError ||
            file.Close() != NoError) {
            (void)IO::fileSystem.Delete(temporary); // the earlier file stays as it was
            return false;
        }
    }
    // rename(2) replaces the target in one step; the file system's Rename never replaces, so it is not used here.
    if (std::rename(temporary.ToFileSystemPath().c_str(), target.ToFileSystemPath().c_str()) != 0) {
        (void)IO::fileSystem.Delete(temporary);
        return false;
    }
    return true;
}

std::optional<GS::UniString> ReadFileText(const IO::Location& location) {
    IO::File file(location);
    UInt64 length = 0;
    if (file.GetStatus() != NoError || file.Open(IO::File::ReadMode, IO::AccessDeniedIsError) != NoError ||
        file.GetDataLength(&length) != NoError || length > std::numeric_limits<USize>::max() / 2) {
        return std::nullopt;
    }
    std::string bytes(static_cast<std::size_t>(length), '\0');
    if (length > 0 && file.ReadBin(bytes.data(), static_cast<USize>(length)) != NoError) return std::nullopt;
    return GS::UniString(bytes.data(), static_cast<USize>(bytes.size()), CC_Default);
}
