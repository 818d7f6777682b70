#ifndef QUILLMAR_FOLDERFILES_HPP
#define QUILLMAR_FOLDERFILES_HPP

#include "Array.hpp"
#include "Folder.hpp"
#include "Location.hpp"
#include "TreeEnumerator.hpp"
#include "UniString.hpp"

// Collects the names (last components) of the files in a folder, and in its subfolders when asked.
class FileNameGetter : public IO::TreeEnumerator {
public:
    FileNameGetter(const IO::Folder& folder, bool includeSubfolders);

    const GS::Array<GS::UniString>& GetNames() const noexcept { return names; }

private:
    bool FileFound(const IO::Name& name) override;

    GS::Array<GS::UniString> names;
    bool includeSubfolders;
    IO::Location root;
};

// The file names of the folder in the order the walk finds them; empty when it cannot be walked.
GS::Array<GS::UniString> ListFolderFiles(const IO::Location& folder, bool includeSubfolders);

#endif
