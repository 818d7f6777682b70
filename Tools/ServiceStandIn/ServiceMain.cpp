// quillmar-service: the local stand-in of the cloud service, with the web page under /app/.
// Prints one line per request to stdout; stops on SIGINT or SIGTERM; SIGUSR1 ends a misbehaviour.

#include "Server.hpp"
#include "Steering.hpp"

#include <charconv>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <pthread.h>
#include <string>
#include <utility>
#include <vector>

#ifndef QUILLMAR_WEBAPP_DIR
#define QUILLMAR_WEBAPP_DIR ""
#endif

// By default the service listens where the add-on of the same build looks for it: the host and port of its
// QUILLMAR_API_BASE_URL, given by the build. A build whose address is not a local one (release) gets a free port.
#ifndef QUILLMAR_SERVICE_PORT
#define QUILLMAR_SERVICE_HOST "127.0.0.1"
#define QUILLMAR_SERVICE_PORT 0
#endif

namespace {

struct Options {
    std::string host = QUILLMAR_SERVICE_HOST;
    int port = QUILLMAR_SERVICE_PORT;
    std::filesystem::path storage;
    std::filesystem::path webApp = QUILLMAR_WEBAPP_DIR;
    std::vector<std::pair<std::string, std::filesystem::path>> resources;
    // A misbehaviour, as a scenario's "service" line gives it; null: none.
    nlohmann::json behaviour;
};

void PrintUsage(std::FILE* to) {
    std::fprintf(to,
                 "usage: quillmar-service [--listen HOST:PORT | --listen PORT] [--storage DIR] [--webapp DIR]\n"
                 "                        [--resource ID=FILE]... [misbehaviour [--count N]]\n"
                 "  --listen    address to serve on (default %s:%d, the build's; port 0 picks a free one)\n"
                 "  --storage   folder for uploads (default: a new folder in the temporary folder)\n"
                 "  --webapp    folder served under /app/ (default: the project's Tools/WebApp)\n"
                 "  --resource  makes GET /api/resource/ID answer the file's content\n"
                 "misbehaviour of the API requests, one of (SIGUSR1 ends it):\n"
                 "  --answer STATUS[:BODY]          answers STATUS with BODY\n"
                 "  --redirect same|other|loop|URL  redirects (--redirect-status N, default 307): under /moved, to a\n"
                 "                                  second listener, to the same target again, or to URL\n"
                 "  --stall MS                      falls silent for MS ms (--stall-after BYTES of the body first)\n"
                 "  --drop                          closes the connection half-way through the answer\n"
                 "  --slow BYTES:MS                 sends the answer BYTES at a time, MS ms apart\n"
                 "  --refuse                        does not listen, so connections are refused\n"
                 "  --count N                       for the next N requests only\n",
                 QUILLMAR_SERVICE_HOST, QUILLMAR_SERVICE_PORT);
}

bool ParsePort(const std::string& text, int& port) {
    int value = -1;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 0 || value > 65535) return false;
    port = value;
    return true;
}

bool ParseCount(const std::string& text, std::int64_t& count) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), count);
    return error == std::errc() && end == text.data() + text.size();
}

// Adds one misbehaviour option to the behaviour, as the "service" line writes it; the steering judges the whole.
bool ParseBehaviour(const std::string& option, const std::string& value, nlohmann::json& behaviour) {
    std::int64_t number = 0;
    if (option == "--answer") {
        const std::size_t colon = value.find(':');
        if (!ParseCount(value.substr(0, colon), number)) return false;
        behaviour["answer"]["status"] = number;
        if (colon != std::string::npos) behaviour["answer"]["body"] = value.substr(colon + 1);
        return true;
    }
    if (option == "--redirect") {
        behaviour["redirect"]["to"] = value;
        return true;
    }
    if (option == "--slow") {
        const std::size_t colon = value.find(':');
        std::int64_t pause = 0;
        if (colon == std::string::npos || !ParseCount(value.substr(0, colon), number) ||
            !ParseCount(value.substr(colon + 1), pause))
            return false;
        behaviour["slow"] = {{"bytes", number}, {"ms", pause}};
        return true;
    }
    if (!ParseCount(value, number)) return false;
    if (option == "--redirect-status")
        behaviour["redirect"]["status"] = number;
    else if (option == "--stall")
        behaviour["stall"]["ms"] = number;
    else if (option == "--stall-after")
        behaviour["stall"]["afterBytes"] = number;
    else if (option == "--count")
        behaviour["count"] = number;
    else
        return false;
    return true;
}

bool ParseListen(const std::string& text, Options& options) {
    const std::size_t colon = text.rfind(':');
    if (colon == std::string::npos) return ParsePort(text, options.port);
    if (colon == 0) return false;
    options.host = text.substr(0, colon);
    return ParsePort(text.substr(colon + 1), options.port);
}

// Returns false (after saying why) when the command line is not understood.
bool ParseOptions(int argc, char** argv, Options& options, bool& helpOnly) {
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--help" || option == "-h") {
            helpOnly = true;
            return true;
        }
        if (option == "--drop" || option == "--refuse") {
            options.behaviour[option.substr(2)] = true;
            continue;
        }
        if (i + 1 >= argc) {
            std::fprintf(stderr, "quillmar-service: %s needs a value\n", option.c_str());
            return false;
        }
        const std::string value = argv[++i];
        bool understood = true;
        if (option == "--listen") {
            understood = ParseListen(value, options);
        } else if (option == "--storage") {
            options.storage = value;
        } else if (option == "--webapp") {
            options.webApp = value;
        } else if (option == "--resource") {
            const std::size_t equals = value.find('=');
            understood = equals != std::string::npos && equals > 0;
            if (understood) options.resources.emplace_back(value.substr(0, equals), value.substr(equals + 1));
        } else {
            understood = ParseBehaviour(option, value, options.behaviour);
        }
        if (!understood) {
            std::fprintf(stderr, "quillmar-service: cannot use %s %s\n", option.c_str(), value.c_str());
            return false;
        }
    }
    return true;
}

void PrintLine(const std::string& line) {
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    bool helpOnly = false;
    if (!ParseOptions(argc, argv, options, helpOnly)) {
        PrintUsage(stderr);
        return 2;
    }
    if (helpOnly) {
        PrintUsage(stdout);
        return 0;
    }
    if (options.storage.empty()) {
        std::string pattern = (std::filesystem::temp_directory_path() / "quillmar-service-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::fprintf(stderr, "quillmar-service: cannot make a storage folder like %s\n", pattern.c_str());
            return 1;
        }
        options.storage = pattern;
    }

    // Blocked before the server's threads exist, so that they inherit the mask and only sigwait below sees them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGUSR1);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    ServiceStandIn::Server server(options.storage);
    std::error_code error;
    const bool hasWebApp = !options.webApp.empty() && std::filesystem::is_directory(options.webApp, error);
    if (hasWebApp)
        server.ServeFolder("/app", options.webApp);
    else
        std::fprintf(stderr, "quillmar-service: no web page folder at \"%s\"; /app/ is not served\n",
                     options.webApp.string().c_str());
    for (const auto& [id, file] : options.resources)
        server.AddResourceFile(id, file);
    server.SetLogSink(PrintLine);

    if (!server.Start(options.host, options.port)) {
        std::fprintf(stderr, "quillmar-service: cannot serve on %s:%d with storage \"%s\"\n", options.host.c_str(),
                     options.port, options.storage.string().c_str());
        return 1;
    }
    PrintLine("quillmar-service listening on http://" + options.host + ":" + std::to_string(server.Port()) +
              " api=" + server.BaseUrl() + " storage=" + options.storage.string());

    ServiceStandIn::Steering steering(server, [](const std::string& line) { PrintLine("other: " + line); });
    if (!options.behaviour.is_null()) {
        const std::string refused = steering.Apply(options.behaviour);
        if (!refused.empty()) {
            std::fprintf(stderr, "quillmar-service: cannot misbehave so: %s\n", refused.c_str());
            PrintUsage(stderr);
            return 2;
        }
        if (!steering.OtherBaseUrl().empty()) PrintLine("quillmar-service redirects to " + steering.OtherBaseUrl());
        PrintLine("quillmar-service misbehaves: " + options.behaviour.dump());
    }

    int received = 0;
    while (sigwait(&stopSignals, &received) == 0 && received == SIGUSR1) {
        const std::string refused = steering.Apply("clear");
        PrintLine(refused.empty() ? "quillmar-service behaves" : "quillmar-service cannot behave: " + refused);
    }
    server.Stop();
    PrintLine(std::string("quillmar-service stopped on ") + (received == SIGINT ? "SIGINT" : "SIGTERM"));
    return 0;
}
