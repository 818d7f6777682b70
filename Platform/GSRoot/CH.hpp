#ifndef GSROOT_CH_HPP
#define GSROOT_CH_HPP

#include "Definitions.hpp"
#include "GSRootExport.hpp"

// Copies the C string `source` into `dest`, a buffer of destSize bytes: at most destSize - 1 bytes and a
// terminating NUL, cut before a multi-byte character that would not fit whole. destSize <= 0 or a null dest
// writes nothing; a null source gives the empty string. Source and dest may overlap (truncation in place).
GSROOT_DLL_EXPORT void CHTruncate(const char* source, char* dest, Int32 destSize, GSCharCode code = CC_Default);

#endif
