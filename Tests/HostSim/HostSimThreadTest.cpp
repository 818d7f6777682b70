// The host's thread-facing parts: page scripts from many threads, the main thread's queue, and quitting while the
// add-on's threads run.

#include "HostSimTestSupport.hpp"

#include "HeadlessPage.hpp"

#include "Thread.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <regex>
#include <thread>

namespace {

using namespace HostSimTest;

constexpr int Threads = 8;
constexpr int ScriptsPerThread = 200;

// Checks that for every thread t its scripts "Worker(t, i)" came in order i = 0, 1, ... and that all came.
void ExpectPerThreadOrder(const std::vector<std::string>& scripts, int threads, int perThread) {
    const std::regex pattern(R"S(Worker\((\d+), (\d+)\))S");
    std::map<int, int> next;
    for (const std::string& script : scripts) {
        std::smatch match;
        ASSERT_TRUE(std::regex_match(script, match, pattern)) << script;
        const int thread = std::stoi(match[1]);
        const int index = std::stoi(match[2]);
        ASSERT_EQ(index, next[thread]) << "thread " << thread;
        ++next[thread];
    }
    ASSERT_EQ(next.size(), static_cast<std::size_t>(threads));
    for (const auto& [thread, count] : next)
        EXPECT_EQ(count, perThread) << "thread " << thread;
}

TEST(PageThreads, ScriptsFromEightThreadsKeepEachThreadsOrder) {
    HostSim::PageServices services{std::make_shared<HostSim::Transcript>(), std::make_shared<HostSim::ScriptLog>(),
                                   std::make_shared<HostSim::MainThread>(), std::make_shared<HostSim::PageList>()};
    std::atomic<int> notified{0};
    services.scripts->SetListener([&notified] { ++notified; });
    HostSim::HeadlessPage page(services);

    std::atomic<bool> go{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < Threads; ++t) {
        threads.emplace_back([&page, &go, t] {
            while (!go)
                std::this_thread::yield();
            for (int i = 0; i < ScriptsPerThread; ++i)
                page.ExecuteJS(GS::UniString::Printf("Worker(%d, %d)", t, i));
        });
    }
    go = true;
    for (std::thread& thread : threads)
        thread.join();

    const std::vector<std::string> scripts = page.GetScripts();
    ASSERT_EQ(scripts.size(), static_cast<std::size_t>(Threads * ScriptsPerThread));
    ExpectPerThreadOrder(scripts, Threads, ScriptsPerThread);
    EXPECT_EQ(notified, Threads * ScriptsPerThread);

    // The transcript has the same order as the log.
    const Lines lines = services.transcript->GetLines();
    ASSERT_EQ(lines.size(), scripts.size());
    for (std::size_t i = 0; i < lines.size(); ++i)
        ASSERT_EQ(lines[i]["page"], scripts[i]) << i;
}

TEST(PageThreads, AddOnWorkersReportIntoThePageAndTheWaitSeesThem) {
    const Lines lines = RunScenario(R"S({"menu": 32500}
{"call": "StartWorkers", "arg": [8, 50]}
{"wait": "Worker(7, 49)", "timeout": 20}
{"wait": "Worker(0, 49)", "timeout": 0})S");
    std::vector<std::string> scripts;
    for (const json& line : With(lines, "page"))
        scripts.push_back(line["page"]);
    ASSERT_EQ(scripts.size(), 8u * 50u) << Dump(lines);
    ExpectPerThreadOrder(scripts, 8, 50);
    // Whether Worker(0, 49) came before or after Worker(7, 49) decides the second wait; the first always succeeds.
    EXPECT_LE(With(lines, "error").size(), 1u) << Dump(lines);
}

TEST(MainThreadQueue, TasksFromOtherThreadsRunOnTheMainThreadInPostOrder) {
    HostSim::MainThread mainThread;
    std::vector<int> order;
    std::thread poster([&] {
        for (int i = 0; i < 100; ++i)
            mainThread.Post([&order, i, &mainThread] {
                EXPECT_TRUE(mainThread.IsCurrent());
                order.push_back(i);
            });
    });
    EXPECT_TRUE(mainThread.RunUntil([&order] { return order.size() == 100; }, std::chrono::seconds(20)));
    poster.join();
    for (int i = 0; i < 100; ++i)
        ASSERT_EQ(order[static_cast<std::size_t>(i)], i);
}

TEST(MainThreadQueue, InvokeFromAnotherThreadReturnsTheResultOrTheException) {
    HostSim::MainThread mainThread;
    std::atomic<bool> done{false};
    int result = 0;
    bool threw = false;
    std::thread caller([&] {
        result = mainThread.Invoke([&mainThread] { return mainThread.IsCurrent() ? 7 : -1; });
        try {
            mainThread.Invoke([]() -> int { throw std::runtime_error("no"); });
        } catch (const std::runtime_error&) {
            threw = true;
        }
        done = true;
        mainThread.Notify();
    });
    EXPECT_TRUE(mainThread.RunUntil([&done] { return done.load(); }, std::chrono::seconds(20)));
    caller.join();
    EXPECT_EQ(result, 7);
    EXPECT_TRUE(threw);
}

TEST(MainThreadQueue, ATaskThatThrowsIsReportedAndTheQueueGoesOn) {
    HostSim::MainThread mainThread;
    std::string reported;
    mainThread.SetErrorHandler([&reported](const std::string& message) { reported = message; });
    bool later = false;
    mainThread.Post([] { throw GS::NullPointerException(); });
    mainThread.Post([&later] { later = true; });
    EXPECT_EQ(mainThread.Pump(), 2u);
    EXPECT_EQ(reported, "Null pointer.");
    EXPECT_TRUE(later);
}

TEST(QuitWithThreads, TheHostWaitsForTheAddOnsThreadsBeforeUnloading) {
    const Lines lines = RunScenario(R"S({"menu": 32500}
{"call": "StartSleeper", "arg": 300}
{"quit": {"release": true}})S");
    const long slept = IndexOf(lines, json{{"page", "Slept(0, 0)"}});
    const long quit =
        IndexOf(lines, json::parse(R"S({"quit": {"release": true, "keepInMemory": 1, "liveHandles": 0}})S"));
    EXPECT_NE(slept, -1) << Dump(lines);
    EXPECT_LT(slept, quit);
    EXPECT_TRUE(With(lines, "error").empty()) << Dump(lines);
}

TEST(QuitWithThreads, ThreadsThatDoNotEndInTimeLeaveTheModuleLoaded) {
    HostSim::HostOptions options = FakeOptions(FAKE_ADDON_LINGERING_PATH);
    options.threadTimeoutMs = 100;
    const Lines lines = RunScenario(R"S({"menu": 32500}
{"call": "StartSleeper", "arg": 1500}
{"quit": {"release": true}})S",
                                    options);
    const Lines errors = With(lines, "error");
    ASSERT_EQ(errors.size(), 1u) << Dump(lines);
    EXPECT_NE(errors[0]["error"].get<std::string>().find("FakeAddOnLingering.apx is left loaded"), std::string::npos);
    EXPECT_EQ(IndexOf(lines, json{{"unloaded", "FakeAddOnLingering.apx"}}), -1);
    // The thread still ends on its own, in the code that stayed loaded.
    EXPECT_TRUE(GS::Thread::WaitForAllThreads(20000));
}

} // namespace
