#ifndef GSROOT_TIME_HPP
#define GSROOT_TIME_HPP

#include "Definitions.hpp"
#include "GSRootExport.hpp"
#include "UniString.hpp"

// Milliseconds since 1970-01-01T00:00:00Z.
using GSTime = Int64;

// The current time (or the test clock, see GS::SetTimeSourceForTesting). Thread-safe.
GSROOT_DLL_EXPORT GSTime TIGetTime();

// Local time as "YYYY-MM-DDTHH:MM:SS", with ".mmm" appended when withMilliseconds is true; follows the current TZ.
// Empty when the time cannot be broken down.
GSROOT_DLL_EXPORT GS::UniString TIGetISO8601TimeString(GSTime time, bool withMilliseconds);

namespace GS {

// Makes TIGetTime return what `source` returns, so that time-stamped names are reproducible; nullptr restores the
// system clock. Thread-safe.
GSROOT_DLL_EXPORT void SetTimeSourceForTesting(GSTime (*source)());

} // namespace GS

#endif
