// Failures and host behaviour an add-on must survive, played from scenario lines and host options against the test
// add-on: an unanswered visibility question, menu commands of other menus, project events by the subscription's
// mask, a project opened in place of the model, start-up failures, calls without a page and values nested too deep.

#include "HostSimTestSupport.hpp"

#include "ScenarioRunner.hpp"
#include "ScriptValues.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace HostSimTest;

const std::string Open = "{\"menu\": 32500, \"item\": 1}\n";

std::string ErrorText(const Lines& lines, std::size_t which = 0) {
    const Lines errors = With(lines, "error");
    return errors.size() > which ? errors[which]["error"].get<std::string>() : "";
}

std::vector<std::string> PageScripts(const Lines& lines) {
    std::vector<std::string> scripts;
    for (const json& line : With(lines, "page"))
        scripts.push_back(line["page"]);
    return scripts;
}

// "[[...[1]...]]" with `levels` arrays.
std::string Nested(std::size_t levels) {
    return std::string(levels, '[') + "1" + std::string(levels, ']');
}

TEST(HostFidelity, AVisibilityQuestionLeftUnansweredShowsAsSuch) {
    const Lines lines = RunScenario(Open + R"S({"palette": 7}
{"call": "AnswerVisibility", "arg": false}
{"palette": 7}
{"call": "AnswerVisibility", "arg": true}
{"palette": 7})S");
    const Lines answers = With(lines, "paletteMessage");
    ASSERT_EQ(answers.size(), 3u) << Dump(lines);
    EXPECT_EQ(answers[0]["visible"], true);
    EXPECT_EQ(answers[1]["visible"], "unanswered");
    EXPECT_EQ(answers[2]["visible"], true);
}

// Handlers a test installs beside the add-on's, and the menu ids they were called with.
std::vector<Int32> ownHandlerCalls;
GSErrCode OwnMenuHandler(const API_MenuParams* params) {
    ownHandlerCalls.push_back(params->menuItemRef.menuResID);
    return params->menuItemRef.menuResID == 32700 ? APIERR_GENERAL : NoError;
}

TEST(HostFidelity, AMenuCommandOfAnotherMenuReachesEveryInstalledHandlerOnce) {
    const Lines lines = RunScenario(R"S({"menu": 32999, "item": 3}
{"menu": 32500}
{"menu": 32999})S");
    EXPECT_EQ(Count(lines, json{{"debug", "menu 32999 is not mine"}}), 2) << Dump(lines);
    EXPECT_EQ(With(lines, "panel").size(), 2u) << "one palette, made by the add-on's own command and destroyed at quit";
    EXPECT_TRUE(With(lines, "handler").empty());

    // A handler installed for two menus is called once; one of a menu of its own only for that menu.
    ownHandlerCalls.clear();
    HostSim::Host host(FakeOptions());
    ASSERT_TRUE(host.Start());
    host.GetState().menuHandlers[32600] = &OwnMenuHandler;
    host.GetState().menuHandlers[32601] = &OwnMenuHandler;
    HostSim::ScenarioRunner runner(host);
    runner.RunLine(R"S({"menu": 32700})S");
    runner.RunLine(R"S({"menu": 32601})S");
    EXPECT_EQ(ownHandlerCalls, (std::vector<Int32>{32700, 32601}));
    const Lines hostLines = host.GetTranscript().GetLines();
    EXPECT_EQ(Count(hostLines, json{{"debug", "menu 32700 is not mine"}}), 1) << Dump(hostLines);
    EXPECT_EQ(Count(hostLines, json{{"debug", "menu 32601 is not mine"}}), 0);
    EXPECT_EQ(Count(hostLines, json{{"handler", "menu"}, {"result", "0x81060001"}}), 1);
}

TEST(HostFidelity, ProjectEventsReachTheHandlerOnlyWhenTheMaskAsksForThem) {
    const std::string events = R"S({"event": "projectCreated"}
{"event": "projectOpened"}
{"event": "projectSaved"}
{"event": "projectClosed"}
)S";
    const Lines lines = RunScenario(Open + events + R"S({"call": "ProjectEvents", "arg": 53}
)S" + events + R"S({"call": "ProjectEvents", "arg": 48}
)S" + events + R"S({"call": "ProjectEvents", "arg": 0}
)S" + events);
    EXPECT_EQ(PageScripts(lines),
              (std::vector<std::string>{"RequestFileName()", "ProjectEvent(1)", "RequestFileName()", "ProjectEvent(16)",
                                        "ProjectEvent(32)", "ProjectEvent(16)", "ProjectEvent(32)"}))
        << Dump(lines);
    const Lines subscriptions = With(lines, "projectEvents");
    ASSERT_EQ(subscriptions.size(), 4u);
    EXPECT_EQ(subscriptions[0], (json{{"projectEvents", {"open"}}, {"mask", 4}})); // at initialize
    EXPECT_EQ(subscriptions[1], (json{{"projectEvents", {"new", "open", "save", "close"}}, {"mask", 53}}));
    EXPECT_EQ(subscriptions[2], (json{{"projectEvents", {"save", "close"}}, {"mask", 48}}));
    EXPECT_EQ(subscriptions[3], (json{{"projectEvents", json::array()}, {"mask", 0}}));
    EXPECT_TRUE(With(lines, "error").empty()) << Dump(lines);
}

TEST(HostFidelity, BadEventLinesGetErrorLines) {
    const Lines lines = RunScenario(Open + R"S({"event": "projectRenamed"}
{"event": "projectSaved", "project": "<home>/x.json"}
{"event": "projectOpened", "project": 3}
{"event": "projectOpened", "file": "x"})S");
    const Lines errors = With(lines, "error");
    ASSERT_EQ(errors.size(), 4u) << Dump(lines);
    EXPECT_EQ(errors[0]["error"], "event: unknown event \"projectRenamed\"");
    EXPECT_EQ(errors[1]["error"], "event: only \"projectOpened\" takes a \"project\"");
    EXPECT_EQ(errors[2]["error"], "event: \"project\" must be a string");
    EXPECT_EQ(errors[3]["error"], "unknown key \"file\" in a \"event\" line");
    EXPECT_TRUE(With(lines, "page").empty()) << "no bad line delivers its event";
}

TEST(HostFidelity, OpeningAnotherProjectReplacesTheModelBeforeTheEvent) {
    const TempFolder folder;
    WriteFile(folder / "Other.json", R"S({"name": "Other House", "elements": [
        {"guid": "{0A0A0A0A-0000-4000-8000-00000000000A}", "elementId": "OTHER-1"}]})S");
    WriteFile(folder / "Broken.json", R"S({"name": "Broken", "elements": 7})S");
    HostSim::HostOptions options = FakeOptions();
    options.home = folder.Path();
    options.project = std::string(HOSTSIM_TEST_DATA_DIR) + "/ModelProject.json";
    const Lines lines = RunScenario(Open + R"S({"host": {"select": ["{11111111-2222-3333-4444-555555555555}"]}}
{"event": "projectOpened", "project": "<home>/Broken.json"}
{"call": "ProjectName"}
{"event": "projectOpened", "project": "<home>/Other.json"}
{"call": "ProjectName"}
{"call": "Elements"}
{"call": "Selection"}
{"event": "projectOpened", "project": "<home>/Missing.json"})S",
                                    options);
    EXPECT_EQ(ResultOf(lines, "ProjectName", 0), "Model House") << Dump(lines);
    EXPECT_EQ(ResultOf(lines, "ProjectName", 1), "Other House");
    EXPECT_EQ(ResultOf(lines, "Elements")["guids"], json::array({"{0A0A0A0A-0000-4000-8000-00000000000A}"}));
    EXPECT_EQ(ResultOf(lines, "Selection")["guids"], json::array()) << "the old model's selection went with it";
    // The handler ran after the model changed, once for the project that opened.
    EXPECT_EQ(PageScripts(lines), (std::vector<std::string>{"UpdateSelectedElements()", "RequestFileName()"}));
    const Lines errors = With(lines, "error");
    ASSERT_EQ(errors.size(), 2u) << Dump(lines);
    EXPECT_NE(ErrorText(lines, 0).find("event: the project cannot be opened: "), std::string::npos);
    EXPECT_NE(ErrorText(lines, 1).find("<home>/Missing.json"), std::string::npos) << ErrorText(lines, 1);
}

TEST(HostFidelity, StartFailuresHoldWhileTheAddOnStartsOnly) {
    HostSim::HostOptions options = FakeOptions();
    options.startFailures = {"getProjectInfo", "catchProjectEvent"};
    const Lines lines = RunScenario(Open + R"S({"call": "ProjectName"}
{"call": "ProjectEvents", "arg": 4}
{"event": "projectOpened"})S",
                                    options);
    EXPECT_NE(IndexOf(lines, json{{"failed", "catchProjectEvent"}}), -1) << Dump(lines);
    EXPECT_NE(IndexOf(lines, json{{"initialize", "0x81060001"}}), -1);
    // Once started, the operations answer again.
    EXPECT_EQ(ResultOf(lines, "ProjectName"), "Untitled");
    EXPECT_EQ(ResultOf(lines, "ProjectEvents"), 0);
    EXPECT_EQ(PageScripts(lines), (std::vector<std::string>{"RequestFileName()"}));
    EXPECT_TRUE(With(lines, "error").empty()) << Dump(lines);
}

TEST(HostFidelity, AFailingMenuHandlerInstallationStopsTheStart) {
    HostSim::HostOptions options = FakeOptions();
    options.startFailures = {"installMenuHandler"};
    const Lines lines = RunScenario(Open + "{\"menu\": 32999}\n", options);
    EXPECT_NE(IndexOf(lines, json{{"initialize", "0x81060001"}}), -1) << Dump(lines);
    EXPECT_TRUE(With(lines, "paletteRegistered").empty());
    EXPECT_TRUE(With(lines, "panel").empty()) << "no handler, so no menu command reaches the add-on";
    EXPECT_TRUE(With(lines, "debug").empty());
}

TEST(HostFidelity, UnknownStartFailuresAreNamed) {
    HostSim::HostOptions options = FakeOptions();
    options.startFailures = {"installMenuHandlers"};
    const Lines lines = RunScenario("", options);
    EXPECT_EQ(ErrorText(lines), "start failure installMenuHandlers is neither a host operation nor a command code")
        << Dump(lines);
    EXPECT_NE(IndexOf(lines, json{{"initialize", 0}}), -1);
}

TEST(HostFidelity, ACallWithoutAPageGetsAnErrorLine) {
    const Lines lines = RunScenario(R"S({"call": "Echo", "arg": 1}
)S" + Open + R"S({"call": "Missing"}
{"call": "Echo", "arg": 2})S");
    EXPECT_EQ(ErrorText(lines, 0), "call: no page is open, so no function \"Echo\" can be called") << Dump(lines);
    EXPECT_EQ(ErrorText(lines, 1), "call: no function \"Missing\" is registered in the page");
    EXPECT_EQ(With(lines, "call"), (Lines{json{{"call", "Echo"}, {"result", 2}}}));
}

TEST(HostFidelity, ValuesNestedTooDeepAreRefusedAndTheRunGoesOn) {
    const std::string limit = std::to_string(HostSim::MaxScriptValueDepth);
    const Lines lines = RunScenario(Open + "{\"call\": \"Echo\", \"arg\": " + Nested(6'000) + "}\n" +
                                    "{\"call\": \"Echo\", \"arg\": " + Nested(100'000) + "}\n" +
                                    "{\"call\": \"Echo\", \"arg\": {\"a\": " + Nested(HostSim::MaxScriptValueDepth) +
                                    "}}\n" + "{\"event\": " + Nested(100'000) + "}\n" +
                                    "{\"call\": \"Echo\", \"arg\": " + Nested(HostSim::MaxScriptValueDepth) + "}\n");
    const Lines errors = With(lines, "error");
    ASSERT_EQ(errors.size(), 4u) << ErrorText(lines);
    EXPECT_EQ(ErrorText(lines, 0), "call: \"arg\" nests deeper than " + limit + " levels");
    EXPECT_EQ(ErrorText(lines, 1), ErrorText(lines, 0));
    EXPECT_EQ(ErrorText(lines, 2), ErrorText(lines, 0)) << "the object around it is one level more";
    EXPECT_EQ(ErrorText(lines, 3), "event: the event name must be a string");
    const Lines calls = With(lines, "call");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0]["result"], json::parse(Nested(HostSim::MaxScriptValueDepth))) << "the deepest value allowed";
    EXPECT_NE(IndexOf(lines, json{{"unloaded", "FakeAddOn.apx"}}), -1);
}

} // namespace
