#include "AddOnScenario.hpp"

#include <gtest/gtest.h>

using namespace AddOnScenario;

namespace {

constexpr const char* Wall = "1Wall0000000000000000A";
constexpr const char* Slab = "2Slab0000000000000000B";
constexpr const char* DoorHost = "3Door0000000000000000C";
constexpr const char* DoorImported = "0Imported000000000000X";
constexpr const char* Text = "4Text0000000000000000D";

HostSim::HostOptions ElementsProject() {
    HostSim::HostOptions options = Options();
    options.project = ELEMENTS_PROJECT_PATH;
    return options;
}

// The palette is open in every scenario: the functions live in its page.
Lines Play(const std::string& lines) {
    return RunScenario("{\"menu\": 32500, \"item\": 1}\n" + lines, ElementsProject());
}

json Descriptor(const char* globalId, const char* name) {
    return json{{"ifcGuid", globalId}, {"name", name}}.dump();
}

TEST(ElementNames, ResolvedElementsComeFirstThenUnknownGlobalIds) {
    const Lines lines = Play(
        R"({"call": "GetElementNames", "arg": ["nobody000000000000000A", "1Wall0000000000000000A", "", 7, "ghost"]})");
    const json expected = {Descriptor(Wall, "W-001"), Descriptor("nobody000000000000000A", "nobody000000000000000A"),
                           Descriptor("ghost", "ghost")};
    EXPECT_EQ(ResultOf(lines, "GetElementNames"), expected) << Dump(lines);
}

TEST(ElementNames, NameFallsBackToTheGlobalIdAndTheImportedGlobalIdWins) {
    const Lines lines = Play(
        R"({"call": "GetElementNames", "arg": ["2Slab0000000000000000B", "0Imported000000000000X", "3Door0000000000000000C"]})");
    // The door is found by either GlobalId and always described with the one of its IFC file.
    const json expected = {Descriptor(Slab, Slab), Descriptor(DoorImported, "D-7"), Descriptor(DoorImported, "D-7")};
    EXPECT_EQ(ResultOf(lines, "GetElementNames"), expected) << Dump(lines);
}

TEST(ElementNames, DescriptorsAreValidJsonWhateverTheNameHolds) {
    const Lines lines = Play(R"({"call": "GetElementNames", "arg": "4Text0000000000000000D"})");
    const json result = ResultOf(lines, "GetElementNames");
    ASSERT_TRUE(result.is_array()) << Dump(lines);
    ASSERT_EQ(result.size(), 1u);
    const json parsed = json::parse(result[0].get<std::string>());
    EXPECT_EQ(parsed["name"], "Say \"hi\" \\ back\tslash");
    EXPECT_EQ(parsed["ifcGuid"], Text);
    EXPECT_EQ(result[0].get<std::string>().find("{\"ifcGuid\":"), 0u) << "compact, ifcGuid first";
}

TEST(ElementNames, ListsOfObjectsAreABadCastAndNumbersAnEmptyList) {
    const Lines lines = Play(R"({"call": "GetElementNames", "arg": [{"ifcGuid": "1Wall0000000000000000A"}]}
{"call": "GetElementNames", "arg": [1, 2, true]}
{"call": "GetElementNames"})");
    EXPECT_EQ(ResultOf(lines, "GetElementNames", 0).value("error", ""), "Bad cast.") << Dump(lines);
    EXPECT_EQ(ResultOf(lines, "GetElementNames", 1), json::array());
    EXPECT_EQ(ResultOf(lines, "GetElementNames", 2), json::array());
}

TEST(ElementNames, HostFailuresGiveEmptyTexts) {
    const Lines lines = Play(R"({"host": {"select": ["{A0000000-0000-4000-8000-000000000002}"]}}
{"host": {"fail": ["GetGlobalId", "GetExternalGlobalId"]}}
{"call": "GetSelectedElements"}
{"host": {"fail": ["FindElementsByGlobalId"]}}
{"call": "GetElementNames", "arg": ["1Wall0000000000000000A"]})");
    EXPECT_EQ(ResultOf(lines, "GetSelectedElements"), json::array({Descriptor("", "")})) << Dump(lines);
    EXPECT_EQ(ResultOf(lines, "GetElementNames"), json::array({Descriptor(Wall, Wall)}))
        << "a failed search leaves the GlobalId unresolved";
}

TEST(SelectedElements, DescribesTheSelectionInTheHostsOrderAndReleasesTheMarquee) {
    const Lines lines = Play(R"({"host": {"marquee": true}}
{"host": {"select": ["{A0000000-0000-4000-8000-000000000003}", "{A0000000-0000-4000-8000-000000000001}"]}}
{"call": "GetSelectedElements"}
{"host": {"fail": ["getSelection"]}}
{"call": "GetSelectedElements"})");
    EXPECT_EQ(ResultOf(lines, "GetSelectedElements", 0),
              json::array({Descriptor(DoorImported, "D-7"), Descriptor(Wall, "W-001")}))
        << Dump(lines);
    EXPECT_EQ(ResultOf(lines, "GetSelectedElements", 1), json::array());
    const Lines quit = With(lines, "quit");
    ASSERT_EQ(quit.size(), 1u);
    EXPECT_EQ(quit[0]["quit"].value("liveHandles", -1), 0) << "the marquee polygon is released";
}

TEST(HighlightElements, SwitchesCuttingPlanesOffAndSelectsTheKnownElements) {
    const Lines lines = Play(R"({"host": {"cuttingPlanes": {"on": true, "planes": [[0, 0, 1, -2]]}}}
{"call": "HighlightElements", "arg": ["ghost", "2Slab0000000000000000B", "1Wall0000000000000000A"]})");
    EXPECT_EQ(ResultOf(lines, "HighlightElements"), true) << Dump(lines);
    const Lines planes = With(lines, "cuttingPlanes");
    ASSERT_FALSE(planes.empty());
    EXPECT_EQ(planes.back()["cuttingPlanes"]["on"], false);
    const Lines windows = With(lines, "window");
    ASSERT_EQ(windows.size(), 1u);
    EXPECT_EQ(windows[0]["window"], 4);
    const Lines selections = With(lines, "selection");
    ASSERT_FALSE(selections.empty());
    EXPECT_EQ(selections.back()["selection"], json::array({Slab, Wall}));
    const Lines quit = With(lines, "quit");
    EXPECT_EQ(quit[0]["quit"].value("liveHandles", -1), 0) << "the cutting-shape list is released";
}

TEST(HighlightElements, AnEmptyListStillClearsSelectionAndCuttingPlanes) {
    const Lines lines = Play(R"({"host": {"select": ["{A0000000-0000-4000-8000-000000000001}"]}}
{"host": {"cuttingPlanes": {"on": true, "planes": [[1, 0, 0, 0]]}}}
{"call": "HighlightElements", "arg": []})");
    EXPECT_EQ(ResultOf(lines, "HighlightElements"), true) << Dump(lines);
    EXPECT_EQ(With(lines, "selection").back()["selection"], json::array());
    EXPECT_EQ(With(lines, "cuttingPlanes").back()["cuttingPlanes"]["on"], false);
}

TEST(HighlightElements, PlanesAlreadyOffOrUnreadableChangeNoWindow) {
    const Lines lines = Play(R"({"call": "HighlightElements", "arg": ["1Wall0000000000000000A"]}
{"host": {"cuttingPlanes": {"on": true, "planes": [[1, 0, 0, 0]]}}}
{"host": {"fail": ["GC3D"]}}
{"call": "HighlightElements", "arg": ["1Wall0000000000000000A"]}
{"host": {"fail": ["CC3D"]}}
{"call": "HighlightElements", "arg": ["1Wall0000000000000000A"]})");
    EXPECT_TRUE(With(lines, "window").empty()) << Dump(lines);
    EXPECT_EQ(With(lines, "selection").back()["selection"], json::array({Wall}));
}

TEST(ZoomToElement, ZoomsOnlyWhenExactlyOneElementIsNamed) {
    const Lines lines = Play(R"({"call": "ZoomToElement", "arg": ["ghost", "1Wall0000000000000000A"]}
{"call": "ZoomToElement", "arg": ["1Wall0000000000000000A", "2Slab0000000000000000B"]}
{"call": "ZoomToElement", "arg": ["ghost"]}
{"call": "ZoomToElement", "arg": "0Imported000000000000X"}
{"host": {"fail": ["ZTEL"]}}
{"call": "ZoomToElement", "arg": "1Wall0000000000000000A"})");
    EXPECT_EQ(ResultOf(lines, "ZoomToElement", 0), true) << Dump(lines);
    EXPECT_EQ(ResultOf(lines, "ZoomToElement", 1), false);
    EXPECT_EQ(ResultOf(lines, "ZoomToElement", 2), false);
    EXPECT_EQ(ResultOf(lines, "ZoomToElement", 3), true);
    EXPECT_EQ(ResultOf(lines, "ZoomToElement", 4), false) << "a failing zoom is reported";
    const Lines zooms = With(lines, "zoom");
    ASSERT_EQ(zooms.size(), 2u);
    EXPECT_EQ(zooms[0]["zoom"], json::array({Wall}));
    EXPECT_EQ(zooms[1]["zoom"], json::array({DoorHost}));
}

TEST(SelectionTracking, TheHostsSelectionChangesReachTheTrackingPage) {
    const Lines lines = Play(R"({"host": {"select": ["{A0000000-0000-4000-8000-000000000001}"]}}
{"call": "AddComponent", "arg": true}
{"host": {"select": ["{A0000000-0000-4000-8000-000000000002}"]}}
{"call": "GetSelectedElements"})");
    const Lines scripts = With(lines, "page");
    ASSERT_EQ(scripts.size(), 1u) << Dump(lines);
    EXPECT_EQ(scripts[0]["page"], "UpdateSelectedElements()");
    EXPECT_EQ(ResultOf(lines, "GetSelectedElements"), json::array({Descriptor(Slab, Slab)}));
}

} // namespace
