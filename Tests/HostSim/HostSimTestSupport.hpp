#ifndef HOSTSIM_TEST_HOSTSIMTESTSUPPORT_HPP
#define HOSTSIM_TEST_HOSTSIMTESTSUPPORT_HPP

#include "ScenarioTranscript.hpp"
#include "TempFolder.hpp"

// Scenario runs against the test add-on modules.
namespace HostSimTest {

using namespace QuillmarTest;

inline HostSim::HostOptions FakeOptions(const char* module = FAKE_ADDON_PATH) {
    HostSim::HostOptions options;
    options.module = module;
    return options;
}

// The scenario played against the good test add-on.
inline Lines RunScenario(const std::string& scenario) {
    return QuillmarTest::RunScenario(scenario, FakeOptions());
}

} // namespace HostSimTest

#endif
