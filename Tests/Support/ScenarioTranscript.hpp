#ifndef TESTS_SUPPORT_SCENARIOTRANSCRIPT_HPP
#define TESTS_SUPPORT_SCENARIOTRANSCRIPT_HPP

#include "Host.hpp"

#include <nlohmann/json.hpp>

#include <cstddef>
#include <string>
#include <vector>

// Scenario runs in the simulated host and the lines of their transcripts.
namespace QuillmarTest {

using nlohmann::json;
using Lines = std::vector<json>;

// Starts the host with options, plays the scenario (one line per line of the text) and returns the transcript;
// only the host's own lines when it does not start.
Lines RunScenario(const std::string& scenario, HostSim::HostOptions options);

// The lines that have key.
Lines With(const Lines& lines, const std::string& key);
// What the "evaluate" lines gave, in order: each result, or {"error": text}.
Lines Evaluated(const Lines& lines);
// The host's own error lines ({"error": text} alone), not the failures of calls and scripts it records.
Lines HostErrors(const Lines& lines);
// How many lines equal expected.
long Count(const Lines& lines, const json& expected);
// Index of the first line equal to expected at or after from; -1 when there is none.
long IndexOf(const Lines& lines, const json& expected, long from = 0);
// The result of the n-th call of name (0-based), the whole line when it has none; null when there is no such call.
json ResultOf(const Lines& lines, const std::string& name, std::size_t n = 0);
// The lines as text, one a line, for failure messages.
std::string Dump(const Lines& lines);

} // namespace QuillmarTest

#endif
