// hostsim: the simulated host on the command line. Prints the transcript of a scenario run to standard output.

#include "ChromiumPage.hpp"
#include "Host.hpp"
#include "ScenarioRunner.hpp"
#include "SelfCheck.hpp"
#include "Server.hpp"
#include "Steering.hpp"

#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

namespace {

constexpr const char* Usage =
    "usage: hostsim [--module <path>] [--project <file>] [--home <dir>] [--scenario <file>|-]\n"
    "               [--thread-timeout <ms>] [--service] [--fail-at-start <op>[,<op>...]]\n"
    "               [--withhold <slot>[,<slot>...]] [--browser [--show] [--page <url>]]\n"
    "       hostsim --self-check\n"
    "The module defaults to Quillmar.apx beside hostsim; the scenario to standard input.\n"
    "--service starts the service stand-in on the add-on's service address for the run.\n"
    "--fail-at-start makes host operations fail while the add-on starts; --withhold leaves table slots empty.\n"
    "--browser shows the palette's page in Debian's chromium (headless unless --show); --page loads <url> there\n"
    "in place of the add-on's page.\n";

std::filesystem::path DefaultModule() {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    return (error ? std::filesystem::path(".") : self.parent_path()) / "Quillmar.apx";
}

// Host and port of the build's service address ("http://127.0.0.1:<port>/api").
bool ParseServiceAddress(const std::string& url, std::string* host, int* port) {
    const std::size_t scheme = url.find("://");
    if (scheme == std::string::npos) return false;
    const std::size_t start = scheme + 3;
    const std::size_t slash = url.find('/', start);
    const std::string authority = url.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
    const std::size_t colon = authority.rfind(':');
    if (colon == std::string::npos) return false;
    *host = authority.substr(0, colon);
    const std::string portText = authority.substr(colon + 1);
    return std::from_chars(portText.data(), portText.data() + portText.size(), *port).ec == std::errc();
}

// The names of a comma-separated list; empty names are dropped.
std::vector<std::string> SplitNames(const std::string& list) {
    std::vector<std::string> names;
    std::size_t start = 0;
    while (start <= list.size()) {
        const std::size_t comma = std::min(list.find(',', start), list.size());
        if (comma > start) names.push_back(list.substr(start, comma - start));
        start = comma + 1;
    }
    return names;
}

} // namespace

int main(int argc, char** argv) {
    HostSim::HostOptions options;
    options.module = DefaultModule();
    std::string scenario = "-";
    bool selfCheck = false;
    bool startService = false;
    bool browser = false;
    bool show = false;
    std::string pageAddress;

    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--self-check") {
            selfCheck = true;
        } else if (arg == "--service") {
            startService = true;
        } else if (arg == "--browser") {
            browser = true;
        } else if (arg == "--show") {
            show = true;
        } else if (hasValue && arg == "--page") {
            pageAddress = argv[++i];
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
        } else if (hasValue && arg == "--fail-at-start") {
            for (const std::string& name : SplitNames(argv[++i])) {
                if (!HostSim::IsFailableOperation(name)) {
                    std::cerr << "hostsim: --fail-at-start: " << name << " is no host operation\n" << Usage;
                    return 2;
                }
                options.startFailures.insert(name);
            }
        } else if (hasValue && arg == "--withhold") {
            for (const std::string& name : SplitNames(argv[++i])) {
                const auto slot = HostSim::FindSlot(name);
                if (!slot) {
                    std::cerr << "hostsim: --withhold: " << name << " is no slot of the function table\n" << Usage;
                    return 2;
                }
                options.withheldSlots.insert(*slot);
            }
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
    if (!browser && (show || !pageAddress.empty())) {
        std::cerr << "hostsim: --show and --page are for the page in a browser: add --browser\n" << Usage;
        return 2;
    }

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
    // Made before the host, so that the host lets go of the service and the browser before they go.
    std::unique_ptr<ServiceStandIn::Server> service;
    std::unique_ptr<ServiceStandIn::Steering> steering;
    std::shared_ptr<HostSim::ChromiumBrowser> chromium;
    if (browser) {
        HostSim::ChromiumBrowser::Options browserOptions;
        browserOptions.process.show = show;
        std::string error;
        chromium = HostSim::ChromiumBrowser::Start(browserOptions, &error);
        if (!chromium) {
            std::cerr << "hostsim: --browser: " << error << "\n";
            return 2;
        }
    }
    HostSim::Host host(options);
    if (chromium) host.GetUI().SetPageFactory(HostSim::ChromiumPage::MakeFactory(chromium, pageAddress));

    // The service stand-in, in this process, on the address the add-on was built to talk to.
    if (startService) {
        std::string address;
        int port = 0;
        if (!ParseServiceAddress(QUILLMAR_API_BASE_URL, &address, &port)) {
            std::cerr << "hostsim: the add-on's service address " << QUILLMAR_API_BASE_URL << " names no port\n";
            return 2;
        }
        service = std::make_unique<ServiceStandIn::Server>(host.GetHome() / "Service");
        service->ServeFolder("/app", QUILLMAR_WEBAPP_DIR);
        if (!service->Start(address, port)) {
            std::cerr << "hostsim: the service stand-in cannot listen on " << address << ":" << port << "\n";
            return 2;
        }
        host.GetTranscript().Write(HostSim::Line{{"service", "listening"}, {"url", service->BaseUrl()}});
        steering = std::make_unique<ServiceStandIn::Steering>(*service);
        ServiceStandIn::Steering* const steered = steering.get();
        host.AttachService({[steered](const nlohmann::json& behaviour) { return steered->Apply(behaviour); },
                            [steered](std::function<void(HostSim::Line)> write) { steered->Watch(std::move(write)); }});
    }

    if (!host.Start()) return 1;
    HostSim::ScenarioRunner runner(host);
    if (fromStdin) {
        runner.Run(std::cin, STDIN_FILENO);
    } else {
        runner.Run(file);
    }
    return 0;
}
