#ifndef HOSTSIM_SELFCHECK_HPP
#define HOSTSIM_SELFCHECK_HPP

#include <ostream>

namespace HostSim {

// Checks the stand-in libraries without a module: a UniString round trip, a JSON parse and write, a GS::Thread
// run. Writes one transcript-style line per check and a summary; returns true when all passed. [main-thread]
bool RunSelfCheck(std::ostream& out);

} // namespace HostSim

#endif
