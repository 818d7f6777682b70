#include "ScenarioTranscript.hpp"

#include "ScenarioRunner.hpp"

#include <algorithm>
#include <iterator>
#include <sstream>
#include <utility>

namespace QuillmarTest {

Lines RunScenario(const std::string& scenario, HostSim::HostOptions options) {
    HostSim::Host host(std::move(options));
    if (host.Start()) {
        HostSim::ScenarioRunner runner(host);
        std::istringstream input(scenario);
        runner.Run(input);
    }
    return host.GetTranscript().GetLines();
}

Lines With(const Lines& lines, const std::string& key) {
    Lines result;
    std::copy_if(lines.begin(), lines.end(), std::back_inserter(result),
                 [&key](const json& line) { return line.contains(key); });
    return result;
}

Lines Evaluated(const Lines& lines) {
    Lines results;
    for (const json& line : With(lines, "evaluate"))
        results.push_back(line.contains("result") ? line["result"] : json{{"error", line["error"]}});
    return results;
}

Lines HostErrors(const Lines& lines) {
    Lines errors;
    for (const json& line : With(lines, "error"))
        if (line.size() == 1) errors.push_back(line);
    return errors;
}

long Count(const Lines& lines, const json& expected) {
    return static_cast<long>(std::count(lines.begin(), lines.end(), expected));
}

long IndexOf(const Lines& lines, const json& expected, long from) {
    for (long i = std::max(from, 0L); i < static_cast<long>(lines.size()); ++i)
        if (lines[static_cast<std::size_t>(i)] == expected) return i;
    return -1;
}

json ResultOf(const Lines& lines, const std::string& name, std::size_t n) {
    for (const json& line : lines) {
        if (line.value("call", "") != name) continue;
        if (n-- == 0) return line.contains("result") ? line["result"] : line;
    }
    return nullptr;
}

std::string Dump(const Lines& lines) {
    std::string text;
    for (const json& line : lines)
        text += line.dump() + "\n";
    return text;
}

} // namespace QuillmarTest
