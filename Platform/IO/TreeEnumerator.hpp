#ifndef IO_TREEENUMERATOR_HPP
#define IO_TREEENUMERATOR_HPP

#include "Folder.hpp"
#include "IODefinitions.hpp"
#include "IOExport.hpp"
#include "Location.hpp"
#include "Name.hpp"

namespace IO {

// Walks a folder tree depth-first. In each folder it reports the files first, then goes into the subfolders;
// both in the order of their names, so that walks repeat. Links to folders are not followed; links to files are
// reported as files. Names holding "\" are left out: a path text would read it as a separator.
// One walk at a time per object, on the calling thread.
class IO_DLL_EXPORT TreeEnumerator {
public:
    TreeEnumerator() = default;
    TreeEnumerator(const TreeEnumerator&) = delete;
    TreeEnumerator& operator=(const TreeEnumerator&) = delete;
    virtual ~TreeEnumerator();

    // NoError when the walk ended or a handler stopped it; otherwise the error that ended it (NotFoundErr when the
    // root is no folder). Errors of the file system never escape as exceptions; a handler's exceptions pass through.
    GSErrCode Do(const Folder& folder);
    GSErrCode Do(const Location& folder);

    // During a handler: the folder holding the reported item. The root is the location given to Do, unchanged.
    const Location& GetParent() const noexcept { return parent; }

    // One file; true goes on, false stops the whole walk.
    virtual bool FileFound(const Name& name) = 0;
    // One subfolder, before the walk goes into it; true goes into it, false skips it and goes on.
    virtual bool FolderFound(const Name& name);

private:
    GSErrCode Walk(const Location& folder, bool* stopped);

    Location parent;
};

} // namespace IO

#endif
