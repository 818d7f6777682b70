#ifndef TESTS_ADDON_ADDONSCENARIO_HPP
#define TESTS_ADDON_ADDONSCENARIO_HPP

#include "Host.hpp"
#include "ScenarioRunner.hpp"

#include <nlohmann/json.hpp>

#include <sstream>
#include <string>
#include <vector>

// Runs the real add-on module in the simulated host and returns the transcript.
namespace AddOnScenario {

using nlohmann::json;
using Lines = std::vector<json>;

inline HostSim::HostOptions Options() {
    HostSim::HostOptions options;
    options.module = QUILLMAR_ADDON_PATH;
    return options;
}

inline Lines RunScenario(const std::string& scenario, HostSim::HostOptions options = Options()) {
    HostSim::Host host(std::move(options));
    if (host.Start()) {
        HostSim::ScenarioRunner runner(host);
        std::istringstream input(scenario);
        runner.Run(input);
    }
    return host.GetTranscript().GetLines();
}

inline Lines With(const Lines& lines, const std::string& key) {
    Lines result;
    for (const json& line : lines)
        if (line.contains(key)) result.push_back(line);
    return result;
}

inline long Count(const Lines& lines, const json& expected) {
    long n = 0;
    for (const json& line : lines)
        if (line == expected) ++n;
    return n;
}

// The result of the n-th call of `name` (0-based); null when there is none.
inline json ResultOf(const Lines& lines, const std::string& name, std::size_t n = 0) {
    for (const json& line : lines) {
        if (line.value("call", "") != name) continue;
        if (n-- == 0) return line.contains("result") ? line["result"] : json(line);
    }
    return nullptr;
}

inline std::string Dump(const Lines& lines) {
    std::string text;
    for (const json& line : lines)
        text += line.dump() + "\n";
    return text;
}

} // namespace AddOnScenario

#endif
