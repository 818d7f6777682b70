#ifndef QUILLMAR_IFCFILEWRITER_HPP
#define QUILLMAR_IFCFILEWRITER_HPP

#include "UniString.hpp"

// Writes the open project as an IFC file named `fileName` into the exchange folder with the host's first IFC
// export translator: only the elements shown in 3D when asked and the host can list them, else the whole project.
// Returns the written file's path text, "" when nothing could be written. [main-thread]
GS::UniString WriteProjectAsIfc(const GS::UniString& fileName, bool onlyVisible);

#endif
