#include "FolderFiles.hpp"

#include "Name.hpp"

#include <exception>

FileNameGetter::FileNameGetter(const IO::Folder& folder, bool includeSubfolders)
    : includeSubfolders(includeSubfolders), root(folder.GetLocation()) {}

bool FileNameGetter::FileFound(const IO::Name& name) {
    if (!includeSubfolders && !(GetParent() == root)) return false;
    names.Push(name.ToString());
    return true;
}

GS::Array<GS::UniString> ListFolderFiles(const IO::Location& location, bool includeSubfolders) {
    try {
        const IO::Folder folder(location);
        if (folder.GetStatus() != NoError) return {};
        FileNameGetter getter(folder, includeSubfolders);
        if (getter.Do(folder) != NoError) return {};
        return getter.GetNames();
    } catch (const std::exception&) {
        return {};
    }
}
