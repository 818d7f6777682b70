#ifndef GSROOT_DEBUGOUTPUT_HPP
#define GSROOT_DEBUGOUTPUT_HPP

#include "GSRootExport.hpp"

#include <functional>

namespace GS {

// The platform's debugger output channel. Without a sink the text goes to standard error.
// [thread-safe]
GSROOT_DLL_EXPORT void WriteDebugOutput(const char* text);
// The host may take the channel over (the simulated host records it); an empty function restores standard error.
GSROOT_DLL_EXPORT void SetDebugOutputSink(std::function<void(const char*)> sink);

} // namespace GS

#endif
