#ifndef QUILLMAR_FILECONTENT_HPP
#define QUILLMAR_FILECONTENT_HPP

#include "Definitions.hpp"
#include "UniString.hpp"

#include <optional>

namespace IO {
class Location;
}

// [main-thread] Gives `target` exactly these bytes: they are written to a temporary file of the same folder, made
// durable, then renamed over the target. A failure leaves the earlier file as it was and no temporary file behind;
// a reader never sees a mix or a cut file. False on failure.
bool ReplaceFileContent(const IO::Location& target, const char* bytes, USize length);
// [main-thread] The whole file as text in the default character code; empty when it is missing or cannot be read.
std::optional<GS::UniString> ReadFileText(const IO::Location& file);

#endif
