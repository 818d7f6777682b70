#ifndef HOSTSIM_TEST_HOSTSIMTESTSUPPORT_HPP
#define HOSTSIM_TEST_HOSTSIMTESTSUPPORT_HPP

#include "Host.hpp"
#include "ScenarioRunner.hpp"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

namespace HostSimTest {

using nlohmann::json;
using Lines = std::vector<json>;

inline HostSim::HostOptions FakeOptions(const char* module = FAKE_ADDON_PATH) {
    HostSim::HostOptions options;
    options.module = module;
    return options;
}

// Starts the host on the module, plays the scenario (one line per line of the text) and returns the transcript.
inline Lines RunScenario(const std::string& scenario, HostSim::HostOptions options = FakeOptions()) {
    HostSim::Host host(std::move(options));
    if (host.Start()) {
        HostSim::ScenarioRunner runner(host);
        std::istringstream input(scenario);
        runner.Run(input);
    }
    return host.GetTranscript().GetLines();
}

// Index of the first line equal to `expected` at or after `from`; -1 when there is none.
inline long IndexOf(const Lines& lines, const json& expected, long from = 0) {
    for (long i = std::max(from, 0L); i < static_cast<long>(lines.size()); ++i)
        if (lines[static_cast<std::size_t>(i)] == expected) return i;
    return -1;
}

inline Lines LinesWith(const Lines& lines, const std::string& key) {
    Lines result;
    std::copy_if(lines.begin(), lines.end(), std::back_inserter(result),
                 [&key](const json& line) { return line.contains(key); });
    return result;
}

inline std::string Dump(const Lines& lines) {
    std::string text;
    for (const json& line : lines)
        text += line.dump() + "\n";
    return text;
}

} // namespace HostSimTest

#endif
