// The add-on's palette page in a real chromium: calls from the page reach the add-on on the host's main thread and
// come back as settled promises; jobs reach the page from their threads; the page's own events reach the transcript.
// Skipped where Debian's chromium is not installed.

#include "ChromiumPage.hpp"
#include "ChromiumProcess.hpp"
#include "ScenarioRunner.hpp"
#include "ServiceAddress.hpp"
#include "ServiceScenario.hpp"

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <sstream>
#include <string>

namespace {

using namespace QuillmarTest;
using namespace std::chrono_literals;

constexpr const char* Chromium = "/usr/bin/chromium";

HostSim::HostOptions AddOnOptions() {
    HostSim::HostOptions options;
    options.module = QUILLMAR_ADDON_PATH;
    return options;
}

// A page of the test's own: a log element, the test's markup and script, and pageReady once its script ran.
std::string TestPage(const std::string& markup, const std::string& script = "") {
    return "<!doctype html>\n<html><head><meta charset=\"utf-8\"><title>Test page</title></head><body>\n"
           "<div id=\"log\"></div>\n" +
           markup + "\n<script>\nconst log = text => { document.getElementById('log').textContent += text; };\n" +
           script + "\nwindow.pageReady = true;\n</script>\n</body></html>\n";
}

// The host with the add-on, its palette page shown in the test's chromium from a file in the test's folder.
class Session {
public:
    Session(std::shared_ptr<HostSim::ChromiumBrowser> chromium, const std::filesystem::path& page,
            HostSim::HostOptions options)
        : browser(std::move(chromium)), host(std::move(options)), runner(host) {
        host.GetUI().SetPageFactory(HostSim::ChromiumPage::MakeFactory(browser, "file://" + page.string()));
        started = host.Start();
    }

    void Play(const std::string& lines) {
        std::istringstream input(lines);
        std::string line;
        while (std::getline(input, line))
            runner.RunLine(line);
    }

    Lines Finish() {
        if (!runner.HasQuit()) runner.RunLine(R"({"quit": {"release": true}})");
        return host.GetTranscript().GetLines();
    }

    HostSim::Host& GetHost() noexcept { return host; }
    bool Started() const noexcept { return started; }

private:
    std::shared_ptr<HostSim::ChromiumBrowser> browser; // outlives the host's pages
    HostSim::Host host;
    HostSim::ScenarioRunner runner;
    bool started = false;
};

// Opens the palette and waits for the test page.
const char* const OpenPage = R"({"menu": 32500, "item": 1}
{"waitFor": "window.pageReady === true"}
)";

std::string ReadBytes(const std::filesystem::path& file, std::size_t count) {
    std::string bytes = ReadFile(file);
    return bytes.substr(0, count);
}

std::string EvaluateLine(const std::string& expression, double timeout = 30) {
    return json{{"evaluate", expression}, {"timeout", timeout}}.dump() + "\n";
}

template <typename Base>
class BrowserFixture : public Base {
protected:
    void SetUp() override {
        if (access(Chromium, X_OK) != 0) GTEST_SKIP() << "Debian's package chromium is not installed";
        Base::SetUp();
        std::string error;
        browser = HostSim::ChromiumBrowser::Start({}, &error);
        ASSERT_NE(browser, nullptr) << error;
    }

    std::unique_ptr<Session> Open(const std::string& html, HostSim::HostOptions options = AddOnOptions()) {
        WriteFile(pages / "index.html", html);
        auto session = std::make_unique<Session>(browser, pages / "index.html", std::move(options));
        EXPECT_TRUE(session->Started());
        return session;
    }

    TempFolder pages;
    std::shared_ptr<HostSim::ChromiumBrowser> browser;
};

// Base for the fixtures that need no service.
class NoService : public ::testing::Test {};

using BrowserPage = BrowserFixture<NoService>;
using BrowserJob = BrowserFixture<ServiceScenario>;

TEST(ChromiumProcess, ItsProfileIsPrivateToTheRunAndGoesWithIt) {
    if (access(Chromium, X_OK) != 0) GTEST_SKIP() << "Debian's package chromium is not installed";
    std::string error;
    auto first = HostSim::ChromiumProcess::Start({}, &error);
    ASSERT_NE(first, nullptr) << error;
    auto second = HostSim::ChromiumProcess::Start({}, &error);
    ASSERT_NE(second, nullptr) << error;
    const std::filesystem::path profile = first->GetProfileFolder();
    EXPECT_NE(profile, second->GetProfileFolder()) << "two runs never share a profile";
    ASSERT_TRUE(std::filesystem::is_directory(profile));
    const auto others = std::filesystem::perms::group_all | std::filesystem::perms::others_all;
    EXPECT_EQ(std::filesystem::status(profile).permissions() & others, std::filesystem::perms::none);
    first.reset();
    EXPECT_FALSE(std::filesystem::exists(profile)) << "nothing the browser stored survives the run";
    EXPECT_TRUE(std::filesystem::is_directory(second->GetProfileFolder())) << "the other run keeps its own";
}

TEST_F(BrowserPage, ThePageAsksGetApplicationInfoAndGetsTheHostsAnswer) {
    const auto session =
        Open(TestPage(R"S(<button id="ask" onclick="QUILAPI.GetApplicationInfo().then(log)">Ask</button>)S",
                      "console.log('the page script finds', typeof QUILAPI, typeof QUILAPI.GetApplicationInfo);"));
    session->Play(std::string(OpenPage) + EvaluateLine("QUILAPI.GetApplicationInfo()") +
                  R"S({"click": "#ask"}
{"waitFor": "document.getElementById('log').textContent !== ''", "timeout": 10}
{"evaluate": "document.getElementById('log').textContent"}
{"screenshot": "<home>/page.png"})S");
    const std::filesystem::path shot = session->GetHost().GetHome() / "page.png";
    const std::string signature = ReadBytes(shot, 8);
    const Lines lines = session->Finish();

    const Lines headless =
        RunScenario("{\"menu\": 32500, \"item\": 1}\n{\"call\": \"GetApplicationInfo\"}", AddOnOptions());
    const json expected = ResultOf(headless, "GetApplicationInfo");
    ASSERT_TRUE(expected.is_string()) << Dump(headless);
    EXPECT_TRUE(expected.get<std::string>().starts_with(std::string("en,") + ApiBaseUrl + "/,"));
    EXPECT_EQ(Evaluated(lines), (Lines{expected, expected})) << Dump(lines);
    EXPECT_EQ(Count(lines, json{{"console", "log"}, {"text", "the page script finds object function"}}), 1)
        << "the object is there before the page's own script runs\n"
        << Dump(lines);
    EXPECT_EQ(signature, std::string("\x89PNG\r\n\x1a\n", 8)) << "the screenshot is a PNG file";
    EXPECT_TRUE(HostErrors(lines).empty()) << Dump(lines);
    EXPECT_EQ(Count(lines, json{{"unloaded", "Quillmar.apx"}}), 1);
}

TEST_F(BrowserPage, EveryJsonArgumentTypeReachesTheAddOnAsTheHeadlessCallGivesIt) {
    const json arguments = json::parse(R"([null, true, false, 0, -1, 2147483647, 2147483648, -2147483649, 1.5, "",
        "plain", "quote \" backslash \\ new\nline\ttab", "Grüße 東京 😀", [], ["a", "b"], ["a", 1, null, true, "b"],
        [["nested"]], [[[["deep"]]]], {}, {"a": "x"}, [{"ifcGuid": "x"}]])");
    std::string inPage = std::string(OpenPage);
    std::string headlessScenario = "{\"menu\": 32500, \"item\": 1}\n";
    const auto settled = [](const std::string& call) {
        return EvaluateLine(call + ".then(r => ({ok: true, r}), e => ({ok: false, e}))");
    };
    for (const char* function : {"AlertAPI", "GetElementNames"}) {
        inPage += settled(std::string("QUILAPI.") + function + "()");
        headlessScenario += json{{"call", function}}.dump() + "\n";
        for (const json& argument : arguments) {
            // A JSON text is a script literal of the same value.
            inPage += settled(std::string("QUILAPI.") + function + "(" + argument.dump() + ")");
            headlessScenario += json{{"call", function}, {"arg", argument}}.dump() + "\n";
        }
    }
    const auto session = Open(TestPage(""));
    session->Play(inPage);
    const Lines lines = session->Finish();
    const Lines headless = RunScenario(headlessScenario, AddOnOptions());

    Lines expected;
    for (const json& call : With(headless, "call"))
        expected.push_back(call.contains("error") ? json{{"ok", false}, {"e", call["error"]}}
                                                  : json{{"ok", true}, {"r", call["result"]}});
    ASSERT_EQ(expected.size(), 2 * (arguments.size() + 1)) << Dump(headless);
    EXPECT_EQ(Evaluated(lines), expected) << Dump(lines);
    EXPECT_EQ(With(lines, "call"), With(headless, "call"));
    EXPECT_EQ(With(lines, "alert"), With(headless, "alert")) << "AlertAPI showed the same texts";
    EXPECT_EQ(
        Count(lines, json{{"alert", {{"large", "Grüße 東京 😀"}, {"small", ""}, {"buttons", {"OK"}}}}, {"answer", 1}}),
        1);
    const json objectArgument = Evaluated(lines)[1 + arguments.size() - 2];
    EXPECT_EQ(objectArgument, json({{"ok", false}, {"e", "Bad cast."}})) << "an object where text is expected";
}

TEST_F(BrowserPage, AThousandCallsInABurstAllResolveInTheOrderMade) {
    const auto session = Open(TestPage(""));
    session->Play(std::string(OpenPage) + EvaluateLine(R"S((async () => {
  const order = [];
  const calls = Array.from({length: 1000}, (_, i) =>
    QUILAPI.GetElementNames(['g' + i]).then(names => { order.push(i); return JSON.parse(names[0]).ifcGuid; }));
  const guids = await Promise.all(calls);
  return {inOrder: order.length === 1000 && order.every((n, i) => n === i), guids};
})())S",
                                                       120));
    const Lines lines = session->Finish();
    const Lines results = Evaluated(lines);
    ASSERT_EQ(results.size(), 1u) << Dump(lines);
    EXPECT_EQ(results[0]["inOrder"], true) << results[0].dump();
    const json guids = results[0]["guids"];
    ASSERT_EQ(guids.size(), 1000u) << results[0].dump();
    const Lines calls = With(lines, "call");
    ASSERT_EQ(calls.size(), 1000u);
    for (std::size_t i = 0; i < 1000; ++i) {
        ASSERT_EQ(guids[i], "g" + std::to_string(i)) << "each answer went to its own call";
        ASSERT_EQ(json::parse(calls[i]["result"][0].get<std::string>())["ifcGuid"], "g" + std::to_string(i))
            << "the host served them in the order made";
    }
    EXPECT_TRUE(HostErrors(lines).empty());
}

TEST_F(BrowserPage, CallsFromAFrameInsideThePageAreRefusedAndLogged) {
    const auto session = Open(TestPage(
        R"S(<iframe srcdoc="<script>QUILAPI.GetApplicationInfo().then(v => { parent.document.body.dataset.frame = 'served ' + v; }, e => { parent.document.body.dataset.frame = 'refused ' + e; });</script>"></iframe>)S"));
    session->Play(std::string(OpenPage) + R"S({"waitFor": "document.body.dataset.frame !== undefined", "timeout": 10}
{"evaluate": "document.body.dataset.frame"}
{"evaluate": "QUILAPI.GetApplicationInfo().then(() => 'served')"})S");
    const Lines lines = session->Finish();

    const Lines results = Evaluated(lines);
    ASSERT_EQ(results.size(), 2u) << Dump(lines);
    EXPECT_EQ(results[0], "refused Refused: the host answers only the page it loaded.");
    EXPECT_EQ(results[1], "served") << "the page itself is still answered";
    const Lines refused = With(lines, "pageRefused");
    ASSERT_EQ(refused.size(), 1u) << Dump(lines);
    EXPECT_EQ(refused[0]["pageRefused"], "GetApplicationInfo");
    EXPECT_EQ(refused[0]["reason"], "a frame inside the page");
    EXPECT_EQ(With(lines, "call").size(), 1u) << "the refused call never reached the add-on";
}

TEST_F(BrowserPage, ThePagesDialogsMessagesAndFailuresReachTheTranscript) {
    const auto session = Open(TestPage("", "console.warn('careful', 2);\nalert('Hello from the page');"));
    // The add-on asks the page for RequestFileName(), which this page does not have.
    session->Play(std::string(OpenPage) + R"S({"event": "projectOpened"}
{"wait": "RequestFileName()", "timeout": 10}
{"evaluate": "setTimeout(() => { throw new Error('boom'); }); new Promise(resolve => setTimeout(resolve))"}
{"evaluate": "QUILAPI.GetApplicationInfo().then(() => 'still served')"})S");
    const Lines lines = session->Finish();

    EXPECT_EQ(Count(lines, json{{"console", "warning"}, {"text", "careful 2"}}), 1) << Dump(lines);
    EXPECT_EQ(Count(lines, json{{"pageDialog", "alert"}, {"message", "Hello from the page"}}), 1);
    EXPECT_EQ(Count(lines, json{{"pageException", "Error: boom"}}), 1);
    EXPECT_EQ(Count(lines, json{{"pageScript", "RequestFileName()"},
                                {"error", "ReferenceError: RequestFileName is not defined"}}),
              1);
    EXPECT_EQ(Evaluated(lines).back(), "still served");
    EXPECT_TRUE(HostErrors(lines).empty()) << Dump(lines);
    EXPECT_EQ(Count(lines, json{{"unloaded", "Quillmar.apx"}}), 1);
}

// The plan export of the sample project, started by the page; its job reports to the page from its own thread.
const char* const JobPage = R"S(
function CompleteExportPlan() { log('CompleteExportPlan;'); }
function FailExportPlan() { log('FailExportPlan;'); })S";

const char* const StartExport = R"S({"host": {"window": 1}}
{"evaluate": "QUILAPI.Create2dPlan(4).then(() => QUILAPI.Export2dPlan(JSON.stringify({token: 'tok-1', projectId: 'p-1', folderId: 'plans', fileName: 'Ground Floor'})))"}
)S";

const char* const AwaitReport =
    R"S({"waitFor": "document.getElementById('log').textContent.includes('ExportPlan')", "timeout": 60}
{"evaluate": "document.getElementById('log').textContent"}
)S";

HostSim::HostOptions WithProject(HostSim::HostOptions options) {
    options.project = std::filesystem::path(HOSTSIM_SCENARIO_DIR) / "SampleProject.json";
    return options;
}

TEST_F(BrowserJob, AJobsCompletionReachesThePagesOwnFunctionFromItsThread) {
    const auto session = Open(TestPage("", JobPage), WithProject(OptionsInHome(QUILLMAR_ADDON_PATH)));
    session->Play(std::string(OpenPage) + StartExport + AwaitReport);
    const Lines lines = session->Finish();

    const Lines results = Evaluated(lines);
    ASSERT_EQ(results.size(), 2u) << Dump(lines);
    EXPECT_EQ(results[1], "CompleteExportPlan;") << Dump(lines);
    EXPECT_EQ(Count(lines, json{{"page", "CompleteExportPlan()"}}), 1);
    EXPECT_EQ(service.RequestCount(), 1u);
    EXPECT_TRUE(HostErrors(lines).empty()) << Dump(lines);
}

// Holds the service's answers until released, so that the page can reload while a job waits for one.
class AnswerGate {
public:
    explicit AnswerGate(HostSim::MainThread& mainThread) : loop(mainThread) {}
    ~AnswerGate() { Release(); }

    void Hold() {
        std::unique_lock lock(mutex);
        arrived = true;
        loop.Notify();
        changed.wait_for(lock, 120s, [this] { return released; });
    }
    bool Arrived() {
        const std::lock_guard lock(mutex);
        return arrived;
    }
    void Release() {
        const std::lock_guard lock(mutex);
        released = true;
        changed.notify_all();
    }

private:
    HostSim::MainThread& loop;
    std::mutex mutex;
    std::condition_variable changed;
    bool arrived = false;
    bool released = false;
};

TEST_F(BrowserJob, ThePageReloadingWhileAJobRunsLeavesTheHostRunningAndTheNewPageGetsTheReport) {
    HostSim::HostOptions options = WithProject(AddOnOptions());
    options.home = home.Path();
    const auto session = Open(TestPage("", JobPage), options);
    AnswerGate gate(session->GetHost().GetMainThread());
    service.SetRequestObserver([&gate](const ServiceStandIn::RequestRecord&) { gate.Hold(); });

    session->Play(std::string(OpenPage) + StartExport);
    ASSERT_TRUE(session->GetHost().GetMainThread().RunUntil([&gate] { return gate.Arrived(); }, 60s))
        << Dump(session->GetHost().GetTranscript().GetLines());
    session->Play(R"S({"evaluate": "sessionStorage.setItem('reloaded', 'yes'); location.reload(); 'reloading'"}
{"waitFor": "sessionStorage.getItem('reloaded') === 'yes' && window.pageReady === true && performance.getEntriesByType('navigation')[0].type === 'reload'"})S");
    gate.Release();
    session->Play(std::string(AwaitReport) + EvaluateLine("QUILAPI.GetApplicationInfo().then(() => 'still served')"));
    const Lines lines = session->Finish();
    service.SetRequestObserver(nullptr);

    const Lines results = Evaluated(lines);
    ASSERT_EQ(results.size(), 4u) << Dump(lines);
    EXPECT_EQ(results[2], "CompleteExportPlan;") << "the reloaded page got the report\n" << Dump(lines);
    EXPECT_EQ(results[3], "still served");
    EXPECT_TRUE(HostErrors(lines).empty()) << Dump(lines);
    EXPECT_EQ(Count(lines, json{{"unloaded", "Quillmar.apx"}}), 1);
}

} // namespace
