// The add-on against a host that does not always answer as hoped: questions it must answer, menu commands and
// project events that are not its own, start-up failures, operations the host does not offer and scenario lines the
// host refuses.

#include "AddOnScenario.hpp"
#include "ScriptValues.hpp"
#include "TempFolder.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace AddOnScenario;

namespace {

const std::string OpenPalette = "{\"menu\": 32500, \"item\": 1}\n";
constexpr const char* Wall = "1Wall0000000000000000A";
constexpr const char* NewWall = "3New00000000000000000E";

HostSim::HostOptions ElementsProject() {
    HostSim::HostOptions options = Options();
    options.project = ELEMENTS_PROJECT_PATH;
    return options;
}

json Descriptor(const char* globalId, const char* name) {
    return json{{"ifcGuid", globalId}, {"name", name}}.dump();
}

std::vector<std::string> PageScripts(const Lines& lines) {
    std::vector<std::string> scripts;
    for (const json& line : With(lines, "page"))
        scripts.push_back(line["page"]);
    return scripts;
}

std::string ErrorText(const Lines& lines, std::size_t which = 0) {
    const Lines errors = With(lines, "error");
    return errors.size() > which ? errors[which]["error"].get<std::string>() : "";
}

TEST(HostFidelityScenario, ThePaletteAnswersTheVisibilityQuestionInEveryState) {
    const Lines lines =
        RunScenario("{\"palette\": 7}\n" + OpenPalette + "{\"palette\": 7}\n" + OpenPalette + "{\"palette\": 7}\n");
    const Lines answers = With(lines, "paletteMessage");
    ASSERT_EQ(answers.size(), 3u) << Dump(lines);
    EXPECT_EQ(answers[0]["visible"], false) << "no palette yet";
    EXPECT_EQ(answers[1]["visible"], true);
    EXPECT_EQ(answers[2]["visible"], false) << "hidden by the second command";
}

TEST(HostFidelityScenario, MenuCommandsOfOtherMenusAreIgnored) {
    const Lines lines = RunScenario("{\"menu\": 32999, \"item\": 1}\n{\"menu\": 32501, \"item\": 2}\n");
    EXPECT_TRUE(With(lines, "panel").empty()) << Dump(lines);
    EXPECT_TRUE(With(lines, "handler").empty());
    EXPECT_TRUE(With(lines, "error").empty());

    const Lines opened = RunScenario(OpenPalette + "{\"menu\": 32999}\n");
    EXPECT_EQ(Count(opened, json{{"palette", "hidden"}, {"title", "Quillmar"}}), 0)
        << "a foreign command does not toggle the palette\n"
        << Dump(opened);
}

TEST(HostFidelityScenario, OnlyTheOpenEventReachesTheAddOnAndAnotherProjectIsSeenAfterIt) {
    const TempFolder folder;
    WriteFile(folder / "Other.json", R"S({"name": "Other House", "elements": [
        {"guid": "{B0000000-0000-4000-8000-000000000001}", "elementId": "NEW-1", "globalId": "3New00000000000000000E",
         "bounds": {"xMin": 100, "yMin": 0, "zMin": 0, "xMax": 104, "yMax": 1, "zMax": 3}}]})S");
    HostSim::HostOptions options = ElementsProject();
    options.home = folder.Path();
    const Lines lines = RunScenario(OpenPalette + R"S({"call": "GetElementNames", "arg": ["1Wall0000000000000000A"]}
{"event": "projectCreated"}
{"event": "projectSaved"}
{"event": "projectClosed"}
{"event": "projectOpened", "project": "<home>/Other.json"}
{"call": "RequestFileName"}
{"call": "GetElementNames", "arg": ["1Wall0000000000000000A", "3New00000000000000000E"]}
{"host": {"select": ["3New00000000000000000E"]}}
{"call": "GetSelectedElements"})S",
                                    options);
    const Lines subscriptions = With(lines, "projectEvents");
    ASSERT_EQ(subscriptions.size(), 1u) << Dump(lines);
    EXPECT_EQ(subscriptions[0], (json{{"projectEvents", {"open"}}, {"mask", 4}}));
    // New, save and close pass the add-on by; open asks the page for the file name, which is the new project's.
    EXPECT_EQ(Count(lines, json{{"page", "RequestFileName()"}}), 1) << Dump(lines);
    const long asked = IndexOf(lines, json{{"page", "RequestFileName()"}});
    EXPECT_GT(asked,
              IndexOf(lines, json{{"call", "GetElementNames"}, {"result", json::array({Descriptor(Wall, "W-001")})}}));
    EXPECT_GT(IndexOf(lines, json{{"call", "RequestFileName"}, {"result", "Other House"}}), asked);

    EXPECT_EQ(ResultOf(lines, "GetElementNames", 1),
              json::array({Descriptor(NewWall, "NEW-1"), Descriptor(Wall, Wall)}))
        << "the old model's wall is gone";
    EXPECT_EQ(ResultOf(lines, "GetSelectedElements"), json::array({Descriptor(NewWall, "NEW-1")}));
    EXPECT_TRUE(With(lines, "error").empty()) << Dump(lines);
}

TEST(HostFidelityScenario, AFailingMenuHandlerInstallationEndsTheInitialisationWithItsError) {
    HostSim::HostOptions options = Options();
    options.startFailures = {"installMenuHandler"};
    const Lines lines = RunScenario(OpenPalette + "{\"palette\": 7}\n", options);
    const Lines init = With(lines, "initialize");
    ASSERT_EQ(init.size(), 1u) << Dump(lines);
    EXPECT_EQ(init[0]["initialize"], "0x81060001");
    EXPECT_NE(IndexOf(lines, json{{"failed", "installMenuHandler"}}), -1);
    EXPECT_TRUE(With(lines, "paletteRegistered").empty());
    EXPECT_TRUE(With(lines, "projectEvents").empty());
    EXPECT_TRUE(With(lines, "panel").empty()) << "no handler, so the menu makes no palette";
    EXPECT_EQ(ErrorText(lines), "palette: no palette is registered");
    EXPECT_NE(IndexOf(lines, json{{"unloaded", "Quillmar.apx"}}), -1);
}

TEST(HostFidelityScenario, AWithheldSubscriptionIsNotSupportedAndTheRestStillWorks) {
    HostSim::HostOptions options = Options();
    options.withheldSlots = {API_HostSlot::CatchProjectEvent};
    const Lines lines =
        RunScenario(OpenPalette + "{\"event\": \"projectOpened\"}\n{\"call\": \"RequestFileName\"}\n", options);
    const Lines init = With(lines, "initialize");
    ASSERT_EQ(init.size(), 1u) << Dump(lines);
    EXPECT_EQ(init[0]["initialize"], "0x81060387");
    EXPECT_EQ(With(lines, "paletteRegistered").size(), 1u) << "the steps before the subscription were taken";
    EXPECT_TRUE(PageScripts(lines).empty()) << "nobody listens to the event";
    EXPECT_EQ(ResultOf(lines, "RequestFileName"), "Untitled");
    EXPECT_NE(IndexOf(lines, json{{"unloaded", "Quillmar.apx"}}), -1);
}

TEST(HostFidelityScenario, PageFunctionsSurviveOperationsTheHostDoesNotOffer) {
    HostSim::HostOptions options = ElementsProject();
    options.withheldSlots = {API_HostSlot::GetSelection,   API_HostSlot::GetOwnToken,      API_HostSlot::Command,
                             API_HostSlot::GetProjectInfo, API_HostSlot::GetSpecialFolder, API_HostSlot::SelectElements,
                             API_HostSlot::DeselectAll};
    const Lines lines = RunScenario(OpenPalette + R"S({"host": {"select": ["1Wall0000000000000000A"]}}
{"call": "GetSelectedElements"}
{"call": "GetElementNames", "arg": ["1Wall0000000000000000A"]}
{"call": "HighlightElements", "arg": ["1Wall0000000000000000A"]}
{"call": "ZoomToElement", "arg": ["1Wall0000000000000000A"]}
{"call": "RequestFileName"}
{"call": "GetResourceFolder"})S",
                                    options);
    EXPECT_EQ(ResultOf(lines, "GetSelectedElements"), json::array()) << Dump(lines);
    EXPECT_EQ(ResultOf(lines, "GetElementNames"), json::array({Descriptor(Wall, Wall)})) << "no accessor, no name";
    EXPECT_EQ(ResultOf(lines, "HighlightElements"), true);
    EXPECT_EQ(ResultOf(lines, "ZoomToElement"), false);
    EXPECT_EQ(ResultOf(lines, "RequestFileName"), "");
    EXPECT_EQ(ResultOf(lines, "GetResourceFolder"), "");
    EXPECT_TRUE(With(lines, "error").empty()) << Dump(lines);
    EXPECT_NE(IndexOf(lines, json{{"unloaded", "Quillmar.apx"}}), -1);
}

TEST(HostFidelityScenario, LinesTheHostRefusesNeverReachTheAddOn) {
    const std::string deep = std::string(6'000, '[') + "\"x\"" + std::string(6'000, ']');
    const Lines lines =
        RunScenario("{\"call\": \"GetApplicationInfo\"}\n" + OpenPalette +
                    "{\"call\": \"GetElementNames\", \"arg\": " + deep + "}\n" + "{\"call\": \"RequestFileName\"}\n");
    const Lines errors = With(lines, "error");
    ASSERT_EQ(errors.size(), 2u) << ErrorText(lines, 0);
    EXPECT_EQ(ErrorText(lines, 0), "call: no page is open, so no function \"GetApplicationInfo\" can be called");
    EXPECT_EQ(ErrorText(lines, 1),
              "call: \"arg\" nests deeper than " + std::to_string(HostSim::MaxScriptValueDepth) + " levels");
    EXPECT_EQ(With(lines, "call"), (Lines{json{{"call", "RequestFileName"}, {"result", "Untitled"}}}));
}

} // namespace
