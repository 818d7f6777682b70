#ifndef QUILLMAR_EXCHANGEFOLDER_HPP
#define QUILLMAR_EXCHANGEFOLDER_HPP

#include "APIDefinitions.hpp"
#include "Location.hpp"
#include "UniString.hpp"

#include <optional>

// What a save does with a file that already has its name.
enum class ExistingFile {
    Replace,  // the new file takes the name
    KeepBoth, // the new file gets the name with "-2", "-3"... before its extension
};

// [main-thread] Has the host save into the exchange folder (special folder 7) as `fileName`, with `saveParams`
// (whose file is set here) and the type's own parameters. The host writes a temporary file that then takes the
// name (see ExistingFile): an upload still sending an earlier file of the name keeps its own bytes. Returns the
// saved file's path text, "" when nothing was saved (no temporary file is left behind).
GS::UniString SaveIntoExchangeFolder(const GS::UniString& fileName, API_FileSavePars& saveParams,
                                     const void* typeParams, ExistingFile existing = ExistingFile::Replace);

// [main-thread] Where a file that another program writes goes in the exchange folder: `fileName`, or with
// KeepBoth the first free name of its kind. nullopt when the folder cannot be had.
std::optional<IO::Location> NewExchangeFile(const GS::UniString& fileName, ExistingFile existing);

#endif
