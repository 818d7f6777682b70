// Page calls through a real chromium: the add-on module in the simulated host, its palette page shown in Debian's
// chromium over the DevTools pipe, and the page's own script calling QUILAPI one call at a time. Each call is timed
// in the page with performance.now(), from the call until its promise settles, so the figures are what the page's
// code waits: the bridge's encoding, the binding, the pipe both ways, the host's main thread, the add-on's function
// and the script that settles the promise.
//
//   BrowserRoundTripBenchmark [--calls N] [--large-calls M] [--starts S]
//
// N small calls (default 10,000), M calls with a 1 MiB string (default 200) and S start-ups (default 7), each a
// fresh chromium and a fresh host, from starting the browser until the page's first script runs with QUILAPI
// defined. The page is a file in a folder of the run's own (mkdtemp), removed at the end.

#include "ChromiumBrowser.hpp"
#include "ChromiumPage.hpp"
#include "Host.hpp"
#include "RunFolder.hpp"
#include "ScenarioRunner.hpp"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr const char* Chromium = "/usr/bin/chromium";
// Calls made and not timed before each series: the first ones compile the bridge's code and warm the caches.
constexpr int WarmUpCalls = 20;

struct Options {
    int calls = 10000;
    int largeCalls = 200;
    int starts = 7;
};

bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        const int value = std::atoi(argv[i + 1]);
        if (value <= 0) return false;
        if (option == "--calls") {
            options.calls = value;
        } else if (option == "--large-calls") {
            options.largeCalls = value;
        } else if (option == "--starts") {
            options.starts = value;
        } else {
            return false;
        }
    }
    return argc % 2 == 1;
}

// The page notes the wall-clock time its script ran at; QUILAPI is defined before any script of the page runs.
constexpr const char* PageText = R"(<!doctype html>
<html><head><meta charset="utf-8"><title>Round trips</title></head><body>
<script>
window.readyAt = Date.now();
window.apiAtReady = typeof QUILAPI;
window.pageReady = true;
</script>
</body></html>
)";

struct Summary {
    double median = 0;
    double p99 = 0;
    double p1 = 0;
    double min = 0;
    double max = 0;
};

// Nearest-rank percentiles.
Summary Summarise(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const auto rank = [&values](double fraction) {
        const auto index = static_cast<std::size_t>(std::ceil(fraction * static_cast<double>(values.size())));
        return values[std::clamp<std::size_t>(index, 1, values.size()) - 1];
    };
    Summary summary;
    summary.median = values.size() % 2 == 1 ? values[values.size() / 2]
                                            : (values[values.size() / 2 - 1] + values[values.size() / 2]) / 2;
    summary.p99 = rank(0.99);
    summary.p1 = rank(0.01);
    summary.min = values.front();
    summary.max = values.back();
    return summary;
}

// The add-on in a host of its own with its palette page open in a chromium of its own. The browser outlives the
// host's pages, so it is declared first.
struct BrowserSession {
    std::shared_ptr<HostSim::ChromiumBrowser> browser;
    std::unique_ptr<HostSim::Host> host;
    std::unique_ptr<HostSim::ScenarioRunner> runner;

    HostSim::ChromiumPage& Page() {
        for (HostSim::HostPage* page : host->GetPages().GetPages())
            if (auto* shown = dynamic_cast<HostSim::ChromiumPage*>(page)) return *shown;
        throw std::runtime_error("no page in chromium");
    }
};

// Milliseconds from starting chromium to each step, the last being the page's first script.
struct StartUp {
    double browser = 0; // chromium answers on its pipe
    double host = 0;    // the add-on is loaded and initialised
    double palette = 0; // the palette is open and its page requested
    double ready = 0;   // the page's script runs with QUILAPI defined
};

double MillisecondsSince(std::chrono::system_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::system_clock::now() - start).count();
}

// The page's clock is the wall clock (Date.now()), so the steps are timed against it too.
std::unique_ptr<BrowserSession> Start(const fs::path& page, StartUp* times) {
    const auto start = std::chrono::system_clock::now();
    auto session = std::make_unique<BrowserSession>();
    std::string error;
    session->browser = HostSim::ChromiumBrowser::Start({}, &error);
    if (!session->browser) throw std::runtime_error(error);
    times->browser = MillisecondsSince(start);

    HostSim::HostOptions options;
    options.module = QUILLMAR_ADDON_PATH;
    session->host = std::make_unique<HostSim::Host>(options);
    // Thousands of calls: their lines are written, but kept lines would grow the process without bound.
    session->host->GetTranscript().SetKeepLines(false);
    session->host->GetUI().SetPageFactory(
        HostSim::ChromiumPage::MakeFactory(session->browser, "file://" + page.string()));
    if (!session->host->Start()) throw std::runtime_error("the add-on did not start");
    times->host = MillisecondsSince(start);

    session->runner = std::make_unique<HostSim::ScenarioRunner>(*session->host);
    session->runner->RunLine(R"({"menu": 32500, "item": 1})");
    times->palette = MillisecondsSince(start);

    HostSim::ChromiumPage& shown = session->Page();
    if (const std::string failed = shown.WaitFor("window.pageReady === true", std::chrono::seconds(60));
        !failed.empty())
        throw std::runtime_error("the page did not load: " + failed);
    const HostSim::ChromiumPage::Evaluation ready =
        shown.Evaluate("[window.readyAt, window.apiAtReady]", std::chrono::seconds(30));
    if (!ready.ok) throw std::runtime_error("the page did not answer: " + ready.error);
    if (ready.value[1] != "object") throw std::runtime_error("QUILAPI was not defined when the page's script ran");
    const double readyAt = ready.value[0].get<double>();
    const double startedAt = std::chrono::duration<double, std::milli>(start.time_since_epoch()).count();
    times->ready = readyAt - startedAt;
    return session;
}

// The times of a series' calls in ms, and their sum as the page's clock saw the whole series.
struct Series {
    std::vector<double> times;
    double total = 0;
    double hostCpu = 0; // processor time of this process (all its threads) per call, warm-up calls included
};

// Processor time of this process so far, user and system, in ms.
double ProcessCpuMilliseconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_usec) / 1e3;
    };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

// One call at a time from the page: `setup` runs once, `call` is awaited WarmUpCalls times untimed and then
// `count` times timed; `check` must hold of the last answer (`last`).
Series RunSeries(HostSim::ChromiumPage& page, const std::string& setup, const std::string& call,
                 const std::string& check, int count) {
    const std::string script = "(async () => {\n" + setup + "\nconst call = () => " + call +
                               ";\nlet last;\nfor (let i = 0; i < " + std::to_string(WarmUpCalls) +
                               "; ++i) last = await call();\nconst times = new Array(" + std::to_string(count) +
                               ");\nconst start = performance.now();\nfor (let i = 0; i < times.length; ++i) {\n"
                               "  const before = performance.now();\n  last = await call();\n"
                               "  times[i] = performance.now() - before;\n}\n"
                               "const total = performance.now() - start;\nif (!(" +
                               check +
                               ")) throw new Error('unexpected answer: ' + String(last).slice(0, 80));\n"
                               "return {times, total};\n})()";
    const double cpuBefore = ProcessCpuMilliseconds();
    const HostSim::ChromiumPage::Evaluation result = page.Evaluate(script, std::chrono::minutes(30));
    const double cpu = ProcessCpuMilliseconds() - cpuBefore;
    if (!result.ok) throw std::runtime_error(call + ": " + result.error);
    Series series;
    series.hostCpu = cpu / (count + WarmUpCalls);
    series.times = result.value["times"].get<std::vector<double>>();
    series.total = result.value["total"].get<double>();
    return series;
}

// The same calls made in-process on the registered function, as the page's call reaches it on the main thread,
// its transcript line included: what the add-on and the host take of a page call. Tasks a call posts are run
// between calls, untimed.
std::vector<double> HostSideTimes(BrowserSession& session, const std::string& function, const HostSim::Line* argument,
                                  int count) {
    HostSim::ChromiumPage& page = session.Page();
    std::vector<double> times;
    times.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < WarmUpCalls + count; ++i) {
        const auto before = std::chrono::steady_clock::now();
        const HostSim::CallOutcome outcome = page.Call(function, argument, "");
        const auto after = std::chrono::steady_clock::now();
        if (outcome.kind != HostSim::CallOutcome::Kind::Result)
            throw std::runtime_error(function + " in-process: " + outcome.error);
        if (i >= WarmUpCalls) times.push_back(std::chrono::duration<double, std::milli>(after - before).count());
        session.host->Pump();
    }
    return times;
}

// The smallest step performance.now() takes in the page: it bounds how finely one call can be timed.
double TimerStep(HostSim::ChromiumPage& page) {
    const HostSim::ChromiumPage::Evaluation step = page.Evaluate(R"((() => {
  let smallest = Infinity;
  for (let i = 0; i < 1000; ++i) {
    const a = performance.now();
    let b = performance.now();
    while (b === a) b = performance.now();
    smallest = Math.min(smallest, b - a);
  }
  return smallest;
})())",
                                                                 std::chrono::seconds(60));
    if (!step.ok) throw std::runtime_error("timer step: " + step.error);
    return step.value.get<double>();
}

std::string LoadAverage() {
    std::ifstream in("/proc/loadavg");
    std::string one, five, fifteen;
    in >> one >> five >> fifteen;
    return one + " " + five + " " + fifteen;
}

void PrintCalls(const char* name, int count, const Series& series) {
    const Summary s = Summarise(series.times);
    std::printf("%-34s %7d %9.3f %9.3f %9.3f %9.3f %9.3f %9.3f %9.3f\n", name, count, s.median, s.p99, s.p1, s.min,
                s.max, series.total / count, series.hostCpu);
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr, "usage: BrowserRoundTripBenchmark [--calls N] [--large-calls M] [--starts S]\n");
        return 2;
    }
    if (::access(Chromium, X_OK) != 0) {
        std::fprintf(stderr, "Debian's package chromium is not installed (%s)\n", Chromium);
        return 1;
    }
    try {
        const RunFolder folder("quillmar-browser-bench");
        const fs::path page = folder.path / "index.html";
        std::ofstream(page) << PageText;
        std::printf("load average at start: %s\n", LoadAverage().c_str());

        std::vector<StartUp> starts;
        for (int i = 0; i < options.starts; ++i) {
            StartUp times;
            Start(page, &times);
            starts.push_back(times);
        }

        StartUp unused;
        const std::unique_ptr<BrowserSession> session = Start(page, &unused);
        HostSim::ChromiumPage& shown = session->Page();
        std::printf("performance.now() step in the page: %.3f ms\n\n", TimerStep(shown));

        const std::string large = "const large = 'x'.repeat(1048576);";
        const Series info = RunSeries(shown, "", "QUILAPI.GetApplicationInfo()",
                                      "typeof last === 'string' && last.startsWith('en,')", options.calls);
        // The page's clock steps by 0.1 ms, close to a small call's time: runs of ten calls timed together give
        // the small call's median to 0.01 ms.
        Series infoRuns = RunSeries(shown, "",
                                    "(async () => { let r; for (let j = 0; j < 10; ++j) r = await "
                                    "QUILAPI.GetApplicationInfo(); return r; })()",
                                    "typeof last === 'string'", options.calls / 10);
        for (double& time : infoRuns.times)
            time /= 10;
        infoRuns.total /= 10;
        infoRuns.hostCpu /= 10;
        const Series alert = RunSeries(shown, "", "QUILAPI.AlertAPI('Hello')", "last === true", options.calls);
        const Series alertLarge =
            RunSeries(shown, large, "QUILAPI.AlertAPI(large)", "last === true", options.largeCalls);
        const Series namesLarge = RunSeries(shown, large, "QUILAPI.GetElementNames([large])",
                                            "JSON.parse(last[0]).ifcGuid.length === large.length", options.largeCalls);

        std::printf("%-34s %7s %9s %9s %9s %9s %9s %9s %9s\n", "page call, one at a time (ms)", "timed", "median",
                    "p99", "p1", "min", "max", "mean", "host CPU");
        PrintCalls("GetApplicationInfo()", options.calls, info);
        PrintCalls("GetApplicationInfo(), runs of 10", options.calls / 10, infoRuns);
        PrintCalls("AlertAPI('Hello')", options.calls, alert);
        PrintCalls("AlertAPI(1 MiB string)", options.largeCalls, alertLarge);
        PrintCalls("GetElementNames([1 MiB string])", options.largeCalls, namesLarge);

        const HostSim::Line hello = "Hello";
        const HostSim::Line largeText = std::string(1048576, 'x');
        const HostSim::Line largeList = HostSim::Line::array({largeText});
        std::printf("\n%-34s %7s %9s %9s %9s %9s\n", "in-process call, host side (ms)", "timed", "median", "p99", "min",
                    "max");
        const auto printHostSide = [&session](const char* name, const char* function, const HostSim::Line* argument,
                                              int count) {
            const Summary s = Summarise(HostSideTimes(*session, function, argument, count));
            std::printf("%-34s %7d %9.3f %9.3f %9.3f %9.3f\n", name, count, s.median, s.p99, s.min, s.max);
        };
        printHostSide("GetApplicationInfo()", "GetApplicationInfo", nullptr, options.calls);
        printHostSide("AlertAPI('Hello')", "AlertAPI", &hello, options.calls);
        printHostSide("AlertAPI(1 MiB string)", "AlertAPI", &largeText, options.largeCalls);
        printHostSide("GetElementNames([1 MiB string])", "GetElementNames", &largeList, options.largeCalls);

        std::printf("\n%-34s %9s %9s %9s %9s\n", "start-up, ms from starting chromium", "median", "min", "max",
                    "starts");
        const auto printStep = [&starts](const char* name, double StartUp::*step) {
            std::vector<double> values;
            for (const StartUp& s : starts)
                values.push_back(s.*step);
            const Summary summary = Summarise(values);
            std::printf("%-34s %9.1f %9.1f %9.1f %9zu\n", name, summary.median, summary.min, summary.max,
                        values.size());
        };
        printStep("chromium answers on its pipe", &StartUp::browser);
        printStep("add-on loaded and initialised", &StartUp::host);
        printStep("palette open, page requested", &StartUp::palette);
        printStep("page script runs, QUILAPI defined", &StartUp::ready);
        std::printf("\neach start, QUILAPI defined (ms):");
        for (const StartUp& s : starts)
            std::printf(" %.0f", s.ready);
        std::printf("\nload average at end: %s\n", LoadAverage().c_str());
        session->host->Quit(true);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "BrowserRoundTripBenchmark: %s\n", e.what());
        return 1;
    }
    return 0;
}
