// The DevTools pipe against a stand-in browser on the other end of two pipes, and chromium that cannot start.

#include "DevToolsPipe.hpp"
#include "ChromiumBrowser.hpp"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using HostSim::DevToolsPipe;
using nlohmann::json;
using namespace std::chrono_literals;

// The browser's end: reads NUL-ended commands and writes whatever the test tells it to.
class FakeBrowser {
public:
    FakeBrowser() {
        int commands[2];
        int answers[2];
        EXPECT_EQ(pipe2(commands, O_CLOEXEC), 0);
        EXPECT_EQ(pipe2(answers, O_CLOEXEC), 0);
        commandsIn = commands[0];
        answersOut = answers[1];
        pipe = std::make_unique<DevToolsPipe>(commands[1], answers[0]);
    }
    ~FakeBrowser() {
        pipe.reset();
        CloseAnswers();
        if (commandsIn >= 0) close(commandsIn);
    }

    // The next command the host sent.
    json ReadCommand() {
        for (;;) {
            if (const std::size_t end = buffer.find('\0'); end != std::string::npos) {
                const std::string text = buffer.substr(0, end);
                buffer.erase(0, end + 1);
                return json::parse(text);
            }
            char chunk[4096];
            const ssize_t n = read(commandsIn, chunk, sizeof chunk);
            if (n <= 0) return nullptr;
            buffer.append(chunk, static_cast<std::size_t>(n));
        }
    }
    void Write(const std::string& bytes) const {
        ASSERT_EQ(write(answersOut, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    void CloseAnswers() {
        if (answersOut >= 0) close(answersOut);
        answersOut = -1;
    }
    void CloseCommands() {
        close(commandsIn);
        commandsIn = -1;
    }

    std::unique_ptr<DevToolsPipe> pipe;

private:
    int commandsIn = -1;
    int answersOut = -1;
    std::string buffer;
};

std::string Message(const json& message) {
    return message.dump() + std::string(1, '\0');
}

TEST(DevToolsPipe, AnswersFindTheirCommandsAndEventsTheirSessionHoweverTheBytesArrive) {
    FakeBrowser browser;
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::string> events;
    browser.pipe->Subscribe("S1", [&](const std::string& method, const json& params) {
        const std::lock_guard lock(mutex);
        events.push_back(method + ":" + params.value("n", ""));
        changed.notify_all();
    });

    std::thread host([&] {
        const DevToolsPipe::Reply first = browser.pipe->Call("A.first", {{"x", 1}}, "S1", 10s);
        EXPECT_TRUE(first.ok);
        EXPECT_EQ(first.result, json({{"answer", "first"}}));
    });
    const json first = browser.ReadCommand();
    EXPECT_EQ(first["method"], "A.first");
    EXPECT_EQ(first["sessionId"], "S1");
    EXPECT_EQ(first["params"], json({{"x", 1}}));

    DevToolsPipe::Reply second;
    std::thread other([&] { second = browser.pipe->Call("B.second", {}, "", 10s); });
    const json secondCommand = browser.ReadCommand();
    EXPECT_FALSE(secondCommand.contains("sessionId")) << "the browser's own command has no session";
    EXPECT_NE(secondCommand["id"], first["id"]);

    // Answered out of order, an event of another session between, one message split across writes.
    const std::string bytes =
        Message({{"id", secondCommand["id"]}, {"error", {{"code", -32000}, {"message", "nope"}}}}) +
        Message({{"method", "E.other"}, {"sessionId", "S2"}, {"params", {{"n", "x"}}}}) +
        Message({{"method", "E.mine"}, {"sessionId", "S1"}, {"params", {{"n", "1"}}}}) +
        Message({{"id", first["id"]}, {"result", {{"answer", "first"}}}, {"sessionId", "S1"}});
    browser.Write(bytes.substr(0, 7));
    browser.Write(bytes.substr(7));
    host.join();
    other.join();
    EXPECT_FALSE(second.ok);
    EXPECT_EQ(second.error, "nope");
    std::unique_lock lock(mutex);
    ASSERT_TRUE(changed.wait_for(lock, 10s, [&] { return !events.empty(); }));
    EXPECT_EQ(events, std::vector<std::string>{"E.mine:1"});
}

TEST(DevToolsPipe, ABrowserThatEndsAnswersEveryWaitingCommandWithAnError) {
    FakeBrowser browser;
    std::mutex mutex;
    std::condition_variable changed;
    bool closed = false;
    browser.pipe->SetClosedHandler([&] {
        const std::lock_guard lock(mutex);
        closed = true;
        changed.notify_all();
    });
    DevToolsPipe::Reply waiting;
    std::thread host([&] { waiting = browser.pipe->Call("A.never", {}, "", 60s); });
    EXPECT_EQ(browser.ReadCommand()["method"], "A.never");
    const auto start = std::chrono::steady_clock::now();
    browser.CloseAnswers();
    host.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 30s) << "not left to its time-out";
    EXPECT_FALSE(waiting.ok);
    EXPECT_NE(waiting.error.find("closed"), std::string::npos) << waiting.error;
    {
        std::unique_lock lock(mutex);
        ASSERT_TRUE(changed.wait_for(lock, 10s, [&] { return closed; }));
    }
    EXPECT_FALSE(browser.pipe->IsOpen());

    bool told = false;
    browser.pipe->Send("A.late", {}, "", [&](const DevToolsPipe::Reply& reply) { told = !reply.ok; });
    EXPECT_TRUE(told) << "a command after the end is answered at once";
}

TEST(DevToolsPipe, WritingToABrowserThatStoppedReadingFailsWithoutEndingTheHost) {
    FakeBrowser browser;
    browser.CloseCommands();
    const DevToolsPipe::Reply reply = browser.pipe->Call("A.unread", {}, "", 10s);
    EXPECT_FALSE(reply.ok);
    EXPECT_FALSE(browser.pipe->IsOpen());
}

TEST(ChromiumBrowser, ABrowserThatCannotStartIsNamedByItsDebianPackage) {
    HostSim::ChromiumBrowser::Options missing;
    missing.process.executable = "/nonexistent/chromium";
    std::string error;
    EXPECT_EQ(HostSim::ChromiumBrowser::Start(missing, &error), nullptr);
    EXPECT_NE(error.find("package chromium"), std::string::npos) << error;

    HostSim::ChromiumBrowser::Options failing;
    failing.process.executable = "/bin/false"; // starts, and ends at once without a word on the pipe
    error.clear();
    EXPECT_EQ(HostSim::ChromiumBrowser::Start(failing, &error), nullptr);
    EXPECT_NE(error.find("package chromium"), std::string::npos) << error;
    EXPECT_NE(error.find("did not start"), std::string::npos) << error;
}

} // namespace
