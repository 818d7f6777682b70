#ifndef TESTS_ADDON_ADDONSCENARIO_HPP
#define TESTS_ADDON_ADDONSCENARIO_HPP

#include "ScenarioTranscript.hpp"

#include <string>

// Runs the real add-on module in the simulated host and returns the transcript.
namespace AddOnScenario {

using namespace QuillmarTest;

inline HostSim::HostOptions Options() {
    HostSim::HostOptions options;
    options.module = QUILLMAR_ADDON_PATH;
    return options;
}

inline Lines RunScenario(const std::string& scenario) {
    return QuillmarTest::RunScenario(scenario, Options());
}

} // namespace AddOnScenario

#endif
