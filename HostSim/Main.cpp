// hostsim: the simulated host on the command line. Prints the transcript of a scenario run to standard output.

#include "Host.hpp"
#include "ScenarioRunner.hpp"
#include "SelfCheck.hpp"

#include <unistd.h>

#include <charconv>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <system_error>

namespace {

constexpr const char* Usage =
    "usage: hostsim [--module <path>] [--project <file>] [--home <dir>] [--scenario <file>|-]\n"
    "               [--thread-timeout <ms>]\n"
    "       hostsim --self-check\n"
    "The module defaults to Quillmar.apx beside hostsim; the scenario to standard input.\n";

std::filesystem::path DefaultModule() {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    return (error ? std::filesystem::path(".") : self.parent_path()) / "Quillmar.apx";
}

} // namespace

int main(int argc, char** argv) {
    HostSim::HostOptions options;
    options.module = DefaultModule();
    std::string scenario = "-";
    bool selfCheck = false;

    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--self-check") {
            selfCheck = true;
        } else if (arg == "--help" || arg == "-h") {
            std::cout << Usage;
            return 0;
        } else if (hasValue && arg == "--module") {
            options.module = argv[++i];
        } else if (hasValue && arg == "--project") {
            options.project = argv[++i];
        } else if (hasValue && arg == "--home") {
            options.home = argv[++i];
        } else if (hasValue && arg == "--scenario") {
            scenario = argv[++i];
        } else if (hasValue && arg == "--thread-timeout") {
            const char* text = argv[++i];
            const char* end = text + std::strlen(text);
            if (std::from_chars(text, end, options.threadTimeoutMs).ptr != end) {
                std::cerr << "hostsim: --thread-timeout takes milliseconds\n" << Usage;
                return 2;
            }
        } else {
            std::cerr << "hostsim: unknown or incomplete option " << arg << "\n" << Usage;
            return 2;
        }
    }

    if (selfCheck) return HostSim::RunSelfCheck(std::cout) ? 0 : 1;

    std::ifstream file;
    const bool fromStdin = scenario == "-";
    if (fromStdin) {
        // Unsynchronised, so that the runner can see whether a line is waiting and pump the main thread meanwhile.
        std::ios::sync_with_stdio(false);
    } else {
        file.open(scenario);
        if (!file) {
            std::cerr << "hostsim: cannot read the scenario " << scenario << "\n";
            return 2;
        }
    }

    options.output = &std::cout;
    HostSim::Host host(options);
    if (!host.Start()) return 1;
    HostSim::ScenarioRunner runner(host);
    if (fromStdin) {
        runner.Run(std::cin, STDIN_FILENO);
    } else {
        runner.Run(file);
    }
    return 0;
}
