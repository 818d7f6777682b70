#ifndef HOSTSIM_SCENARIORUNNER_HPP
#define HOSTSIM_SCENARIORUNNER_HPP

#include "Host.hpp"

#include <istream>
#include <string>

namespace HostSim {

// Plays a scenario on a started host: one JSON object per line (see README.md for the line kinds). A line that
// cannot be played gets an error line in the transcript and the run goes on. [main-thread]
class ScenarioRunner {
public:
    explicit ScenarioRunner(Host& host);

    // Plays one line. False once the scenario has quit.
    bool RunLine(const std::string& line);
    // Plays lines until a quit line or the end of the input; at the end of the input the host quits with release.
    // With `readyFd` (the descriptor behind `input`, e.g. standard input) the main thread's queue is pumped while no
    // line has arrived; without it each line is read as it comes.
    void Run(std::istream& input, int readyFd = -1);

    bool HasQuit() const noexcept { return quit; }

private:
    void Menu(const Line& line);
    void PaletteMessage(const Line& line);
    void Call(const Line& line);
    void Event(const Line& line);
    void Wait(const Line& line);
    void HostChange(const Line& line);
    void Answer(const Line& line);
    void UserInterface(const Line& line);
    void Quit(const Line& line);
    void Browser(const std::string& kind, const Line& line);

    Host& host;
    std::size_t waitCursor = 0; // scripts before this index were seen by an earlier wait
    bool quit = false;
};

} // namespace HostSim

#endif
