// Times the add-on's upload and download of one large file against the service stand-in on loopback, beside the
// curl command-line tool doing the same against the same server in the same run, and measures how much the
// add-on's process grows while it transfers (peak resident set, VmHWM).
//
// The stand-in runs as a process of its own, so that its buffers do not count towards the add-on's memory.
//
//   TransferBenchmark [--size-mib N] [--rounds R] [--resolve P [--max-rounds M]] [--folder DIR]
//
// N MiB (default 1024) are written into a new folder under DIR (default: the system's temporary folder), which is
// removed at the end. Each round times the add-on and curl once per direction, alternating which goes first. With
// --resolve, rounds go on after the first R until the 95 % confidence interval of every median ratio to the curl
// tool is at most P % of the median either way (half its width), or M rounds (default 200) have run.

#include "ChildProcess.hpp"
#include "Exchange/ExchangeState.hpp"
#include "PageReports.hpp"
#include "Publishing/PublishState.hpp"
#include "Transfer/ServiceRequests.hpp"
#include "Transfer/TransferJobs.hpp"
#include "Transfer/UploadSource.hpp"
#include "Viewpoints/ViewpointState.hpp"

#include "Thread.hpp"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <optional>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;

namespace {

constexpr const char* Token = "benchmark-token";

struct Options {
    std::uint64_t sizeMiB = 1024;
    int rounds = 3;
    double resolvePercent = 0.0; // 0: exactly `rounds` rounds
    int maxRounds = 200;
    fs::path folder = fs::temp_directory_path();
};

bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        const std::string value = argv[i + 1];
        if (option == "--size-mib") {
            options.sizeMiB = std::strtoull(value.c_str(), nullptr, 10);
        } else if (option == "--rounds") {
            options.rounds = std::atoi(value.c_str());
        } else if (option == "--resolve") {
            options.resolvePercent = std::strtod(value.c_str(), nullptr);
        } else if (option == "--max-rounds") {
            options.maxRounds = std::atoi(value.c_str());
        } else if (option == "--folder") {
            options.folder = value;
        } else {
            return false;
        }
    }
    return argc % 2 == 1 && options.sizeMiB > 0 && options.rounds > 0 && options.resolvePercent >= 0.0 &&
           options.maxRounds >= options.rounds;
}

// The page's side of the add-on's jobs: the scripts their reports run, which the benchmark waits for.
class PageScripts {
public:
    void Run(const GS::UniString& script) {
        const std::lock_guard lock(mutex);
        scripts.emplace_back(script.ToCStr(CC_UTF8).Get());
        arrived.notify_all();
    }
    std::size_t Count() {
        const std::lock_guard lock(mutex);
        return scripts.size();
    }
    // The first script after the first `seen`; "" when none came in time.
    std::string WaitForNext(std::size_t seen, std::chrono::seconds timeout) {
        std::unique_lock lock(mutex);
        if (!arrived.wait_for(lock, timeout, [&] { return scripts.size() > seen; })) return "";
        return scripts[seen];
    }

private:
    std::mutex mutex;
    std::condition_variable arrived;
    std::vector<std::string> scripts;
};

double ProcessCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Peak and current resident set of this process, in KiB, from /proc/self/status.
long StatusKiB(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(field) + ":";
    while (std::getline(status, line)) {
        if (line.rfind(prefix, 0) == 0) return std::strtol(line.c_str() + prefix.size(), nullptr, 10);
    }
    return -1;
}

// A file of sizeMiB MiB whose blocks all differ, written one block at a time.
bool MakeLargeFile(const fs::path& path, std::uint64_t sizeMiB) {
    std::vector<char> block(1u << 20);
    std::uint32_t state = 12345u;
    for (char& c : block) {
        state = state * 1103515245u + 12345u;
        c = static_cast<char>(state >> 24);
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    for (std::uint64_t i = 0; i < sizeMiB && out; ++i) {
        std::memcpy(block.data(), &i, sizeof i);
        out.write(block.data(), static_cast<std::streamsize>(block.size()));
    }
    out.close();
    return !out.fail();
}

bool SameContent(const fs::path& a, const fs::path& b) {
    std::error_code error;
    if (fs::file_size(a, error) != fs::file_size(b, error) || error) return false;
    std::ifstream left(a, std::ios::binary);
    std::ifstream right(b, std::ios::binary);
    std::vector<char> x(1u << 20);
    std::vector<char> y(1u << 20);
    while (left && right) {
        left.read(x.data(), static_cast<std::streamsize>(x.size()));
        right.read(y.data(), static_cast<std::streamsize>(y.size()));
        if (left.gcount() != right.gcount() ||
            std::memcmp(x.data(), y.data(), static_cast<std::size_t>(left.gcount())) != 0)
            return false;
    }
    return left.eof() && right.eof();
}

std::string ReadText(const fs::path& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

double CpuSeconds(const timeval& user, const timeval& system) {
    return static_cast<double>(user.tv_sec + system.tv_sec) + static_cast<double>(user.tv_usec + system.tv_usec) / 1e6;
}

// Waits for the child; its processor time (user and system) goes to *cpu when asked.
int WaitFor(pid_t pid, double* cpu = nullptr) {
    int status = 0;
    rusage usage{};
    while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    if (cpu != nullptr) *cpu = CpuSeconds(usage.ru_utime, usage.ru_stime);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Processor time of another process so far, from /proc/<pid>/stat (user and system).
double ProcessCpuSeconds(pid_t pid) {
    const std::string text = ReadText("/proc/" + std::to_string(pid) + "/stat");
    const std::size_t close = text.rfind(')');
    if (close == std::string::npos) return 0.0;
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    unsigned long long user = 0, system = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14) user = std::stoull(field);
        if (i == 15) system = std::stoull(field);
    }
    return static_cast<double>(user + system) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// Processor time of the calling thread, where the add-on's request runs.
double ThreadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// The stand-in as its own process, on an ephemeral loopback port.
class ServiceProcess {
public:
    ServiceProcess(const fs::path& work, const fs::path& resource)
        : storage(work / "storage"), log(work / "service.log") {
        pid = Spawn({QUILLMAR_SERVICE_EXE, "--listen", "127.0.0.1:0", "--storage", storage.string(), "--webapp",
                     (work / "no-web-page").string(), "--resource", "model=" + resource.string()},
                    log, work / "service.err");
        const std::string marker = " api=";
        for (int i = 0; i < 500 && pid > 0 && baseUrl.empty(); ++i) {
            const std::string text = ReadText(log);
            const std::size_t at = text.find(marker);
            const std::size_t end = text.find(' ', at + marker.size());
            if (at != std::string::npos && end != std::string::npos)
                baseUrl = text.substr(at + marker.size(), end - at - marker.size());
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    ~ServiceProcess() {
        if (pid > 0) {
            kill(pid, SIGTERM);
            WaitFor(pid);
        }
    }
    ServiceProcess(const ServiceProcess&) = delete;
    ServiceProcess& operator=(const ServiceProcess&) = delete;

    // Removes what the uploads left, so that each round starts from an empty storage folder.
    void ClearStorage() const {
        std::error_code ignored;
        for (const auto& entry : fs::directory_iterator(storage, ignored))
            fs::remove(entry.path(), ignored);
    }
    // The size of the one stored upload; 0 when there is none.
    std::uintmax_t StoredSize() const {
        std::error_code ignored;
        for (const auto& entry : fs::directory_iterator(storage, ignored))
            return entry.file_size(ignored);
        return 0;
    }

    fs::path storage;
    fs::path log;
    pid_t pid = -1;
    std::string baseUrl;
};

// One timed transfer: wall time, the client's processor time and the service's processor time.
struct Sample {
    double wall = 0.0;
    double client = 0.0;
    double server = 0.0;
};

struct Series {
    std::vector<Sample> samples;

    static double MedianOf(std::vector<double> values) {
        std::sort(values.begin(), values.end());
        return values[values.size() / 2];
    }
    double Median(double Sample::*field) const {
        std::vector<double> values;
        for (const Sample& sample : samples)
            values.push_back(sample.*field);
        return MedianOf(values);
    }
};

// The ratio add-on / curl tool of each round's pair of transfers (run back to back, in alternating order), so
// that the machine's drift between rounds cancels out; sorted.
std::vector<double> PairedRatios(const Series& addOn, const Series& curl) {
    std::vector<double> ratios;
    for (std::size_t i = 0; i < addOn.samples.size() && i < curl.samples.size(); ++i)
        ratios.push_back(addOn.samples[i].wall / curl.samples[i].wall);
    std::sort(ratios.begin(), ratios.end());
    return ratios;
}

// The distribution-free 95 % confidence interval of the median of sorted values: the order statistics j and
// n + 1 - j (from 1), j the largest with P(Binomial(n, 1/2) < j) at most 2.5 %. None below six values.
std::optional<std::pair<double, double>> MedianInterval(const std::vector<double>& sorted) {
    const std::size_t n = sorted.size();
    const double count = static_cast<double>(n);
    double below = 0.0; // P(X <= k)
    std::size_t j = 0;
    for (std::size_t k = 0; k < n / 2; ++k) {
        const double kk = static_cast<double>(k);
        below += std::exp(std::lgamma(count + 1) - std::lgamma(kk + 1) - std::lgamma(count - kk + 1) -
                          count * std::log(2.0));
        if (below > 0.025) break;
        j = k + 1;
    }
    if (j == 0) return std::nullopt;
    return std::pair{sorted[j - 1], sorted[n - j]};
}

// True when the interval's half width is at most `percent` % of the median.
bool Resolves(const std::vector<double>& sorted, double percent) {
    const std::optional<std::pair<double, double>> interval = MedianInterval(sorted);
    return interval && (interval->second - interval->first) / 2.0 <= Series::MedianOf(sorted) * percent / 100.0;
}

// The median ratio with its 95 % interval, and the quartiles and extremes as the spread.
void PrintPairedRatios(const char* label, const Series& addOn, const Series& curl) {
    const std::vector<double> ratios = PairedRatios(addOn, curl);
    if (ratios.empty()) return;
    const auto at = [&ratios](double q) {
        return ratios[static_cast<std::size_t>(q * static_cast<double>(ratios.size() - 1) + 0.5)];
    };
    const double median = Series::MedianOf(ratios);
    std::printf("%s ratio add-on / curl tool, paired per round: median %.3f", label, median);
    if (const std::optional<std::pair<double, double>> interval = MedianInterval(ratios))
        std::printf(", 95 %% interval %.3f-%.3f (half width %.1f %%)", interval->first, interval->second,
                    100.0 * (interval->second - interval->first) / 2.0 / median);
    std::printf(", quartiles %.3f-%.3f, range %.3f-%.3f (%zu pairs)\n", at(0.25), at(0.75), ratios.front(),
                ratios.back(), ratios.size());
}

// The curl tool with the add-on's two headers; true when it exits 0 and the server answered expectedStatus.
bool RunCurl(const fs::path& work, const std::vector<std::string>& arguments, const char* expectedStatus, double* cpu) {
    std::vector<std::string> command = {QUILLMAR_CURL_TOOL,
                                        "-sS",
                                        "-w",
                                        "%{http_code}",
                                        "-H",
                                        "Quillmar-Client-Id: Quillmar Plugin Archicad",
                                        "-H",
                                        std::string("X-Project-Authorization: bearer ") + Token};
    command.insert(command.end(), arguments.begin(), arguments.end());
    const pid_t pid = Spawn(command, work / "curl.out", work / "curl.err");
    if (pid < 0) return false;
    return WaitFor(pid, cpu) == 0 && ReadText(work / "curl.out") == expectedStatus;
}

void PrintRow(const char* what, const Series& series, double mib) {
    const double wall = series.Median(&Sample::wall);
    std::printf("%-20s %8.3f s %8.1f MiB/s  client cpu %6.3f s  service cpu %6.3f s   runs:", what, wall, mib / wall,
                series.Median(&Sample::client), series.Median(&Sample::server));
    for (const Sample& sample : series.samples)
        std::printf(" %.3f", sample.wall);
    std::printf("\n");
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr, "usage: TransferBenchmark [--size-mib N] [--rounds R] [--resolve P [--max-rounds M]] "
                             "[--folder DIR]\n");
        return 2;
    }
    const bool haveCurl = std::strlen(QUILLMAR_CURL_TOOL) > 0;

    std::string pattern = (options.folder / "quillmar-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        std::fprintf(stderr, "cannot make a folder in %s\n", options.folder.c_str());
        return 1;
    }
    const fs::path work = pattern;
    const int exitCode = [&] {
        const fs::path source = work / "Model.ifc";
        const fs::path downloads = work / "downloads";
        fs::create_directory(downloads);
        std::printf("writing %llu MiB to %s\n", static_cast<unsigned long long>(options.sizeMiB), source.c_str());
        if (!MakeLargeFile(source, options.sizeMiB)) {
            std::fprintf(stderr, "cannot write the file\n");
            return 1;
        }
        const std::uintmax_t size = fs::file_size(source);
        const double mib = static_cast<double>(size) / (1024.0 * 1024.0);

        ServiceProcess service(work, source);
        if (service.baseUrl.empty()) {
            std::fprintf(stderr, "the service stand-in did not start (%s)\n", QUILLMAR_SERVICE_EXE);
            return 1;
        }
        std::printf("service %s (own process), curl tool %s, %d rounds", service.baseUrl.c_str(),
                    haveCurl ? QUILLMAR_CURL_TOOL : "(none)", options.rounds);
        if (haveCurl && options.resolvePercent > 0.0)
            std::printf(", then on until resolved to %.1f %% (at most %d)", options.resolvePercent, options.maxRounds);
        std::printf("\n");

        // The jobs post to the build's service address: libcurl's proxy setting brings their requests, and for equal
        // footing every other client's, to this run's stand-in. Set before any transfer thread starts.
        const std::string serviceOrigin = service.baseUrl.substr(0, service.baseUrl.rfind("/api"));
        ::setenv("http_proxy", serviceOrigin.c_str(), 1);
        ::unsetenv("no_proxy");
        ::unsetenv("NO_PROXY");
        PageScripts page;
        const auto reports = std::make_shared<PageReports>(
            [&page](const GS::UniString& script) { page.Run(script); }, std::make_shared<ExchangeState>(),
            std::make_shared<ViewpointState>(), std::make_shared<PublishState>());
        constexpr auto JobTimeout = std::chrono::seconds(600);

        const std::string uploadUrl = service.baseUrl + "/document?folderId=benchmark";
        const std::string downloadUrl = service.baseUrl + "/resource/model";
        const GS::UniString uploadAddress(uploadUrl.c_str());
        const GS::UniString downloadAddress(downloadUrl.c_str());
        const GS::UniString sourcePath(source.c_str());
        const fs::path addOnTarget = downloads / "AddOn.ifc";
        const fs::path curlTarget = downloads / "Curl.ifc";
        const fs::path jobTarget = downloads / "Job.ifc";
        const GS::UniString jobTargetPath(jobTarget.c_str());
        const GS::UniString addOnTargetPath(addOnTarget.c_str());

        // Times one transfer; `transfer` reports the client's processor time when it is another process.
        const auto measure = [&](Series& series, const std::function<bool(double*)>& transfer) {
            Sample sample;
            const double serverBefore = ProcessCpuSeconds(service.pid);
            const double threadBefore = ThreadCpuSeconds();
            const auto start = std::chrono::steady_clock::now();
            double childCpu = -1.0;
            const bool ok = transfer(&childCpu);
            sample.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            sample.client = childCpu >= 0.0 ? childCpu : ThreadCpuSeconds() - threadBefore;
            sample.server = ProcessCpuSeconds(service.pid) - serverBefore;
            series.samples.push_back(sample);
            return ok;
        };
        // An upload is good when the service kept the whole file; the storage is emptied for the next one.
        const auto uploaded = [&](bool ok) {
            ok = ok && service.StoredSize() == size;
            service.ClearStorage();
            return ok;
        };
        const auto downloaded = [&](bool ok, const fs::path& target, bool verify) {
            std::error_code error;
            ok = ok && (verify ? SameContent(source, target) : fs::file_size(target, error) == size);
            fs::remove(target, error);
            return ok;
        };

        Series addOnUpload, curlUpload, addOnDownload, curlDownload, jobUpload, jobDownload;
        // As the page starts them: the job made on this (the main) thread, its thread started, the request, and the
        // page's report. The processor time is the whole process's, since the work is on other threads.
        const auto uploadByJob = [&] {
            return uploaded(measure(jobUpload, [&](double* cpu) {
                const double before = ProcessCpuSeconds();
                const std::size_t seen = page.Count();
                if (StartJob(GS::NewOwned<ExportIFC>(reports, Token, "project", "benchmark", sourcePath),
                             "exportModel") != NoError)
                    return false;
                const std::string report = page.WaitForNext(seen, JobTimeout);
                *cpu = ProcessCpuSeconds() - before;
                return report.starts_with("CompleteExportModel(");
            }));
        };
        const auto downloadByJob = [&](bool verify) {
            return downloaded(measure(jobDownload,
                                      [&](double* cpu) {
                                          const double before = ProcessCpuSeconds();
                                          const std::size_t seen = page.Count();
                                          GS::Thread* thread = StartOwnedJob(
                                              GS::NewOwned<ImportIFC>(Token, "model", jobTargetPath), "model");
                                          if (thread == nullptr) return false;
                                          GS::Array<GS::Thread*> threads;
                                          threads.Push(thread);
                                          GS::Array<GS::UniString> paths;
                                          paths.Push(jobTargetPath);
                                          if (StartJob(GS::NewOwned<WatchThread>(reports, threads, paths),
                                                       "importWatcher") != NoError)
                                              return false;
                                          const std::string report = page.WaitForNext(seen, JobTimeout);
                                          *cpu = ProcessCpuSeconds() - before;
                                          return report.starts_with("CompleteImportModels(");
                                      }),
                              jobTarget, verify);
        };
        const auto uploadByAddOn = [&] {
            return uploaded(measure(addOnUpload, [&](double*) {
                UploadSource file(sourcePath);
                const TransferOutcome result = UploadFile(uploadAddress, Token, file);
                return result.Completed() && result.status == 201;
            }));
        };
        const auto uploadByCurl = [&] {
            return uploaded(measure(curlUpload, [&](double* cpu) {
                return RunCurl(work, {"-o", "/dev/null", "-F", "file=@" + source.string(), uploadUrl}, "201", cpu);
            }));
        };
        const auto downloadByAddOn = [&](bool verify) {
            return downloaded(
                measure(
                    addOnDownload,
                    [&](double*) { return DownloadFromURL(downloadAddress, Token, addOnTargetPath).IsHttpSuccess(); }),
                addOnTarget, verify);
        };
        const auto downloadByCurl = [&](bool verify) {
            return downloaded(measure(curlDownload,
                                      [&](double* cpu) {
                                          return RunCurl(work, {"-o", curlTarget.string(), downloadUrl}, "200", cpu);
                                      }),
                              curlTarget, verify);
        };

        bool allOk = true;
        const long peakBefore = StatusKiB("VmHWM");
        const bool adaptive = haveCurl && options.resolvePercent > 0.0;
        const int lastRound = adaptive ? options.maxRounds : options.rounds;
        int rounds = 0;
        bool resolved = false;
        for (int round = 0; round < lastRound && !resolved; ++round) {
            const bool addOnFirst = round % 2 == 0 || !haveCurl; // alternate, so that drift hits both alike
            const bool verify = round == 0;                      // byte for byte once; sizes afterwards
            if (addOnFirst) allOk = uploadByAddOn() && uploadByJob() && allOk;
            if (haveCurl) allOk = uploadByCurl() && allOk;
            if (!addOnFirst) allOk = uploadByJob() && uploadByAddOn() && allOk;
            if (addOnFirst) allOk = downloadByAddOn(verify) && downloadByJob(verify) && allOk;
            if (haveCurl) allOk = downloadByCurl(verify) && allOk;
            if (!addOnFirst) allOk = downloadByJob(verify) && downloadByAddOn(verify) && allOk;
            rounds = round + 1;
            resolved = adaptive && rounds >= options.rounds && allOk &&
                       Resolves(PairedRatios(addOnUpload, curlUpload), options.resolvePercent) &&
                       Resolves(PairedRatios(addOnDownload, curlDownload), options.resolvePercent) &&
                       Resolves(PairedRatios(jobUpload, curlUpload), options.resolvePercent) &&
                       Resolves(PairedRatios(jobDownload, curlDownload), options.resolvePercent);
        }
        // Watchers and job threads end after their report.
        allOk = GS::Thread::WaitForAllThreads(60000) && allOk;
        reports->Detach();
        const long peakAfter = StatusKiB("VmHWM");

        std::printf("\nfile %.0f MiB over loopback; medians of %d rounds\n", mib, rounds);
        if (adaptive)
            std::printf(resolved ? "every median ratio resolved to %.1f %% (95 %% interval)\n"
                                 : "NOT every median ratio resolved to %.1f %% within the rounds allowed\n",
                        options.resolvePercent);
        PrintRow("upload   add-on", addOnUpload, mib);
        PrintRow("upload   add-on job", jobUpload, mib);
        if (haveCurl) PrintRow("upload   curl tool", curlUpload, mib);
        PrintRow("download add-on", addOnDownload, mib);
        PrintRow("download add-on job", jobDownload, mib);
        if (haveCurl) PrintRow("download curl tool", curlDownload, mib);
        if (haveCurl) {
            PrintPairedRatios("upload  ", addOnUpload, curlUpload);
            PrintPairedRatios("download", addOnDownload, curlDownload);
            PrintPairedRatios("upload   job", jobUpload, curlUpload);
            PrintPairedRatios("download job", jobDownload, curlDownload);
        }
        std::printf("add-on process peak resident set (VmHWM): %ld KiB before the transfers, %ld KiB after: "
                    "growth %ld KiB (%.1f MiB)\n",
                    peakBefore, peakAfter, peakAfter - peakBefore,
                    static_cast<double>(peakAfter - peakBefore) / 1024.0);
        if (!allOk) {
            std::printf("SOME TRANSFERS FAILED OR DELIVERED WRONG CONTENT\n");
            return 1;
        }
        return 0;
    }();
    std::error_code ignored;
    fs::remove_all(work, ignored);
    return exitCode;
}
