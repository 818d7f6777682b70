// The bundled console page (Tools/WebApp) as the add-on loads it: served by the service stand-in, shown in a real
// chromium, its buttons calling the add-on and its log showing the answers and the page functions the add-on runs.
// Skipped where Debian's chromium is not installed.

#include "ChromiumPage.hpp"
#include "ScenarioRunner.hpp"
#include "ServiceAddress.hpp"
#include "ServiceScenario.hpp"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <sstream>
#include <string>

namespace {

using namespace QuillmarTest;

constexpr const char* Chromium = "/usr/bin/chromium";

// The service stand-in on the build's address serves the page folder, as `hostsim --service` does.
class ConsolePage : public ServiceScenario {
protected:
    void SetUp() override {
        if (access(Chromium, X_OK) != 0) GTEST_SKIP() << "Debian's package chromium is not installed";
        service.ServeFolder("/app", QUILLMAR_WEBAPP_DIR);
        ServiceScenario::SetUp();
        std::string error;
        browser = HostSim::ChromiumBrowser::Start({}, &error);
        ASSERT_NE(browser, nullptr) << error;
    }

    HostSim::HostOptions Options() {
        HostSim::HostOptions options = OptionsInHome(QUILLMAR_ADDON_PATH);
        options.project = std::filesystem::path(HOSTSIM_SCENARIO_DIR) / "SampleProject.json";
        return options;
    }

    // Plays the lines in a host whose pages load the add-on's own address in chromium; the transcript.
    Lines Play(const std::string& lines) {
        HostSim::Host host(Options());
        host.GetUI().SetPageFactory(HostSim::ChromiumPage::MakeFactory(browser, ""));
        EXPECT_TRUE(host.Start());
        HostSim::ScenarioRunner runner(host);
        std::istringstream input(lines + "\n{\"quit\": {\"release\": true}}\n");
        std::string line;
        while (std::getline(input, line))
            runner.RunLine(line);
        return host.GetTranscript().GetLines();
    }

    std::shared_ptr<HostSim::ChromiumBrowser> browser;
};

// Opens the palette and waits until the console has built its rows.
const char* const OpenConsole = R"S({"menu": 32500, "item": 1}
{"waitFor": "document.getElementById('call-GetApplicationInfo') !== null", "timeout": 30}
)S";

const char* const LogText = R"S({"evaluate": "document.getElementById('log').textContent"})S";

long Requests(const Lines& lines, const std::string& method, const std::string& target) {
    long count = 0;
    for (const json& line : With(lines, "request"))
        if (line["request"]["method"] == method && line["request"]["target"] == target) ++count;
    return count;
}

bool Contains(const json& text, const std::string& part) {
    return text.is_string() && text.get<std::string>().find(part) != std::string::npos;
}

TEST_F(ConsolePage, LoadsFromTheServiceAndLogsTheHostsAnswerAndTheAddOnsReport) {
    const Lines lines =
        Play(std::string(OpenConsole) + R"S({"evaluate": "document.getElementById('status').textContent"}
{"click": "#call-GetApplicationInfo"}
{"waitFor": "document.getElementById('answer-GetApplicationInfo').textContent !== ''", "timeout": 10}
{"evaluate": "document.getElementById('answer-GetApplicationInfo').textContent"}
{"event": "projectOpened"}
{"waitFor": "document.getElementById('log').textContent.includes('add-on ran RequestFileName()')", "timeout": 10}
)S" + LogText);
    const Lines headless = RunScenario("{\"menu\": 32500, \"item\": 1}\n{\"call\": \"GetApplicationInfo\"}", Options());
    const json expected = ResultOf(headless, "GetApplicationInfo");
    ASSERT_TRUE(expected.is_string()) << Dump(headless);

    EXPECT_EQ(Requests(lines, "GET", "/app/index.html"), 1) << "the page came from the service\n" << Dump(lines);
    const Lines results = Evaluated(lines);
    ASSERT_EQ(results.size(), 3u) << Dump(lines);
    EXPECT_EQ(results[0], "QUILAPI present: 35 functions");
    EXPECT_EQ(json::parse(results[1].get<std::string>()), expected) << "the row shows the host's answer";
    EXPECT_TRUE(Contains(results[2], "QUILAPI.GetApplicationInfo -> " + expected.dump())) << results[2];
    EXPECT_TRUE(Contains(results[2], "add-on ran RequestFileName()")) << results[2];
    EXPECT_EQ(Count(lines, json{{"page", "RequestFileName()"}}), 1);
    EXPECT_EQ(With(lines, "call").size(), 1u) << "one click, one call\n" << Dump(lines);
    EXPECT_TRUE(With(lines, "pageException").empty()) << Dump(lines);
    EXPECT_TRUE(HostErrors(lines).empty()) << Dump(lines);
}

TEST_F(ConsolePage, TheIfcExportFlowWaitsForTheJobsReportAndReadsTheServicesAnswer) {
    const Lines lines = Play(std::string(OpenConsole) + R"S({"click": "#flow-ifc-export"}
{"waitFor": "['done', 'failed'].includes(document.getElementById('flow-ifc-export').dataset.state)", "timeout": 120}
{"evaluate": "document.getElementById('flow-ifc-export').dataset.state"}
{"evaluate": "document.getElementById('answer-GetIfcDocuments').textContent"}
)S" + LogText);

    const Lines results = Evaluated(lines);
    ASSERT_EQ(results.size(), 3u) << Dump(lines);
    EXPECT_EQ(results[0], "done") << results[2];
    // The document the stand-in made of the upload, as the add-on handed it on.
    const json documents = json::parse(json::parse(results[1].get<std::string>()).get<std::string>());
    ASSERT_EQ(documents.size(), 1u) << results[1];
    EXPECT_EQ(documents[0]["name"], "Console model.ifc");
    EXPECT_EQ(Count(lines, json{{"page", "CompleteExportModel()"}}), 1) << Dump(lines);
    EXPECT_TRUE(Contains(results[2], "add-on ran CompleteExportModel()")) << results[2];
    const Lines requests = With(lines, "request");
    long uploads = 0;
    for (const json& line : requests)
        if (line["request"]["method"] == "POST") {
            ++uploads;
            EXPECT_EQ(line["request"]["status"], 201);
            EXPECT_TRUE(Contains(results[2], documents[0]["id"].get<std::string>()));
        }
    EXPECT_EQ(uploads, 1) << Dump(lines);
    // The flow's calls in order: the export, then the documents, then the history.
    const Lines calls = With(lines, "call");
    ASSERT_EQ(calls.size(), 3u) << Dump(lines);
    EXPECT_EQ(calls[0]["call"], "ExportIFCModel");
    EXPECT_EQ(calls[1]["call"], "GetIfcDocuments");
    EXPECT_EQ(calls[2]["call"], "SaveExportHistoryData");
    EXPECT_TRUE(HostErrors(lines).empty()) << Dump(lines);
}

} // namespace
