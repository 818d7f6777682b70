#ifndef BENCHMARKS_OWNSERVICE_HPP
#define BENCHMARKS_OWNSERVICE_HPP

#include "Server.hpp"

#include <cstdlib>
#include <stdexcept>
#include <string>

// Starts the service stand-in on a free loopback port of this run's own and sends the add-on's requests there
// through libcurl's proxy setting (http_proxy, which curl processes started later inherit too). The add-on's
// requests still name the build's fixed service address, but nothing binds it, so two runs, or a run and a test
// suite, never meet. Call before any transfer thread runs: the environment is not guarded.
inline void StartOwnService(ServiceStandIn::Server& service) {
    if (!service.Start("127.0.0.1", 0)) throw std::runtime_error("the service stand-in did not start");
    const std::string proxy = "http://127.0.0.1:" + std::to_string(service.Port());
    ::setenv("http_proxy", proxy.c_str(), 1);
    ::unsetenv("no_proxy");
    ::unsetenv("NO_PROXY");
}

#endif
