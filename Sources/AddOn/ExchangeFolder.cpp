#include "ExchangeFolder.hpp"

#include "HostBinding/HostOperations.hpp"

#include "FileSystem.hpp"
#include "Location.hpp"
#include "Name.hpp"

#include <atomic>
#include <unistd.h>

namespace {

// A name in the exchange folder that no other save of this or another process uses at the same time.
GS::UniString TemporaryName(const GS::UniString& fileName) {
    static std::atomic<unsigned long> sequence = 0;
    return GS::UniString::Printf("~quillmar-%d-%lu-", static_cast<int>(getpid()), ++sequence) + fileName;
}

bool Exists(const IO::Location& location) {
    bool exists = false;
    return IO::fileSystem.Contains(location, &exists) == NoError && exists;
}

// The first of "name", "name-2.ext", "name-3.ext"... that names no file of the folder.
GS::UniString FreeName(const IO::Location& folder, const GS::UniString& fileName) {
    const UIndex dot = fileName.FindLast(u'.');
    const GS::UniString stem = dot == MaxUIndex ? fileName : fileName.GetPrefix(dot);
    const GS::UniString extension = dot == MaxUIndex ? GS::UniString() : fileName.GetSuffix(fileName.GetLength() - dot);
    GS::UniString candidate = fileName;
    for (UInt32 number = 2;; ++number) {
        IO::Location location = folder;
        if (location.AppendToLocal(IO::Name(candidate)) != NoError || !Exists(location)) return candidate;
        candidate = stem + GS::UniString::Printf("-%u", number) + extension;
    }
}

} // namespace

std::optional<IO::Location> NewExchangeFile(const GS::UniString& fileName, ExistingFile existing) {
    IO::Location folder;
    const API_SpecFolderID exchangeFolder = API_ExchangeFolderID;
    if (ACAPI_ProjectSettings_GetSpecFolder(&exchangeFolder, &folder) != NoError) return std::nullopt;
    IO::Location target = folder;
    if (target.AppendToLocal(IO::Name(existing == ExistingFile::KeepBoth ? FreeName(folder, fileName) : fileName)) !=
        NoError)
        return std::nullopt;
    return target;
}

GS::UniString SaveIntoExchangeFolder(const GS::UniString& fileName, API_FileSavePars& saveParams,
                                     const void* typeParams, ExistingFile existing) {
    const std::optional<IO::Location> newFile = NewExchangeFile(fileName, existing);
    if (!newFile) return GS::UniString();
    const IO::Location& target = *newFile;
    IO::Name name;
    IO::Location temporary = target;
    if (target.GetLastLocalName(&name) != NoError || temporary.DeleteLastLocalName() != NoError ||
        temporary.AppendToLocal(IO::Name(TemporaryName(fileName))) != NoError)
        return GS::UniString();

    saveParams.file = &temporary;
    const GSErrCode saved = ACAPI_ProjectOperation_Save(&saveParams, typeParams);
    saveParams.file = nullptr;
    if (saved != NoError) {
        (void)IO::fileSystem.Delete(temporary); // whatever a failed save left; usually nothing
        return GS::UniString();
    }
    // The name is freed first: a rename never replaces. An upload holding the earlier file keeps reading it.
    if (Exists(target) && IO::fileSystem.Delete(target) != NoError) {
        (void)IO::fileSystem.Delete(temporary); // the earlier file stays; the save is reported as failed
        return GS::UniString();
    }
    if (IO::fileSystem.Rename(temporary, name, IO::AccessDeniedIsError) != NoError) {
        (void)IO::fileSystem.Delete(temporary);
        return GS::UniString();
    }
    GS::UniString path;
    if (target.ToPath(&path) != NoError) return GS::UniString();
    return path;
}
