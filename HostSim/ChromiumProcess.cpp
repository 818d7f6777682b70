#include "ChromiumProcess.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <deque>
#include <fstream>
#include <system_error>
#include <vector>

namespace HostSim {

namespace {

// How long the browser may take to end once asked, before it is killed.
constexpr std::chrono::milliseconds StopGrace{5000};

std::string ErrnoText(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

// A descriptor moved above the ones the child's pipe goes to (3 and 4), so that setting those up in the child never
// overwrites it; close-on-exec.
int MoveHigh(int fd) {
    const int high = fcntl(fd, F_DUPFD_CLOEXEC, 10);
    close(fd);
    return high;
}

void CloseIfOpen(int& fd) {
    if (fd >= 0) close(fd);
    fd = -1;
}

std::vector<std::string> Arguments(const ChromiumProcess::Options& options, const std::filesystem::path& profile) {
    std::vector<std::string> args{
        options.executable.string(),
        "--remote-debugging-pipe",
        "--user-data-dir=" + profile.string(),
        "--no-first-run",
        "--no-default-browser-check",
        "--disable-background-networking",
        "--disable-component-update",
        "--disable-sync",
        "--disable-extensions",
        "--disable-default-apps",
        "--password-store=basic",
        "--use-mock-keychain",
        "--mute-audio",
        // A page behind other windows still runs its timers and answers the host at once.
        "--disable-background-timer-throttling",
        "--disable-backgrounding-occluded-windows",
        "--disable-renderer-backgrounding",
        // Containers give /dev/shm a few megabytes.
        "--disable-dev-shm-usage",
    };
    if (!options.show) args.emplace_back("--headless=new");
    // Chromium refuses to run its sandbox as root (as in containers and CI).
    if (geteuid() == 0) args.emplace_back("--no-sandbox");
    args.emplace_back("about:blank");
    return args;
}

} // namespace

std::unique_ptr<ChromiumProcess> ChromiumProcess::Start(const Options& options, std::string* error) {
    if (access(options.executable.c_str(), X_OK) != 0) {
        *error = "chromium is not installed (" + options.executable.string() +
                 " is missing); install Debian's package chromium";
        return nullptr;
    }
    std::unique_ptr<ChromiumProcess> process(new ChromiumProcess);
    std::error_code ec;
    std::string pattern = (std::filesystem::temp_directory_path(ec) / "hostsim-chromium-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        *error = ErrnoText(("cannot make a profile folder for chromium from " + pattern).c_str());
        return nullptr;
    }
    process->profile = pattern;

    int toBrowser[2];
    int fromBrowser[2];
    if (pipe2(toBrowser, O_CLOEXEC) != 0) {
        *error = ErrnoText("cannot make the DevTools pipe");
        return nullptr;
    }
    if (pipe2(fromBrowser, O_CLOEXEC) != 0) {
        *error = ErrnoText("cannot make the DevTools pipe");
        close(toBrowser[0]);
        close(toBrowser[1]);
        return nullptr;
    }
    int childIn = MoveHigh(toBrowser[0]);
    int childOut = MoveHigh(fromBrowser[1]);
    process->commandsFd = MoveHigh(toBrowser[1]);
    process->answersFd = MoveHigh(fromBrowser[0]);
    int devNull = open("/dev/null", O_RDWR | O_CLOEXEC);
    const std::filesystem::path log = process->profile / "chromium-stderr.log";
    int logFd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (childIn < 0 || childOut < 0 || process->commandsFd < 0 || process->answersFd < 0 || devNull < 0 || logFd < 0) {
        *error = ErrnoText("cannot prepare chromium's descriptors");
        for (int* fd : {&childIn, &childOut, &devNull, &logFd})
            CloseIfOpen(*fd);
        return nullptr;
    }

    // Everything the child needs is made before fork: after it, in a process with threads, only async-signal-safe
    // calls are allowed.
    const std::vector<std::string> args = Arguments(options, process->profile);
    std::vector<char*> argv;
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    const pid_t parent = getpid();

    const pid_t pid = fork();
    if (pid == 0) {
        // A group of its own, so that stopping it reaches the renderers too; and gone when the host dies.
        setpgid(0, 0);
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) _exit(127);
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        if (dup2(devNull, 0) < 0 || dup2(devNull, 1) < 0 || dup2(logFd, 2) < 0 || dup2(childIn, 3) < 0 ||
            dup2(childOut, 4) < 0)
            _exit(127);
        execv(argv[0], argv.data());
        _exit(127);
    }
    const int forkErrno = errno;
    for (int* fd : {&childIn, &childOut, &devNull, &logFd})
        CloseIfOpen(*fd);
    if (pid < 0) {
        errno = forkErrno;
        *error = ErrnoText("cannot start chromium");
        return nullptr;
    }
    process->pid = pid;
    // Through syscall: glibc 2.36 declares pidfd_open without C linkage for C++.
    process->exitWatch = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    return process;
}

ChromiumProcess::~ChromiumProcess() {
    Stop();
    std::error_code ignored;
    if (!profile.empty()) std::filesystem::remove_all(profile, ignored);
}

void ChromiumProcess::TakePipe(int* commands, int* answers) {
    *commands = commandsFd;
    *answers = answersFd;
    commandsFd = -1;
    answersFd = -1;
}

bool ChromiumProcess::WaitForExit(std::chrono::milliseconds timeout) {
    if (pid < 0 || exited) return true;
    // Without a pidfd (a kernel before 5.3) there is nothing to wait on, and the caller kills.
    if (exitWatch < 0) return false;
    pollfd entry{exitWatch, POLLIN, 0};
    int ready = 0;
    do {
        ready = poll(&entry, 1, static_cast<int>(timeout.count()));
    } while (ready < 0 && errno == EINTR);
    if (ready <= 0) return false;
    exited = true;
    return true;
}

void ChromiumProcess::Stop() {
    CloseIfOpen(commandsFd);
    CloseIfOpen(answersFd);
    if (pid < 0) return;
    WaitForExit(StopGrace);
    // Its helpers first and then the browser, whether or not it ended; the group stays reserved until the browser
    // is reaped below, so the signal reaches no other process.
    kill(-pid, SIGKILL);
    kill(pid, SIGKILL);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    pid = -1;
    CloseIfOpen(exitWatch);
}

std::string ChromiumProcess::GetLogTail() const {
    std::ifstream in(profile / "chromium-stderr.log");
    std::deque<std::string> last;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty()) continue;
        last.push_back(line);
        if (last.size() > 4) last.pop_front();
    }
    std::string tail;
    for (const std::string& l : last)
        tail += (tail.empty() ? "" : "\n") + l;
    return tail;
}

} // namespace HostSim
