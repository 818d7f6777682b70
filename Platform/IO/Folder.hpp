#ifndef IO_FOLDER_HPP
#define IO_FOLDER_HPP

#include "IODefinitions.hpp"
#include "IOExport.hpp"
#include "Location.hpp"

namespace IO {

// A folder on disk, as found at construction. The object only remembers the location and what was found.
class IO_DLL_EXPORT Folder {
public:
    // The status is NotFoundErr when nothing or a non-folder is there, BadNameErr for the empty location.
    explicit Folder(const Location& location);

    GSErrCode GetStatus() const noexcept { return status; }
    const Location& GetLocation() const noexcept { return location; }

private:
    Location location;
    GSErrCode status = NoError;
};

} // namespace IO

#endif
