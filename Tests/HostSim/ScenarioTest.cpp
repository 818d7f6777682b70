// Scenarios played against the test add-on: what the host does for each line kind and what the transcript shows.

#include "HostSimTestSupport.hpp"

#include "ScenarioRunner.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

using namespace HostSimTest;

const std::string Open = "{\"menu\": 32500, \"item\": 1}\n";

json CallResult(const std::string& name, const json& result) {
    return json{{"call", name}, {"result", result}};
}

std::string ErrorText(const Lines& lines, std::size_t which = 0) {
    const Lines errors = With(lines, "error");
    return errors.size() > which ? errors[which]["error"].get<std::string>() : "";
}

TEST(Scenario, MenuCommandsToggleThePaletteAndTheCheckMark) {
    const Lines lines = RunScenario(Open + Open + Open + "{\"menu\": 32501}\n");
    const json shown{{"palette", "shown"}, {"title", "Fake"}, {"position", -32768}};
    const json hidden{{"palette", "hidden"}, {"title", "Fake"}};
    const json checked{{"menu", "Fake Palette"}, {"checked", true}};
    const json unchecked{{"menu", "Fake Palette"}, {"checked", false}};

    const long created = IndexOf(lines, json{{"panel", "created"}, {"id", 32500}, {"title", "Fake"}});
    const long load = IndexOf(lines, json{{"load", "https://fake.example/app"}});
    const long first = IndexOf(lines, shown);
    const long check = IndexOf(lines, checked);
    const long hide = IndexOf(lines, hidden);
    const long uncheck = IndexOf(lines, unchecked);
    const long second = IndexOf(lines, shown, first + 1);
    ASSERT_NE(created, -1) << Dump(lines);
    EXPECT_LT(created, load);
    EXPECT_LT(load, first);
    EXPECT_LT(first, check);
    EXPECT_LT(check, hide);
    EXPECT_LT(hide, uncheck);
    EXPECT_LT(uncheck, second);
    EXPECT_NE(IndexOf(lines, checked, second), -1);
    // The third command shows the same palette: no second panel, no second page load.
    EXPECT_EQ(With(lines, "load").size(), 1u);
    EXPECT_EQ(IndexOf(lines, json{{"panel", "created"}, {"id", 32500}, {"title", "Fake"}}, created + 1), -1);
    // Unloading destroys it once.
    EXPECT_EQ(With(lines, "panel").size(), 2u);
    EXPECT_NE(IndexOf(lines, json{{"panel", "destroyed"}, {"id", 32500}, {"title", "Fake"}}), -1);
    EXPECT_TRUE(With(lines, "error").empty()) << Dump(lines);
}

TEST(Scenario, RegistrationAndContextMenuOfThePage) {
    const Lines lines = RunScenario(Open);
    const Lines registered = With(lines, "registered");
    ASSERT_EQ(registered.size(), 1u) << Dump(lines);
    EXPECT_EQ(registered[0]["registered"], "QUILAPI");
    const auto& functions = registered[0]["functions"];
    ASSERT_GE(functions.size(), 3u);
    EXPECT_EQ(functions[0], "Echo");
    EXPECT_EQ(functions[1], "Nothing");
    EXPECT_EQ(functions[2], "Fail");
    EXPECT_NE(IndexOf(lines, json{{"contextMenu", 2}}), -1);
}

TEST(Scenario, PaletteMessagesIncludingTheVisibilityQuestion) {
    const Lines lines = RunScenario(R"S({"palette": 7}
{"palette": 6}
{"palette": 7}
{"palette": 4}
{"palette": 5}
{"palette": 2}
{"palette": 4}
{"palette": 7}
{"palette": 3}
{"palette": 1}
{"palette": 99})S");
    const long notYet = IndexOf(lines, json{{"paletteMessage", 7}, {"visible", false}});
    const long visible = IndexOf(lines, json{{"paletteMessage", 7}, {"visible", true}});
    const long hiddenAgain = IndexOf(lines, json{{"paletteMessage", 7}, {"visible", false}}, visible);
    EXPECT_NE(notYet, -1) << Dump(lines);
    EXPECT_LT(notYet, visible);
    EXPECT_LT(visible, hiddenAgain);
    // 4 and 5 act only on a visible palette: one disable, one enable, from the first pair.
    EXPECT_EQ(With(lines, "items").size(), 2u) << Dump(lines);
    EXPECT_NE(IndexOf(lines, json{{"items", "disabled"}, {"title", "Fake"}}), -1);
    EXPECT_EQ(With(lines, "paletteMessage").size(), 11u);
    EXPECT_EQ(json({{"palette", "shown"}, {"title", "Fake"}, {"position", -32768}}),
              With(lines, "palette").at(2)); // 3 shows it again after 2 hid it
    EXPECT_TRUE(With(lines, "error").empty()) << Dump(lines);
}

TEST(Scenario, PaletteMessageWithoutRegisteredPaletteIsAnError) {
    HostSim::Host host(FakeOptions());
    ASSERT_TRUE(host.Start());
    host.GetState().palettes.clear();
    HostSim::ScenarioRunner runner(host);
    runner.RunLine("{\"palette\": 7}");
    EXPECT_EQ(ErrorText(host.GetTranscript().GetLines()), "palette: no palette is registered");
}

TEST(Scenario, CloseBoxHidesAndResizeReachesTheBrowser) {
    const Lines lines = RunScenario(Open + R"S({"ui": "resize", "dx": 10, "dy": -20}
{"ui": "close"}
{"ui": "close"}
)S" + Open);
    EXPECT_NE(IndexOf(lines, json::parse(R"S({"ui": "resize", "width": 310, "height": 430,
        "browser": {"width": 310, "height": 430}})S")),
              -1)
        << Dump(lines);
    const long closed = IndexOf(lines, json{{"ui", "close"}, {"accepted", true}});
    ASSERT_NE(closed, -1);
    EXPECT_EQ(IndexOf(lines, json{{"palette", "hidden"}, {"title", "Fake"}}), closed - 2);
    EXPECT_EQ(IndexOf(lines, json{{"menu", "Fake Palette"}, {"checked", false}}), closed - 1);
    EXPECT_EQ(ErrorText(lines), "ui: no palette is open");
    EXPECT_NE(IndexOf(lines, json{{"palette", "shown"}, {"title", "Fake"}, {"position", -32768}}, closed), -1);
    EXPECT_EQ(With(lines, "load").size(), 1u);
}

TEST(Scenario, AlertsAreRecordedAndAnsweredAsPreset) {
    const Lines lines = RunScenario(Open + R"S({"call": "Alert", "arg": "first"}
{"answer": {"alert": 2}}
{"call": "Alert", "arg": "second"}
{"answer": {"alert": 5}}
{"call": "Alert", "arg": ""})S");
    const Lines alerts = With(lines, "alert");
    ASSERT_EQ(alerts.size(), 3u) << Dump(lines);
    EXPECT_EQ(alerts[0], json::parse(R"S({"alert": {"large": "first", "small": "", "buttons": ["OK", "Cancel"]},
        "answer": 1})S"));
    EXPECT_EQ(alerts[1]["answer"], 2);
    EXPECT_EQ(alerts[2]["answer"], 1);
    EXPECT_NE(IndexOf(lines, CallResult("Alert", 2)), -1);
    EXPECT_EQ(ErrorText(lines), "answer: the alert has no button 5; it was closed with button 1");
}

TEST(Scenario, ModalDialogsAreAnsweredStepByStepAndCancelledWhenUnanswered) {
    const Lines lines = RunScenario(Open + R"S({"call": "Modal"}
{"answer": {"dialog": "accept"}}
{"call": "Modal"}
{"answer": {"dialog": [{"click": 1}, {"click": 5}, {"type": "x", "item": 1}]}}
{"call": "Modal"}
{"answer": {"dialog": [{"close": "yes"}]}})S");
    const Lines dialogs = With(lines, "dialog");
    ASSERT_EQ(dialogs.size(), 3u) << Dump(lines);
    EXPECT_EQ(dialogs[0], json::parse(R"S({"dialog": {"id": 32510, "title": "Fake Question",
        "items": [{"item": 1, "kind": "button", "text": "OK"}]}})S"));
    const Lines closed = With(lines, "dialogClosed");
    ASSERT_EQ(closed.size(), 3u) << Dump(lines);
    EXPECT_EQ(closed[0], json::parse(R"S({"dialogClosed": {"title": "Fake Question", "unanswered": true,
        "response": "cancel"}})S"));
    EXPECT_EQ(closed[1], json::parse(R"S({"dialogClosed": {"title": "Fake Question", "response": "accept"}})S"));
    // The add-on made no item objects, so there is nothing to click or type into; the dialog stays open.
    EXPECT_EQ(closed[2], closed[0]);
    const Lines errors = With(lines, "error");
    ASSERT_EQ(errors.size(), 4u) << Dump(lines);
    EXPECT_EQ(errors[0]["error"], "answer: the dialog \"Fake Question\" has no button 1");
    EXPECT_EQ(errors[1]["error"], "answer: the dialog \"Fake Question\" has no button 5");
    EXPECT_EQ(errors[2]["error"], "answer: the dialog \"Fake Question\" has no text edit 1");
    EXPECT_EQ(errors[3]["error"], "answer: a close step is {\"close\": true}");
    const Lines calls = With(lines, "call");
    EXPECT_EQ(calls[0], CallResult("Modal", false));
    EXPECT_EQ(calls[1], CallResult("Modal", true));
    EXPECT_EQ(calls[2], CallResult("Modal", false));
}

TEST(Scenario, CallsConvertEachArgumentAndResultKind) {
    const Lines lines = RunScenario(Open + R"S({"call": "Echo", "arg": "text"}
{"call": "Echo", "arg": 42}
{"call": "Echo", "arg": 2.5}
{"call": "Echo", "arg": 3.0}
{"call": "Echo", "arg": true}
{"call": "Echo", "arg": ["a", 1, [false]]}
{"call": "Echo", "arg": {"z": 1, "a": {"b": null}}}
{"call": "Echo"}
{"call": "Nothing", "arg": 1}
{"call": "DecodeString", "arg": 7})S");
    const Lines calls = With(lines, "call");
    ASSERT_EQ(calls.size(), 10u) << Dump(lines);
    EXPECT_EQ(calls[0], CallResult("Echo", "text"));
    EXPECT_EQ(calls[1], CallResult("Echo", 42));
    EXPECT_EQ(calls[2], CallResult("Echo", 2.5));
    EXPECT_TRUE(calls[3]["result"].is_number_float()); // 3.0 went in as a double
    EXPECT_EQ(calls[4], CallResult("Echo", true));
    EXPECT_EQ(calls[5], CallResult("Echo", json::parse(R"S(["a", 1, [false]])S")));
    EXPECT_EQ(calls[6], CallResult("Echo", json::parse(R"S({"z": 1, "a": {"b": null}})S")));
    EXPECT_EQ(calls[7], CallResult("Echo", nullptr));
    EXPECT_EQ(calls[8], CallResult("Nothing", nullptr));
    EXPECT_EQ(calls[9], CallResult("DecodeString", "")); // an integer is no string for the add-on
    EXPECT_TRUE(With(lines, "error").empty()) << Dump(lines);
}

TEST(Scenario, ExceptionsBecomeRejectedCallsAndTheRunGoesOn) {
    const Lines lines = RunScenario(Open + R"S({"call": "Fail"}
{"call": "DecodeString", "arg": ["not", "a", "string"]}
{"call": "FailStd"}
{"call": "Echo", "arg": "still here"})S");
    const Lines calls = With(lines, "call");
    ASSERT_EQ(calls.size(), 4u) << Dump(lines);
    EXPECT_EQ(calls[0], json({{"call", "Fail"}, {"error", "Bad cast."}}));
    EXPECT_EQ(calls[1], json({{"call", "DecodeString"}, {"error", "Bad cast."}}));
    EXPECT_EQ(calls[2], json({{"call", "FailStd"}, {"error", "plain failure"}}));
    EXPECT_EQ(calls[3], CallResult("Echo", "still here"));
}

TEST(Scenario, BadLinesGetErrorLinesAndCommentsAreSkipped) {
    const Lines lines = RunScenario(Open + R"S(# a comment
   
{"call": "NoSuchFunction"}
{"call": "Echo", "arg": 1
[1, 2]
{"menu": 32500, "colour": "red"}
{"bogus": 1}
{"menu": 32500, "palette": 1}
{"menu": "32500"}
{"event": "earthquake"}
{"host": {"fail": ["getProjectInfos"]}}
{"call": "Echo", "arg": "after"})S");
    const Lines errors = With(lines, "error");
    ASSERT_EQ(errors.size(), 9u) << Dump(lines);
    EXPECT_EQ(errors[0]["error"], "call: no function \"NoSuchFunction\" is registered in the page");
    EXPECT_EQ(errors[1]["error"], "not a JSON line: {\"call\": \"Echo\", \"arg\": 1");
    EXPECT_EQ(errors[2]["error"], "a scenario line must be a JSON object: [1, 2]");
    EXPECT_EQ(errors[3]["error"], "unknown key \"colour\" in a \"menu\" line");
    EXPECT_EQ(errors[4]["error"], "unknown key \"bogus\"");
    EXPECT_EQ(errors[5]["error"], "a line has one kind, this one has \"menu\" and \"palette\"");
    EXPECT_EQ(errors[6]["error"], "menu: the menu resource id must be a 32-bit integer");
    EXPECT_EQ(errors[7]["error"], "event: unknown event \"earthquake\"");
    EXPECT_EQ(errors[8]["error"], "host: \"getProjectInfos\" is neither a host operation nor a command code");
    EXPECT_NE(IndexOf(lines, CallResult("Echo", "after")), -1);
}

TEST(Scenario, WaitFindsScriptsRunSinceThePreviousWait) {
    const Lines lines = RunScenario(Open + R"S({"call": "RunScripts", "arg": 2}
{"wait": "Step(2)", "timeout": 1}
{"wait": "Step(1)", "timeout": 0.2}
{"call": "RunScripts", "arg": 1}
{"wait": "Step(1)", "timeout": 1})S");
    // Step(2) ran inside the call before the wait; Step(1) ran before Step(2), so the second wait cannot see it.
    const Lines errors = With(lines, "error");
    ASSERT_EQ(errors.size(), 1u) << Dump(lines);
    EXPECT_EQ(errors[0]["error"], "wait: \"Step(1)\" did not run within 0.2 s");
    EXPECT_EQ(With(lines, "page").size(), 3u);
    EXPECT_EQ(With(lines, "page")[0], json({{"page", "Step(1)"}}));
}

TEST(Scenario, WaitTimesOutWhenTheScriptNeverRuns) {
    const auto start = std::chrono::steady_clock::now();
    const Lines lines = RunScenario(Open + R"S({"wait": "Never()", "timeout": 0.3}
{"call": "Echo", "arg": 1})S");
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(ErrorText(lines), "wait: \"Never()\" did not run within 0.3 s");
    EXPECT_GE(elapsed, std::chrono::milliseconds(300));
    EXPECT_NE(IndexOf(lines, CallResult("Echo", 1)), -1);
}

TEST(Scenario, HostSettingsReachTheAddOn) {
    const Lines lines = RunScenario(Open + R"S({"call": "Language"}
{"call": "ProjectName"}
{"host": {"language": "GER", "project": "Villa"}}
{"call": "Language"}
{"call": "ProjectName"}
{"host": {"project": null, "fail": ["getProjectInfo", "getApplicationInfo"]}}
{"call": "ProjectName"}
{"call": "Language"}
{"host": {"fail": []}}
{"call": "ProjectName"})S");
    const Lines calls = With(lines, "call");
    ASSERT_EQ(calls.size(), 7u) << Dump(lines);
    EXPECT_EQ(calls[0], CallResult("Language", "INT"));
    EXPECT_EQ(calls[1], CallResult("ProjectName", "Untitled"));
    EXPECT_EQ(calls[2], CallResult("Language", "GER"));
    EXPECT_EQ(calls[3], CallResult("ProjectName", "Villa"));
    EXPECT_EQ(calls[4], CallResult("ProjectName", ""));
    EXPECT_EQ(calls[5], CallResult("Language", ""));
    EXPECT_EQ(calls[6], CallResult("ProjectName", "Untitled"));
    EXPECT_EQ(With(lines, "failed").size(), 2u);
}

TEST(Scenario, FailingAnInitializeStepIsSeenInTheTranscript) {
    // The failure set must be in place before the add-on initialises, so it is set on the host directly.
    HostSim::Host host(FakeOptions());
    ASSERT_TRUE(host.Load());
    ASSERT_TRUE(host.DeliverTable());
    host.GetState().failing = {"registerModelessPalette"};
    host.Describe();
    host.RegisterInterface();
    EXPECT_EQ(host.Initialize(), std::optional<GSErrCode>(APIERR_GENERAL));
    // The steps after the failing one were not attempted.
    EXPECT_EQ(host.GetState().selectionHandler, nullptr);
    EXPECT_NE(host.GetState().menuHandlers.count(32500), 0u);
    EXPECT_NE(IndexOf(host.GetTranscript().GetLines(), json{{"initialize", "0x81060001"}}), -1);
}

TEST(Scenario, FoldersLiveInTheRunsHomeAndPrintMasked) {
    const TempFolder folder;
    const std::filesystem::path home = folder / "home"; // made by the host
    HostSim::HostOptions options = FakeOptions();
    options.home = home;
    const Lines lines = RunScenario(Open + R"S({"call": "Folder", "arg": 5}
{"call": "Folder", "arg": 7}
{"call": "Folder", "arg": 3}
{"host": {"userDataFolder": "<home>/Plain/Data"}}
{"call": "Folder", "arg": 5})S",
                                    options);
    const Lines calls = With(lines, "call");
    ASSERT_EQ(calls.size(), 4u) << Dump(lines);
    EXPECT_EQ(calls[0], CallResult("Folder", "<home>/AppData/Roaming/GRAPHISOFT/Archicad 29"));
    EXPECT_EQ(calls[1], CallResult("Folder", "<home>/Exchange"));
    EXPECT_EQ(calls[2], CallResult("Folder", ""));
    EXPECT_EQ(calls[3], CallResult("Folder", "<home>/Plain/Data"));
    EXPECT_TRUE(std::filesystem::is_directory(home / "AppData/Roaming/GRAPHISOFT/Archicad 29"));
    EXPECT_TRUE(std::filesystem::is_directory(home / "Exchange"));
    EXPECT_TRUE(std::filesystem::is_directory(home / "Plain/Data"));
    for (const json& line : lines)
        EXPECT_EQ(line.dump().find(home.string()), std::string::npos) << line.dump();
}

TEST(Scenario, TemporaryHomeIsFreshAndRemovedAfterTheRun) {
    std::filesystem::path home;
    {
        HostSim::Host host(FakeOptions());
        home = host.GetHome();
        EXPECT_TRUE(std::filesystem::is_directory(home / "Exchange"));
        EXPECT_TRUE(std::filesystem::is_empty(home / "Exchange"));
    }
    EXPECT_FALSE(std::filesystem::exists(home));
}

TEST(Scenario, ElementsBoundsAndOwnTokenFromTheProject) {
    HostSim::HostOptions options = FakeOptions();
    options.project = std::string(HOSTSIM_SCENARIO_DIR) + "/SampleProject.json";
    const Lines lines = RunScenario(Open + R"S({"call": "Elements"}
{"call": "OwnToken"}
{"host": {"fail": ["getElementList"]}}
{"call": "Elements"})S",
                                    options);
    const Lines calls = With(lines, "call");
    ASSERT_EQ(calls.size(), 3u) << Dump(lines);
    const json& summary = calls[0]["result"];
    EXPECT_EQ(summary["guids"].size(), 3u);
    EXPECT_EQ(summary["guids"][0], "{3A1F0E52-7C44-4B0E-9D1A-2E6F8B0C4D11}");
    EXPECT_EQ(summary["withBounds"], 2); // the zone has none
    EXPECT_EQ(summary["centre"], json::parse("[5.0, 4.0, 1.375]"));
    EXPECT_EQ(calls[1], CallResult("OwnToken", "{12345678-ABCD-EF01-8000-486F7374536D}"));
    EXPECT_EQ(calls[2], CallResult("Elements", json({{"listed", false}})));
}

TEST(Scenario, BadProjectFileGivesAnErrorAndAnEmptyProject) {
    const TempFolder folder;
    const std::filesystem::path file = folder / "project.json";
    WriteFile(file, R"S({"name": "X", "elements": [{"guid": "nope"}]})S");
    HostSim::HostOptions options = FakeOptions();
    options.project = file;
    const Lines lines = RunScenario(Open + "{\"call\": \"ProjectName\"}", options);
    EXPECT_NE(ErrorText(lines).find("element 1"), std::string::npos) << Dump(lines);
    EXPECT_NE(IndexOf(lines, CallResult("ProjectName", "Untitled")), -1);
}

TEST(Scenario, NotificationsReachTheSubscribedHandlers) {
    const Lines lines = RunScenario(R"S({"event": "selectionChanged"}
{"event": "projectOpened"}
)S" + Open + R"S({"event": "selectionChanged"}
{"event": "projectOpened"})S");
    const Lines pages = With(lines, "page");
    ASSERT_EQ(pages.size(), 2u) << Dump(lines); // nothing before the palette exists
    EXPECT_EQ(pages[0]["page"], "UpdateSelectedElements()");
    EXPECT_EQ(pages[1]["page"], "RequestFileName()");
}

TEST(Scenario, CommandCodesAreNotSupportedAndRecorded) {
    const Lines lines = RunScenario(Open + "{\"call\": \"Command\", \"arg\": \"NOPE\"}");
    EXPECT_NE(IndexOf(lines, json{{"command", "NOPE"}, {"supported", false}}), -1);
    EXPECT_NE(IndexOf(lines, CallResult("Command", static_cast<Int32>(APIERR_NOTSUPPORTED))), -1) << Dump(lines);
}

TEST(Scenario, KeepInMemoryCountIsShownAtQuit) {
    const Lines lines = RunScenario(Open + R"S({"call": "Keep", "arg": true}
{"call": "Keep", "arg": false}
{"call": "Keep", "arg": false}
{"call": "Keep", "arg": false}
{"call": "Keep", "arg": true}
{"quit": {"release": true}}
{"call": "Echo", "arg": "never played"})S");
    // The palette's creation asked once; then +1 -1 -1 -1 (stays 0) +1.
    EXPECT_NE(IndexOf(lines, json::parse(R"S({"quit": {"release": true, "keepInMemory": 1, "liveHandles": 0}})S")), -1)
        << Dump(lines);
    EXPECT_EQ(IndexOf(lines, CallResult("Echo", "never played")), -1);
}

TEST(Scenario, DebugOutputIsRouted) {
    const Lines lines = RunScenario(Open + "{\"call\": \"Debug\", \"arg\": \"hello\\n\"}");
    EXPECT_NE(IndexOf(lines, json{{"debug", "hello\n"}}), -1) << Dump(lines);
}

TEST(Scenario, UnloadWithoutReleaseReportsAbnormalTermination) {
    const Lines lines = RunScenario(Open + "{\"quit\": {\"release\": false}}");
    EXPECT_EQ(With(lines, "release").size(), 0u);
    const long quit =
        IndexOf(lines, json::parse(R"S({"quit": {"release": false, "keepInMemory": 1, "liveHandles": 0}})S"));
    const long debug = IndexOf(lines, json{{"debug", "Abnormal add-on termination (\"<module>\")\n"}});
    const long destroyed = IndexOf(lines, json{{"panel", "destroyed"}, {"id", 32500}, {"title", "Fake"}});
    const long unloaded = IndexOf(lines, json{{"unloaded", "FakeAddOn.apx"}});
    EXPECT_NE(quit, -1) << Dump(lines);
    EXPECT_LT(quit, destroyed);
    EXPECT_LT(destroyed, debug);
    EXPECT_LT(debug, unloaded);
}

TEST(Scenario, ReleaseThenUnloadIsQuiet) {
    const Lines lines = RunScenario(Open);
    EXPECT_TRUE(With(lines, "debug").empty()) << Dump(lines);
    EXPECT_NE(IndexOf(lines, json{{"release", 0}}), -1);
}

TEST(Scenario, EndOfInputQuitsWithRelease) {
    const Lines lines = RunScenario("");
    EXPECT_NE(IndexOf(lines, json::parse(R"S({"quit": {"release": true, "keepInMemory": 0, "liveHandles": 0}})S")), -1)
        << Dump(lines);
    EXPECT_EQ(lines.back(), json({{"unloaded", "FakeAddOn.apx"}}));
}

TEST(Scenario, BundledScenarioRunsCleanAgainstTheTestAddOn) {
    std::ifstream file(std::string(HOSTSIM_TEST_DATA_DIR) + "/FakePalette.scenario");
    ASSERT_TRUE(file);
    const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    HostSim::HostOptions options = FakeOptions();
    options.project = std::string(HOSTSIM_SCENARIO_DIR) + "/SampleProject.json";
    const Lines lines = RunScenario(text, options);
    EXPECT_TRUE(With(lines, "error").empty()) << Dump(lines);
}

} // namespace
