#include "PublishWorkFolders.hpp"

#include "HostBinding/HostOperations.hpp"

#include "FileSystem.hpp"
#include "Name.hpp"

const char* const TempPublishFolder = "TempPublish";
const char* const PreparePublishFolder = "PreparePublish";
const char* const PublishFolder = "Publish";

std::optional<IO::Location> OpenWorkFolder(const char* name, bool emptyFirst) {
    IO::Location folder;
    const API_SpecFolderID exchangeFolder = API_ExchangeFolderID;
    if (ACAPI_ProjectSettings_GetSpecFolder(&exchangeFolder, &folder) != NoError) return std::nullopt;
    if (folder.AppendToLocal(IO::Name(name)) != NoError) return std::nullopt;
    if (emptyFirst) (void)IO::fileSystem.DeleteTree(folder); // a folder that cannot be emptied is made again below
    GS::UniString path;
    if (IO::fileSystem.CreateFolderTree(folder) != NoError || folder.ToPath(&path) != NoError || path.IsEmpty())
        return std::nullopt;
    return folder;
}

std::optional<GS::UniString> FindPreparedName(const GS::Array<GS::UniString>& names, const GS::UniString& key) {
    if (key.IsEmpty()) return std::nullopt;
    for (const GS::UniString& name : names)
        if (name.Contains(key)) return name;
    return std::nullopt;
}
