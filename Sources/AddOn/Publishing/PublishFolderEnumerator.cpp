#include "PublishFolderEnumerator.hpp"

#include "Location.hpp"

bool PublishFolderEnumerator::FileFound(const IO::Name& name) {
    IO::Location file = GetParent();
    GS::UniString path;
    if (file.AppendToLocal(name) != NoError || file.ToPath(&path) != NoError) return false;
    foundPath = path;
    return true;
}
