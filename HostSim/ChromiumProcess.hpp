#ifndef HOSTSIM_CHROMIUMPROCESS_HPP
#define HOSTSIM_CHROMIUMPROCESS_HPP

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>

namespace HostSim {

// Debian's chromium, started with the DevTools protocol on a pipe (its descriptors 3 and 4) and a private profile
// folder; stopped, with every process it started, and its profile removed when destroyed. The owner talks to it
// through the two descriptors it takes with TakePipe. [main-thread]
class ChromiumProcess {
public:
    struct Options {
        std::filesystem::path executable = "/usr/bin/chromium";
        bool show = false; // a window; otherwise headless
    };

    // Starts it; nullptr and *error set (naming the Debian package) when it cannot be started.
    static std::unique_ptr<ChromiumProcess> Start(const Options& options, std::string* error);
    ~ChromiumProcess();
    ChromiumProcess(const ChromiumProcess&) = delete;
    ChromiumProcess& operator=(const ChromiumProcess&) = delete;

    // The parent's ends of the pipe, once: the descriptor chromium reads commands from and the one it writes
    // answers to. The caller owns and closes them.
    void TakePipe(int* commands, int* answers);

    // Waits up to `timeout` for the browser to end by itself; true when it has.
    bool WaitForExit(std::chrono::milliseconds timeout);
    // What chromium wrote on its error output (its last lines), for a message about why it failed.
    std::string GetLogTail() const;
    const std::filesystem::path& GetProfileFolder() const noexcept { return profile; }

private:
    ChromiumProcess() = default;
    void Stop();

    pid_t pid = -1;
    int exitWatch = -1; // a pidfd of the browser: readable once it has ended
    int commandsFd = -1;
    int answersFd = -1;
    bool exited = false;
    std::filesystem::path profile;
};

} // namespace HostSim

#endif
