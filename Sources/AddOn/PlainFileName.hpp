#ifndef QUILLMAR_PLAINFILENAME_HPP
#define QUILLMAR_PLAINFILENAME_HPP

#include "UniString.hpp"

// Whether a page-given text can name a file inside one of the add-on's folders and nowhere else: one legal
// component (no separator, NUL, "." or ".."), no drive or colon, no line break, at most 200 bytes.
bool IsPlainFileName(const GS::UniString& name);

#endif
