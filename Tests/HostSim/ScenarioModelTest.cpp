// The host's model in scenarios played against the test add-on: host-side selection and cutting planes, what the
// transcript shows of the host's changes, the IFC accessor while the module is loaded, planned failures and the
// count of memory handles left alive at quit.

#include "HostSimTestSupport.hpp"

#include "ScenarioRunner.hpp"

#include "IFCObjectAccessor.hpp"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using namespace HostSimTest;

const std::string Open = "{\"menu\": 32500, \"item\": 1}\n";
const std::string A = "{11111111-2222-3333-4444-555555555555}";
const std::string B = "{22222222-2222-4222-8222-222222222222}";
const std::string C = "{33333333-3333-4333-8333-333333333333}";
const std::string D = "{44444444-4444-4444-8444-444444444444}";
const std::string AOwn = "0H4H4H8Y8pCqH4LLLLLLLL";
const std::string BOwn = "2SharedByStoreyAndB000";
const std::string COwn = "0pCpCpCpD3CuCpCpCpCpCp";
const std::string DOwn = "14H4H4H4H4H8H4H4H4H4H4";

HostSim::HostOptions ModelOptions() {
    HostSim::HostOptions options = FakeOptions();
    options.project = std::string(HOSTSIM_TEST_DATA_DIR) + "/ModelProject.json";
    return options;
}

// The scenario with <A>..<D> standing for the elements' GUIDs and <AOwn>..<DOwn> for their host GlobalIds.
std::string Fill(std::string text) {
    const std::pair<const char*, const std::string*> names[] = {{"<A>", &A},       {"<B>", &B},       {"<C>", &C},
                                                                {"<D>", &D},       {"<AOwn>", &AOwn}, {"<BOwn>", &BOwn},
                                                                {"<COwn>", &COwn}, {"<DOwn>", &DOwn}};
    for (const auto& [name, value] : names)
        for (std::size_t at = text.find(name); at != std::string::npos; at = text.find(name, at))
            text.replace(at, std::strlen(name), *value);
    return text;
}

Lines RunModel(const std::string& scenario) {
    return RunScenario(Open + Fill(scenario), ModelOptions());
}

// The results of the calls of `name`, in order.
Lines ResultsOf(const Lines& lines, const std::string& name) {
    Lines results;
    for (const json& line : lines)
        if (line.value("call", "") == name) results.push_back(line.contains("result") ? line["result"] : line);
    return results;
}

json QuitLine(const Lines& lines) {
    const Lines quits = With(lines, "quit");
    return quits.empty() ? json() : quits.back()["quit"];
}

TEST(ScenarioModel, HostSelectionNotifiesTheAddOnAfterTheLine) {
    const Lines lines = RunModel(R"({"host": {"select": ["<A>", "1ExternalGlobalIdOfC01"]}}
{"call": "Selection"}
{"host": {"select": []}})");
    const long selected = IndexOf(lines, json{{"selection", {AOwn, COwn}}});
    const long notified = IndexOf(lines, json{{"page", "UpdateSelectedElements()"}});
    ASSERT_NE(selected, -1) << Dump(lines);
    EXPECT_EQ(notified, selected + 1);
    const json selection = ResultsOf(lines, "Selection").at(0);
    EXPECT_EQ(selection["result"], 0);
    EXPECT_EQ(selection["guids"], json({A, C}));
    EXPECT_EQ(selection["typeID"], 1);
    EXPECT_EQ(selection["count"], 2);
    EXPECT_FALSE(selection.contains("marquee"));
    // Emptying it is a change too.
    EXPECT_NE(IndexOf(lines, json{{"selection", json::array()}}, notified), -1);
    EXPECT_EQ(With(lines, "page").size(), 2u);
    EXPECT_TRUE(With(lines, "error").empty()) << Dump(lines);
}

TEST(ScenarioModel, AGlobalIdSelectsEveryElementCarryingIt) {
    const Lines lines = RunModel(R"({"host": {"select": ["<AOwn>"]}}
{"host": {"select": ["<BOwn>"]}})");
    // D kept A's GlobalId from its IFC file; the storey sharing B's is no element.
    EXPECT_NE(IndexOf(lines, json{{"selection", {AOwn, DOwn}}}), -1) << Dump(lines);
    EXPECT_NE(IndexOf(lines, json{{"selection", {BOwn}}}), -1) << Dump(lines);
}

TEST(ScenarioModel, BadSelectionsChangeNothing) {
    const Lines lines = RunModel(R"({"host": {"select": ["<B>"]}}
{"host": {"select": ["<A>", "{99999999-9999-4999-8999-999999999999}"]}}
{"host": {"select": ["3SpaceOnlyNoElement000"]}}
{"host": {"select": "0H4H4H8Y8pCqH4LLLLLLLL"}}
{"host": {"select": [1]}}
{"call": "Selection"})");
    const Lines errors = With(lines, "error");
    ASSERT_EQ(errors.size(), 4u) << Dump(lines);
    EXPECT_EQ(errors[0]["error"],
              "host: \"select\": \"{99999999-9999-4999-8999-999999999999}\" is the GUID of no element");
    EXPECT_EQ(errors[1]["error"], "host: \"select\": \"3SpaceOnlyNoElement000\" is the GlobalId of no element");
    EXPECT_EQ(With(lines, "selection").size(), 1u);
    EXPECT_EQ(ResultsOf(lines, "Selection").at(0)["guids"], json({B}));
}

TEST(ScenarioModel, SelectionByTheAddOnIsShownOnce) {
    const Lines lines = RunModel(R"({"call": "Select", "arg": {"guids": ["<D>", "<B>"], "add": true}}
{"call": "Select", "arg": {"guids": ["<D>"], "add": false}}
{"call": "DeselectAll"}
{"call": "DeselectAll"})");
    const Lines selections = With(lines, "selection");
    ASSERT_EQ(selections.size(), 3u) << Dump(lines); // the second DeselectAll changed nothing
    EXPECT_EQ(selections[0], json({{"selection", {DOwn, BOwn}}}));
    EXPECT_EQ(selections[1], json({{"selection", {BOwn}}}));
    EXPECT_EQ(selections[2], json({{"selection", json::array()}}));
    EXPECT_EQ(With(lines, "page").size(), 3u);
    EXPECT_EQ(ResultsOf(lines, "DeselectAll"), Lines({0, 0}));
}

TEST(ScenarioModel, MarqueeHandlesReleasedOrLeftAreCountedAtQuit) {
    const Lines released = RunModel(R"({"host": {"marquee": true}}
{"call": "Selection"}
{"call": "Selection"})");
    const json first = ResultsOf(released, "Selection").at(0);
    EXPECT_EQ(first["typeID"], 2);
    EXPECT_EQ(first["marquee"], json::parse("[[0.0, 0.0], [10.0, 0.0], [10.0, 10.0], [0.0, 10.0], [0.0, 0.0]]"));
    EXPECT_EQ(QuitLine(released)["liveHandles"], 0) << Dump(released);

    const Lines kept = RunModel(R"({"host": {"marquee": true}}
{"call": "Selection", "arg": true}
{"call": "Selection"}
{"host": {"marquee": false}}
{"call": "Selection", "arg": true})");
    EXPECT_EQ(QuitLine(kept)["liveHandles"], 1) << Dump(kept);
    EXPECT_FALSE(ResultsOf(kept, "Selection").at(2).contains("marquee"));
}

TEST(ScenarioModel, MarqueeRectangleAndTheQuerysOptionsReachTheAddOn) {
    const Lines lines = RunModel(R"({"host": {"select": ["<D>", "<B>", "<A>"]}}
{"call": "Selection", "arg": {"onlyEditable": true}}
{"host": {"marquee": {"xMin": 0, "yMin": 0, "xMax": 4, "yMax": 1}}}
{"call": "Selection", "arg": {"ignorePartial": true}}
{"call": "Selection", "arg": {"ignorePartial": false}}
{"host": {"marquee": true}}
{"call": "Selection", "arg": {"ignorePartial": true}}
{"host": {"marquee": {"xMin": 0, "yMin": 0, "xMax": 4}}}
{"host": {"marquee": {"xMin": 0, "yMin": 0, "xMax": 4, "yMax": 1, "zMax": 1}}}
{"host": {"marquee": {"xMin": 4, "yMin": 0, "xMax": 4, "yMax": 1}}}
{"host": {"marquee": {"xMin": "0", "yMin": 0, "xMax": 4, "yMax": 1}}}
{"host": {"marquee": "yes"}}
{"call": "Selection", "arg": {"ignorePartial": true}})");
    const Lines results = ResultsOf(lines, "Selection");
    ASSERT_EQ(results.size(), 5u) << Dump(lines);
    EXPECT_EQ(results[0]["guids"], json::array({B, A})) << "D is locked";
    EXPECT_EQ(results[0]["count"], 3);
    EXPECT_EQ(results[0]["editable"], 2);
    // D has no bounds, so the marquee cannot leave it out; B reaches beyond it.
    EXPECT_EQ(results[1]["guids"], json::array({D, A}));
    EXPECT_EQ(results[1]["marquee"], json::parse("[[0.0, 0.0], [4.0, 0.0], [4.0, 1.0], [0.0, 1.0], [0.0, 0.0]]"));
    EXPECT_EQ(results[2]["guids"], json::array({D, B, A}));
    EXPECT_EQ(results[3]["guids"], json::array({D, B, A})) << "true is the square (0, 0)-(10, 10) again";
    EXPECT_EQ(results[4], results[3]) << "bad marquees change nothing";
    const Lines errors = With(lines, "error");
    ASSERT_EQ(errors.size(), 5u) << Dump(lines);
    EXPECT_EQ(errors[0]["error"], "host: \"marquee\" must be true, false or {\"xMin\", \"yMin\", \"xMax\", \"yMax\"}");
    EXPECT_EQ(errors[1]["error"], errors[0]["error"]);
    EXPECT_EQ(errors[2]["error"], "host: \"marquee\": each minimum must lie below its maximum");
    EXPECT_EQ(errors[3]["error"], "host: \"marquee\": \"xMin\" must be a number");
    EXPECT_EQ(errors[4]["error"], errors[0]["error"]);
    EXPECT_EQ(QuitLine(lines)["liveHandles"], 0);
}

TEST(ScenarioModel, CuttingPlanesWindowAndZoom) {
    const Lines lines = RunModel(R"({"host": {"cuttingPlanes": {"on": true, "planes": [[1, 0, 0, -2], [0, 0, 1, 0.5]]}}}
{"call": "CutPlanes"}
{"call": "SetCutPlanes", "arg": {"on": false, "planes": [[1, 0, 0, -2]]}}
{"call": "CutPlanes", "arg": true}
{"call": "Window", "arg": 4}
{"call": "Window", "arg": 4}
{"call": "Zoom", "arg": ["<C>"]}
{"call": "Zoom", "arg": []}
{"host": {"cuttingPlanes": {"on": true}, "window": 1}})");
    const json on =
        json::parse(R"({"cuttingPlanes": {"on": true, "planes": [[1.0, 0.0, 0.0, -2.0], [0.0, 0.0, 1.0, 0.5]]}})");
    const json off = json::parse(R"({"cuttingPlanes": {"on": false, "planes": [[1.0, 0.0, 0.0, -2.0]]}})");
    const json onAgain = json::parse(R"({"cuttingPlanes": {"on": true, "planes": [[1.0, 0.0, 0.0, -2.0]]}})");
    EXPECT_EQ(With(lines, "cuttingPlanes"), Lines({on, off, onAgain})) << Dump(lines);
    const Lines reads = ResultsOf(lines, "CutPlanes");
    EXPECT_EQ(reads.at(0), json::parse(R"({"result": 0, "on": true, "handle": true,
        "planes": [[1.0, 0.0, 0.0, -2.0], [0.0, 0.0, 1.0, 0.5]]})"));
    EXPECT_EQ(reads.at(1)["on"], false);
    EXPECT_EQ(With(lines, "window"), Lines({json{{"window", 4}}, json{{"window", 1}}}));
    EXPECT_EQ(With(lines, "zoom"), Lines({json{{"zoom", {COwn}}}}));
    EXPECT_EQ(ResultsOf(lines, "Zoom"), Lines({0, static_cast<Int32>(APIERR_GENERAL)}));
    EXPECT_EQ(QuitLine(lines)["liveHandles"], 1); // the second read's shapes were kept
    EXPECT_TRUE(With(lines, "error").empty()) << Dump(lines);
}

TEST(ScenarioModel, CommandCodesAndAccessorCallsFailOnRequest) {
    const Lines lines = RunModel(R"({"host": {"fail": ["GEIS", "FindElementsByGlobalId"]}}
{"call": "ElementName", "arg": "<A>"}
{"call": "Resolve", "arg": "<AOwn>"}
{"host": {"fail": []}}
{"call": "ElementName", "arg": "<A>"}
{"call": "Resolve", "arg": "<AOwn>"})");
    const Lines names = ResultsOf(lines, "ElementName");
    EXPECT_EQ(names.at(0), json({{"result", static_cast<Int32>(APIERR_GENERAL)}, {"name", "untouched"}}));
    EXPECT_EQ(names.at(1), json({{"result", 0}, {"name", "WALL-A"}}));
    EXPECT_EQ(ResultsOf(lines, "Resolve"), Lines({"not found", json({A, D})}));
    EXPECT_EQ(With(lines, "failed"), Lines({json{{"failed", "GEIS"}}, json{{"failed", "FindElementsByGlobalId"}}}));
    EXPECT_TRUE(With(lines, "error").empty()) << Dump(lines);
}

TEST(ScenarioModel, TheAccessorIsTheHostsWhileTheModuleIsLoaded) {
    HostSim::Host host(ModelOptions());
    ASSERT_TRUE(host.Start());
    const API_Guid token = host.GetState().ownToken;
    EXPECT_TRUE(IFCAPI::ObjectAccessor::GetObjectAccessor(token).IsOk());
    HostSim::ScenarioRunner runner(host);
    runner.RunLine(Open);
    runner.RunLine(Fill(R"({"call": "GlobalIds", "arg": "<C>"})"));
    runner.RunLine(Fill(R"({"call": "GlobalIds", "arg": "<A>"})"));
    runner.RunLine(R"({"quit": {"release": true}})");
    EXPECT_TRUE(IFCAPI::ObjectAccessor::GetObjectAccessor(token).IsErr());
    const Lines lines = host.GetTranscript().GetLines();
    const Lines ids = ResultsOf(lines, "GlobalIds");
    EXPECT_EQ(ids.at(0), json({{"own", COwn}, {"external", "1ExternalGlobalIdOfC01"}}));
    EXPECT_EQ(ids.at(1), json({{"own", AOwn}, {"external", nullptr}}));
}

TEST(ScenarioModel, SyntheticModelReplacesTheElements) {
    const Lines lines = RunModel(R"({"host": {"select": ["<A>"]}}
{"host": {"syntheticElements": 100000, "select": ["00000gKrbEL8000000000g"]}}
{"call": "Resolve", "arg": "00000gKrbEL8000000000g"}
{"call": "ElementName", "arg": "{000186A0-5359-4E54-8000-0000000186A0}"}
{"call": "Resolve", "arg": "<AOwn>"}
{"call": "Selection"})");
    EXPECT_EQ(ResultsOf(lines, "Resolve"), Lines({json{"{0000002A-5359-4E54-8000-00000000002A}"}, json::array()}));
    EXPECT_EQ(ResultsOf(lines, "ElementName").at(0)["name"], "SYN-100000");
    EXPECT_EQ(ResultsOf(lines, "Selection").at(0)["guids"], json({"{0000002A-5359-4E54-8000-00000000002A}"}));
    EXPECT_TRUE(With(lines, "error").empty()) << Dump(lines);
}

TEST(ScenarioModel, BadHostModelSettings) {
    const Lines lines = RunModel(R"({"host": {"marquee": 1}}
{"host": {"window": 0}}
{"host": {"window": "3D"}}
{"host": {"cuttingPlanes": {"on": true, "planes": [[1, 0, 0]]}}}
{"host": {"cuttingPlanes": {"on": "yes"}}}
{"host": {"cuttingPlanes": {"colour": 1}}}
{"host": {"cuttingPlanes": []}}
{"host": {"syntheticElements": -1}}
{"host": {"syntheticElements": 1.5}}
{"host": {"syntheticElements": 10000001}})");
    const Lines errors = With(lines, "error");
    ASSERT_EQ(errors.size(), 10u) << Dump(lines);
    EXPECT_EQ(errors[3]["error"], "host: \"cuttingPlanes\": each plane is [a, b, c, d], four numbers");
    EXPECT_EQ(errors[9]["error"], "host: \"syntheticElements\" must be a count from 0 to 10000000");
    EXPECT_TRUE(With(lines, "cuttingPlanes").empty());
    EXPECT_TRUE(With(lines, "window").empty());
}

} // namespace
