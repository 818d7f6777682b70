#ifndef QUILLMAR_PUBLISHING_PUBLISHFOLDERENUMERATOR_HPP
#define QUILLMAR_PUBLISHING_PUBLISHFOLDERENUMERATOR_HPP

#include "TreeEnumerator.hpp"
#include "UniString.hpp"

// Walks an item's output folder, subfolders included, and keeps the path of the last file it met: the host may
// write the item's file anywhere below the folder it was given.
class PublishFolderEnumerator : public IO::TreeEnumerator {
public:
    // Empty when the walk met no file.
    const GS::UniString& GetFoundPath() const noexcept { return foundPath; }

private:
    bool FileFound(const IO::Name& name) override;

    GS::UniString foundPath;
};

#endif
