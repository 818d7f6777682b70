// The page browses the project's publisher sets: headers, item trees (also from a host whose answers repeat, loop
// or go very deep, or fail on the way) and the palette's publish record.

#include "AddOnScenario.hpp"
#include "TempFolder.hpp"

#include <gtest/gtest.h>

using namespace AddOnScenario;

namespace {

using ordered = nlohmann::ordered_json;

const std::string Open = "{\"menu\": 32500, \"item\": 1}\n";

const std::string IssueSet = "{5E700001-0000-4000-8000-000000000001}";
const std::string IssueRoot = "{5E700001-0000-4000-8000-0000000000F0}";
const std::string EmptyRoot = "{5E700002-0000-4000-8000-0000000000F0}";
const std::string StrasseRoot = "{5E700003-0000-4000-8000-0000000000F0}";

std::string ItemGuid(int n) {
    char text[40];
    std::snprintf(text, sizeof text, "{1E000000-0000-4000-8000-%012X}", n);
    return text;
}

Lines Play(const std::string& scenario, const std::filesystem::path& project = PUBLISH_PROJECT_PATH) {
    HostSim::HostOptions options = Options();
    options.project = project;
    return RunScenario(Open + scenario, options);
}

std::string Call(const std::string& function, const json& arg) {
    return json{{"call", function}, {"arg", arg}}.dump() + "\n";
}

std::string Items(const std::string& rootGuid) {
    return Call("GetPublishSetItems", json{{"rootGuid", rootGuid}}.dump());
}

std::string HostLine(const json& settings) {
    return json{{"host", settings}}.dump() + "\n";
}

ordered Leaf(const std::string& title, const std::string& key) {
    return ordered{{"title", title}, {"key", key}, {"isLeaf", true}};
}

ordered Folder(const std::string& title, const std::string& key, ordered children) {
    return ordered{{"title", title}, {"key", key}, {"children", std::move(children)}};
}

ordered Header(const std::string& title, const std::string& guid, const std::string& rootGuid, int index) {
    return ordered{{"title", title}, {"guid", guid}, {"rootGuid", rootGuid}, {"index", index}};
}

// The depth of a tree as the page reads it: 1 for an array of leaves.
std::size_t Depth(const json& array) {
    std::size_t depth = 0;
    for (const json& item : array)
        depth = std::max(depth, item.contains("children") ? 1 + Depth(item["children"]) : 1);
    return depth;
}

TEST(PublishSetBrowsing, HeadersListEverySetInIndexOrderAndNoSetsIsAnEmptyArray) {
    const Lines lines = Play(Call("GetPublishSetHeaders", "ignored"));
    const ordered expected =
        ordered::array({Header("Issue Set", IssueSet, IssueRoot, 0),
                        Header("Empty Set", "{5E700002-0000-4000-8000-000000000001}", EmptyRoot, 1),
                        Header("Straße", "{5E700003-0000-4000-8000-000000000001}", StrasseRoot, 2)});
    EXPECT_EQ(ResultOf(lines, "GetPublishSetHeaders"), expected.dump()) << "keys in order, the index a number";
    EXPECT_TRUE(With(lines, "error").empty()) << Dump(lines);

    HostSim::HostOptions options = Options();
    const Lines none = RunScenario(Open + Call("GetPublishSetHeaders", ""), options);
    EXPECT_EQ(ResultOf(none, "GetPublishSetHeaders"), "[]");
}

TEST(PublishSetBrowsing, ItemTreesNestFoldersAndReportChildlessItemsAsLeaves) {
    const Lines lines = Play(Items(IssueRoot) + Items(StrasseRoot) + Items(EmptyRoot) + Items(ItemGuid(2)) +
                             Items(ItemGuid(4)) + Items("{DEADBEEF-0000-4000-8000-000000000000}"));
    const ordered sheets = ordered::array(
        {Leaf("A-101 Plan", ItemGuid(3)), Leaf("Details", ItemGuid(4)), Leaf("Schnitt Ä–Ω 東京 😀", ItemGuid(5))});
    const ordered issue =
        ordered::array({Leaf("Ground Floor", ItemGuid(1)), Folder("Sheets", ItemGuid(2), sheets),
                        Folder("Elevations", ItemGuid(6), ordered::array({Leaf("North", ItemGuid(7))}))});
    EXPECT_EQ(ResultOf(lines, "GetPublishSetItems", 0), issue.dump()) << "the empty folder \"Details\" is a leaf";
    EXPECT_EQ(ResultOf(lines, "GetPublishSetItems", 1), ordered::array({Leaf("Only Sheet", ItemGuid(8))}).dump());
    EXPECT_EQ(ResultOf(lines, "GetPublishSetItems", 2), "") << "a root without items is no empty array";
    EXPECT_EQ(ResultOf(lines, "GetPublishSetItems", 3), sheets.dump()) << "any node can be the root";
    EXPECT_EQ(ResultOf(lines, "GetPublishSetItems", 4), "");
    EXPECT_EQ(ResultOf(lines, "GetPublishSetItems", 5), "") << "a GUID the host does not know";
    EXPECT_TRUE(With(lines, "error").empty()) << Dump(lines);
}

TEST(PublishSetBrowsing, RequestsOfAnotherShapeGiveTheEmptyText) {
    const Lines lines =
        Play(Call("GetPublishSetItems", "not json") + Call("GetPublishSetItems", "[1]") +
             Call("GetPublishSetItems", "\"" + IssueRoot + "\"") + Call("GetPublishSetItems", "{}") +
             Call("GetPublishSetItems", R"({"rootGuid": 5})") + Call("GetPublishSetItems", R"({"rootGuid": null})") +
             Call("GetPublishSetItems", R"({"rootGuid": "not a guid"})") + Call("GetPublishSetItems", json(nullptr)));
    for (std::size_t i = 0; i < 8; ++i)
        EXPECT_EQ(ResultOf(lines, "GetPublishSetItems", i), "") << i << "\n" << Dump(lines);
    EXPECT_TRUE(With(lines, "error").empty()) << "no \"Bad cast.\"\n" << Dump(lines);
}

TEST(PublishSetBrowsing, HostFailuresTurnAnItemIntoALeafOrGiveTheEmptyText) {
    const Lines lines = Play(
        HostLine({{"publishFaults", {{{"command", "GNCI"}, {"guid", ItemGuid(2)}}}}}) + Items(IssueRoot) +
        HostLine({{"publishFaults", {{{"command", "GNCI"}, {"guid", IssueRoot}}}}}) + Items(IssueRoot) +
        HostLine({{"publishFaults", {{{"command", "GNSE"}, {"guid", "{5E700002-0000-4000-8000-000000000001}"}}}}}) +
        Call("GetPublishSetHeaders", "") + HostLine({{"publishFaults", json::array()}, {"fail", {"GNSN"}}}) +
        Call("GetPublishSetHeaders", "") + HostLine({{"fail", {"GNCI"}}}) + Items(IssueRoot));

    const ordered issue =
        ordered::array({Leaf("Ground Floor", ItemGuid(1)), Leaf("Sheets", ItemGuid(2)),
                        Folder("Elevations", ItemGuid(6), ordered::array({Leaf("North", ItemGuid(7))}))});
    EXPECT_EQ(ResultOf(lines, "GetPublishSetItems", 0), issue.dump()) << "the walk goes on after the failed folder";
    EXPECT_EQ(ResultOf(lines, "GetPublishSetItems", 1), "");
    const std::string nullGuid = "{00000000-0000-0000-0000-000000000000}";
    const ordered headers =
        ordered::array({Header("Issue Set", IssueSet, IssueRoot, 0), Header("", nullGuid, nullGuid, 1),
                        Header("Straße", "{5E700003-0000-4000-8000-000000000001}", StrasseRoot, 2)});
    EXPECT_EQ(ResultOf(lines, "GetPublishSetHeaders", 0), headers.dump()) << "the unreadable set keeps its place";
    EXPECT_EQ(ResultOf(lines, "GetPublishSetHeaders", 1), "") << "no count, no headers";
    EXPECT_EQ(ResultOf(lines, "GetPublishSetItems", 2), "");
    EXPECT_EQ(Count(lines, json{{"failed", "GNCI"}, {"guid", ItemGuid(2)}}), 1) << Dump(lines);
    EXPECT_EQ(Count(lines, json{{"failed", "GNSN"}}), 1);
    EXPECT_TRUE(With(lines, "error").empty()) << Dump(lines);
}

class PublishTreeShapes : public ::testing::Test {
protected:
    // A project with one set whose root holds `items`.
    std::filesystem::path Project(const json& items) {
        const json project = {
            {"name", "Shapes"},
            {"publisherSets", {{{"name", "Set"}, {"guid", IssueSet}, {"rootGuid", IssueRoot}, {"items", items}}}}};
        const std::filesystem::path file = folder / "Project.json";
        QuillmarTest::WriteFile(file, project.dump());
        return file;
    }

    QuillmarTest::TempFolder folder;
};

TEST_F(PublishTreeShapes, AnAnswerThatLoopsOrRepeatsEndsWithEachItemDescendedOnce) {
    // B answers A's children, so B holds itself; C answers the root's children, so C holds A and itself.
    const json items = {{{"name", "A"},
                         {"guid", ItemGuid(1)},
                         {"kind", "folder"},
                         {"children", {{{"name", "B"}, {"guid", ItemGuid(2)}, {"childrenOf", ItemGuid(1)}}}}},
                        {{"name", "C"}, {"guid", ItemGuid(3)}, {"childrenOf", IssueRoot}}};
    const Lines lines = Play(Items(IssueRoot), Project(items));
    const ordered expected = ordered::array(
        {Folder("A", ItemGuid(1), ordered::array({Folder("B", ItemGuid(2), ordered::array({Leaf("B", ItemGuid(2))}))})),
         Folder("C", ItemGuid(3), ordered::array({Leaf("A", ItemGuid(1)), Leaf("C", ItemGuid(3))}))});
    EXPECT_EQ(ResultOf(lines, "GetPublishSetItems"), expected.dump()) << Dump(lines);
    EXPECT_TRUE(With(lines, "error").empty()) << Dump(lines);
}

TEST_F(PublishTreeShapes, AVeryDeepChainIsCutAt64Levels) {
    json chain = json::array();
    for (int n = 100; n >= 1; --n) {
        json item = {{"name", "Level " + std::to_string(n)}, {"guid", ItemGuid(n)}, {"kind", "folder"}};
        if (!chain.empty()) item["children"] = chain;
        chain = json::array({item});
    }
    const Lines lines = Play(Items(IssueRoot) + Items(ItemGuid(60)), Project(chain));
    const json tree = json::parse(ResultOf(lines, "GetPublishSetItems", 0).get<std::string>());
    EXPECT_EQ(Depth(tree), 64u);
    json deepest = tree;
    for (int level = 1; level < 64; ++level)
        deepest = deepest[0]["children"];
    EXPECT_EQ(deepest, json::array({{{"title", "Level 64"}, {"key", ItemGuid(64)}, {"isLeaf", true}}}))
        << "the last level is a leaf, though the host has more";
    // Counted from the node asked for: the rest of the chain is in reach.
    EXPECT_EQ(Depth(json::parse(ResultOf(lines, "GetPublishSetItems", 1).get<std::string>())), 40u);
}

TEST(PublishItemsRecord, AnswersTheRecordOnlyForItsProject) {
    const Lines lines = RunScenario(Open + Call("GetPublishItems", "p1") + Call("GetPublishItems", ""), Options());
    EXPECT_EQ(ResultOf(lines, "GetPublishItems", 0), "[]") << "before any run";
    // A fresh record belongs to the empty project id; its items are one JSON text.
    EXPECT_EQ(ResultOf(lines, "GetPublishItems", 1), R"({"publishSet":"","publishItems":"[]"})");
}

} // namespace
