#include "AddOnScenario.hpp"
#include "ServiceAddress.hpp"
#include "TempFolder.hpp"

#include <gtest/gtest.h>

#include <filesystem>

using namespace AddOnScenario;

namespace {

TEST(FrameFunctions, ApplicationInfoNamesLanguageServiceVersionAndGeneration) {
    const Lines lines = RunScenario(R"({"menu": 32500, "item": 1}
{"call": "GetApplicationInfo"}
{"host": {"language": "GER"}}
{"call": "GetApplicationInfo"}
{"host": {"language": "ger"}}
{"call": "GetApplicationInfo"}
{"host": {"fail": ["getApplicationInfo"]}}
{"call": "GetApplicationInfo"})");
    // The service's base as the build gives it, with the slash the page appends paths to.
    const std::string rest = std::string(",") + ApiBaseUrl + "/,0.49.3.3,29";
    EXPECT_EQ(ResultOf(lines, "GetApplicationInfo", 0), "en" + rest) << Dump(lines);
    EXPECT_EQ(ResultOf(lines, "GetApplicationInfo", 1), "de" + rest);
    EXPECT_EQ(ResultOf(lines, "GetApplicationInfo", 2), "en" + rest) << "only the exact code GER is German";
    EXPECT_EQ(ResultOf(lines, "GetApplicationInfo", 3), "en" + rest) << "a failing query counts as English";
}

TEST(FrameFunctions, RequestFileNameGivesUntitledTheNameOrNothing) {
    const Lines lines = RunScenario(R"({"menu": 32500, "item": 1}
{"call": "RequestFileName"}
{"host": {"project": "Haus am See"}}
{"call": "RequestFileName"}
{"host": {"fail": ["getProjectInfo"]}}
{"call": "RequestFileName"})");
    EXPECT_EQ(ResultOf(lines, "RequestFileName", 0), "Untitled") << Dump(lines);
    EXPECT_EQ(ResultOf(lines, "RequestFileName", 1), "Haus am See");
    EXPECT_EQ(ResultOf(lines, "RequestFileName", 2), "");
}

TEST(FrameFunctions, ResourceFolderLiesBesideTheVendorFolderAndIsCreated) {
    const TempFolder folder;
    const std::filesystem::path home = folder / "home"; // made by the host
    HostSim::HostOptions options = Options();
    options.home = home;
    const Lines lines = RunScenario(R"({"menu": 32500, "item": 1}
{"call": "GetResourceFolder"}
{"call": "GetResourceFolder"})",
                                    options);
    EXPECT_EQ(ResultOf(lines, "GetResourceFolder", 0), "<home>/AppData/Roaming/Quillmar/ArchiCAD/resources")
        << Dump(lines);
    EXPECT_EQ(ResultOf(lines, "GetResourceFolder", 1), ResultOf(lines, "GetResourceFolder", 0));
    EXPECT_TRUE(std::filesystem::is_directory(home / "AppData/Roaming/Quillmar/ArchiCAD/resources"));
}

TEST(FrameFunctions, ResourceFolderWithoutVendorFolderGoesInsideTheUserDataFolder) {
    const Lines lines = RunScenario(R"({"menu": 32500, "item": 1}
{"host": {"userDataFolder": "<home>/Data"}}
{"call": "GetResourceFolder"}
{"host": {"fail": ["getSpecialFolder"]}}
{"call": "GetResourceFolder"})");
    EXPECT_EQ(ResultOf(lines, "GetResourceFolder", 0), "<home>/Data/Quillmar/ArchiCAD/resources") << Dump(lines);
    EXPECT_EQ(ResultOf(lines, "GetResourceFolder", 1), "") << "no folder when the host names none";
}

TEST(FrameFunctions, AlertShowsTheTextWithOneOkButtonAndAnswersTrue) {
    const Lines lines = RunScenario(R"({"menu": 32500, "item": 1}
{"call": "AlertAPI", "arg": "Upload finished"}
{"call": "AlertAPI", "arg": ""}
{"call": "AlertAPI", "arg": 42})");
    const Lines alerts = With(lines, "alert");
    ASSERT_EQ(alerts.size(), 3u) << Dump(lines);
    EXPECT_EQ(alerts[0]["alert"], (json{{"large", "Upload finished"}, {"small", ""}, {"buttons", {"OK"}}}));
    EXPECT_EQ(alerts[1]["alert"]["large"], "");
    EXPECT_EQ(alerts[2]["alert"]["large"], "") << "a number is no text";
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_EQ(ResultOf(lines, "AlertAPI", i), true);
}

TEST(FrameFunctions, FunctionsOfLaterStepsAnswerTheirEmptyResult) {
    const Lines lines = RunScenario(R"({"menu": 32500, "item": 1}
{"call": "GetIfcDocuments"}
{"call": "ImportIfcModel", "arg": "x"}
{"call": "SelectViewpoint", "arg": {}}
{"call": "AddViewpoint"})");
    EXPECT_EQ(ResultOf(lines, "GetIfcDocuments", 0), "") << Dump(lines);
    EXPECT_EQ(ResultOf(lines, "ImportIfcModel"), true);
    EXPECT_EQ(ResultOf(lines, "SelectViewpoint"), false);
    EXPECT_EQ(ResultOf(lines, "AddViewpoint"), "");
}

TEST(SelectionTracking, UpdatesReachThePageOnlyWithAPaletteAndTrackingOn) {
    const Lines lines = RunScenario(R"({"event": "selectionChanged"}
{"menu": 32500, "item": 1}
{"event": "selectionChanged"}
{"call": "AddComponent", "arg": true}
{"event": "selectionChanged"}
{"call": "AddComponent", "arg": 0}
{"event": "selectionChanged"}
{"call": "AddComponent", "arg": false}
{"event": "selectionChanged"}
{"call": "AddComponent", "arg": {"on": true}})");
    const Lines scripts = With(lines, "page");
    ASSERT_EQ(scripts.size(), 2u) << Dump(lines);
    EXPECT_EQ(scripts[0]["page"], "UpdateSelectedElements()");
    EXPECT_EQ(scripts[1]["page"], "UpdateSelectedElements()") << "a number leaves tracking on";
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_EQ(ResultOf(lines, "AddComponent", i), true);
    const json badCast = ResultOf(lines, "AddComponent", 3);
    EXPECT_EQ(badCast.value("error", ""), "Bad cast.") << Dump(lines);
}

TEST(ProjectEvents, ProjectOpenedAsksThePageForTheNameOnlyWithAPalette) {
    const Lines lines = RunScenario(R"({"event": "projectOpened"}
{"menu": 32500, "item": 1}
{"event": "projectOpened"}
{"menu": 32500, "item": 1}
{"event": "projectOpened"})");
    const Lines scripts = With(lines, "page");
    ASSERT_EQ(scripts.size(), 2u) << Dump(lines);
    EXPECT_EQ(scripts[0]["page"], "RequestFileName()");
    EXPECT_EQ(scripts[1]["page"], "RequestFileName()") << "a hidden palette still hears from the add-on";
}

} // namespace
