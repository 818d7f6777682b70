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

PreparedNames::PreparedNames(GS::Array<GS::UniString> listed) : names(std::move(listed)) {}

std::optional<GS::UniString> PreparedNames::Find(const GS::UniString& key) {
    const USize length = key.GetLength();
    if (length == 0) return std::nullopt;
    auto [index, added] = pieces.try_emplace(length);
    if (added) {
        for (UIndex i = 0; i < names.GetSize(); ++i) {
            const std::u16string& name = names[i].ToU16String();
            for (std::size_t start = 0; start + length <= name.size(); ++start)
                index->second.try_emplace(name.substr(start, length), i); // the first name holding it stays
        }
    }
    const auto found = index->second.find(key.ToU16String());
    if (found == index->second.end()) return std::nullopt;
    return names[found->second];
}
