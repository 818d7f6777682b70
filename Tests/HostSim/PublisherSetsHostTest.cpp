// The host's publisher sets: how a description declares them, the navigator commands that read them and the publish
// command that writes an item's files, with the faults a scenario can plan.

#include "HostSimTestSupport.hpp"

#include "HostServices.hpp"
#include "ProjectDescription.hpp"
#include "PublisherSets.hpp"

#include "Location.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace {

using namespace HostSimTest;
using HostSim::HostServices;

const std::string SetGuid = "{5E700001-0000-4000-8000-000000000001}";
const std::string RootGuid = "{5E700001-0000-4000-8000-0000000000F0}";
const std::string OtherSetGuid = "{5E700002-0000-4000-8000-000000000001}";

std::string ItemGuid(int n) {
    char text[40];
    std::snprintf(text, sizeof text, "{1E000000-0000-4000-8000-%012X}", n);
    return text;
}

API_Guid ApiGuid(const std::string& text) {
    return GSGuid2APIGuid(GS::Guid(text.c_str()));
}

json Item(int n, const std::string& name, const std::string& kind, const json& extra = json::object()) {
    json item = {{"name", name}, {"guid", ItemGuid(n)}, {"kind", kind}};
    item.update(extra);
    return item;
}

// "Issue Set": a view (PNG), a folder holding a layout and a DXF view, and a PDF view; "Other": one layout.
json Description() {
    const json sheets = Item(2, "Sheets/Details", "folder",
                             {{"children", {Item(3, "A-101", "layout"), Item(4, "Cut", "view", {{"format", "dxf"}})}}});
    return json{{"name", "House"},
                {"elements",
                 {{{"guid", "{B0000000-0000-4000-8000-000000000001}"},
                   {"bounds", {{"xMin", 0}, {"yMin", 0}, {"zMin", 0}, {"xMax", 10}, {"yMax", 4}, {"zMax", 3}}}}}},
                {"publisherSets",
                 {{{"name", "Issue Set"},
                   {"guid", SetGuid},
                   {"rootGuid", RootGuid},
                   {"items", {Item(1, "Ground Floor", "view"), sheets, Item(5, "North", "view", {{"format", "pdf"}})}}},
                  {{"name", "Other"},
                   {"guid", OtherSetGuid},
                   {"rootGuid", "{5E700002-0000-4000-8000-0000000000F0}"},
                   {"items", {Item(6, "Only", "layout")}}}}}};
}

std::string ErrorOf(const json& description) {
    try {
        HostSim::ParseProjectDescription(description);
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "";
}

std::string Head(const std::filesystem::path& file, std::size_t bytes) {
    std::ifstream in(file, std::ios::binary);
    std::string head(bytes, '\0');
    in.read(head.data(), static_cast<std::streamsize>(bytes));
    head.resize(static_cast<std::size_t>(in.gcount()));
    return head;
}

TEST(PublisherSetsDescription, RefusesWhatWouldLeaveTheTreeUnclear) {
    EXPECT_EQ(ErrorOf(Description()), "");
    const auto withSets = [](const json& sets) { return json{{"name", nullptr}, {"publisherSets", sets}}; };
    // A braced list of one item reads as that item, not as an array of it.
    const auto withItems = [&](const json& items) {
        const json array = items.is_array() ? items : json::array({items});
        return withSets({{{"name", "S"}, {"guid", SetGuid}, {"rootGuid", RootGuid}, {"items", array}}});
    };
    const std::pair<json, std::string> cases[] = {
        {withSets(json::object()), "\"publisherSets\" is not an array"},
        {withSets({{{"name", "S"}, {"guid", SetGuid}}}), "publisher set 1 has no \"rootGuid\""},
        {withSets({{{"name", "S"}, {"guid", SetGuid}, {"rootGuid", RootGuid}, {"colour", 1}}}), "\"colour\""},
        {withSets({{{"name", 5}, {"guid", SetGuid}, {"rootGuid", RootGuid}}}), "\"name\" is not a string"},
        {withSets({{{"name", "S"}, {"guid", "{0}"}, {"rootGuid", RootGuid}}}), "is not a GUID"},
        {withSets({{{"name", "S"}, {"guid", SetGuid}, {"rootGuid", SetGuid}}}), "appears twice"},
        {withItems({Item(1, "A", "folder", {{"children", {Item(1, "B", "view")}}})}), "appears twice"},
        {withItems({Item(1, "A", "view", {{"guid", RootGuid}})}), "appears twice"},
        {withItems({Item(1, "A", "folder", {{"children", {Item(2, "B", "sheet")}}})}), "item 1.1: \"kind\""},
        {withItems({Item(1, "A", "layout", {{"format", "png"}})}), "\"format\" of a layout"},
        {withItems({Item(1, "A", "folder", {{"format", "pdf"}})}), "a folder has no \"format\""},
        {withItems({Item(1, "A", "view", {{"format", "jpg"}})}), "\"format\" of a view"},
        {withItems({Item(1, "A", "folder", {{"children", 3}})}), "\"children\" is not an array"},
        {withItems({Item(1, "A", "folder", {{"children", json::array()}, {"childrenOf", RootGuid}})}),
         "both \"children\" and \"childrenOf\""},
        {withItems({Item(1, "A", "folder", {{"childrenOf", ItemGuid(9)}})}), "names no root or item"},
        {withItems({Item(1, "A", "folder", {{"childrenOf", ItemGuid(2)}}),
                    Item(2, "B", "folder", {{"childrenOf", RootGuid}})}),
         "has \"childrenOf\" itself"},
    };
    for (const auto& [description, expected] : cases)
        EXPECT_NE(ErrorOf(description).find(expected), std::string::npos)
            << description.dump() << " gave \"" << ErrorOf(description) << "\"";
}

class PublisherCommands : public ::testing::Test {
protected:
    PublisherCommands() : services(transcript, std::make_shared<HostSim::MainThread>()) {
        EXPECT_TRUE(services.Activate());
        table = services.MakeTable();
        token = services.GetHostToken();
        services.SetTokenPhase(HostServices::TokenPhase::Issued);
        services.GetState().project = HostSim::ParseProjectDescription(Description());
        transcript->AddMask(home.Path().string(), "<home>");
    }

    GSErrCode Command(const char (&code)[5], void* arg1, void* arg2 = nullptr) {
        return table.command(token, API_FourCharCode(code), arg1, arg2, nullptr, nullptr);
    }

    GSErrCode Children(const std::string& parent, GS::Array<API_NavigatorItem>& children) {
        API_NavigatorItem item;
        item.guid = ApiGuid(parent);
        item.mapId = API_PublisherSets;
        return Command("GNCI", &item, &children);
    }

    GSErrCode Publish(const std::string& set, const std::string& item, const std::filesystem::path& folder) {
        IO::Location location(GS::UniString(folder.string().c_str()));
        API_PublishPars params;
        params.guid = ApiGuid(set);
        params.path = &location;
        GS::Array<API_Guid> items;
        items.Push(ApiGuid(item));
        return Command("PUBL", &params, &items);
    }

    void PlanFaults(const json& faults) {
        services.GetState().publishFaults =
            HostSim::ParsePublishFaults(faults, services.GetState().project.publisherSets);
    }

    // The published lines' file lists, in order.
    Lines Published() const { return With(transcript->GetLines(), "published"); }
    Lines Errors() const { return With(transcript->GetLines(), "error"); }

    std::shared_ptr<HostSim::Transcript> transcript = std::make_shared<HostSim::Transcript>();
    HostServices services;
    API_HostFunctionTable table{};
    void* token = nullptr;
    TempFolder home;
};

TEST_F(PublisherCommands, SetsAreCountedAndReadByIndexIntoTheCallersRecord) {
    Int32 count = -1;
    ASSERT_EQ(Command("GNSN", &count), NoError);
    EXPECT_EQ(count, 2);
    API_NavigatorSet set;
    set.mapId = API_PublisherSets;
    Int32 index = 1;
    ASSERT_EQ(Command("GNSE", &set, &index), NoError);
    EXPECT_STREQ(set.name, "Other");
    EXPECT_EQ(set.guid, ApiGuid(OtherSetGuid));
    EXPECT_EQ(set.mapId, API_PublisherSets);
    for (Int32 outside : {-1, 2}) {
        API_NavigatorSet untouched;
        untouched.mapId = API_PublisherSets;
        EXPECT_EQ(Command("GNSE", &untouched, &outside), APIERR_BADPARS) << outside;
        EXPECT_EQ(untouched.guid, APINULLGuid);
    }
    EXPECT_TRUE(Errors().empty());
    API_NavigatorSet otherMap;
    index = 0;
    EXPECT_EQ(Command("GNSE", &otherMap, &index), APIERR_BADPARS) << "map 0 is not the publisher sets";
    EXPECT_EQ(Command("GNSN", nullptr), APIERR_BADPARS);
    EXPECT_EQ(Errors().size(), 2u);
}

TEST_F(PublisherCommands, ALongNarrowNameIsCutWholeCharactersFirst) {
    json description = Description();
    description["publisherSets"][0]["name"] = std::string(254, 'x') + "ä";
    services.GetState().project = HostSim::ParseProjectDescription(description);
    API_NavigatorSet set;
    set.mapId = API_PublisherSets;
    Int32 index = 0;
    ASSERT_EQ(Command("GNSE", &set, &index), NoError);
    EXPECT_EQ(std::string(set.name), std::string(254, 'x')) << "the two bytes of \"ä\" do not fit beside the zero";
}

TEST_F(PublisherCommands, ChildrenAreTheDirectOnesInOrderAndAnUnknownParentFails) {
    GS::Array<API_NavigatorItem> children;
    ASSERT_EQ(Children(RootGuid, children), NoError);
    ASSERT_EQ(children.GetSize(), 3u);
    EXPECT_EQ(children[1].uName, "Sheets/Details");
    EXPECT_EQ(children[1].guid, ApiGuid(ItemGuid(2)));
    EXPECT_EQ(children[1].itemType, API_FolderNavItem);
    EXPECT_EQ(children[2].mapId, API_PublisherSets);
    ASSERT_EQ(Children(ItemGuid(2), children), NoError);
    ASSERT_EQ(children.GetSize(), 2u) << "replaced, not appended to";
    EXPECT_EQ(children[0].itemType, API_LayoutNavItem);
    ASSERT_EQ(Children(ItemGuid(3), children), NoError);
    EXPECT_TRUE(children.IsEmpty()) << "a leaf has no children and that is no error";
    EXPECT_EQ(Children(SetGuid, children), APIERR_BADPARS) << "a set is no node of its tree";
    EXPECT_TRUE(Errors().empty());
}

TEST_F(PublisherCommands, PlannedFaultsHitOnlyTheirSetOrNode) {
    PlanFaults({{{"command", "GNCI"}, {"guid", ItemGuid(2)}}, {{"command", "GNSE"}, {"guid", OtherSetGuid}}});
    GS::Array<API_NavigatorItem> children;
    EXPECT_EQ(Children(RootGuid, children), NoError);
    EXPECT_EQ(Children(ItemGuid(2), children), APIERR_GENERAL);
    EXPECT_EQ(children.GetSize(), 3u) << "a failing query leaves the list alone";
    API_NavigatorSet set;
    set.mapId = API_PublisherSets;
    Int32 index = 1;
    EXPECT_EQ(Command("GNSE", &set, &index), APIERR_GENERAL);
    EXPECT_EQ(set.name[0], '\0');
    index = 0;
    EXPECT_EQ(Command("GNSE", &set, &index), NoError);
    const Lines lines = transcript->GetLines();
    EXPECT_EQ(Count(lines, json{{"failed", "GNCI"}, {"guid", ItemGuid(2)}}), 1);
    EXPECT_EQ(Count(lines, json{{"failed", "GNSE"}, {"guid", OtherSetGuid}}), 1);

    const auto errorOf = [this](const json& faults) -> std::string {
        try {
            PlanFaults(faults);
        } catch (const std::invalid_argument& e) {
            return e.what();
        }
        return "";
    };
    EXPECT_NE(errorOf({{{"command", "GNSN"}, {"guid", SetGuid}}}).find("\"command\""), std::string::npos);
    EXPECT_NE(errorOf({{{"command", "GNSE"}, {"guid", RootGuid}}}).find("names no publisher set"), std::string::npos);
    EXPECT_NE(errorOf({{{"command", "PUBL"}, {"guid", RootGuid}}}).find("names no item"), std::string::npos);
    EXPECT_NE(errorOf({{{"command", "GNCI"}, {"guid", RootGuid}, {"fault", "noFile"}}}).find("\"fault\""),
              std::string::npos);
    EXPECT_NE(errorOf({{{"command", "PUBL"}, {"guid", ItemGuid(1)}, {"when", 1}}}).find("\"when\""), std::string::npos);
    EXPECT_EQ(errorOf(json::array()), "");
    EXPECT_TRUE(services.GetState().publishFaults.empty()) << "an empty list clears the faults";
}

TEST_F(PublisherCommands, PublishingWritesRealFilesOfTheItemsFormatInASubfolder) {
    const std::filesystem::path out = home / "Out";
    std::filesystem::create_directories(out);
    ASSERT_EQ(Publish(SetGuid, ItemGuid(1), out), NoError);
    ASSERT_EQ(Publish(SetGuid, ItemGuid(5), out), NoError);
    ASSERT_EQ(Publish(SetGuid, ItemGuid(2), out), NoError) << "a folder publishes what it holds";
    const std::filesystem::path set = out / "Issue Set";
    EXPECT_EQ(Head(set / "Ground Floor.png", 8), "\x89PNG\r\n\x1a\n");
    EXPECT_EQ(Head(set / "North.pdf", 5), "%PDF-");
    EXPECT_EQ(Head(set / "Sheets_Details" / "A-101.pdf", 5), "%PDF-") << "a slash is no part of a file name";
    EXPECT_NE(Head(set / "Sheets_Details" / "Cut.dxf", 64).find("SECTION"), std::string::npos);
    const Lines published = Published();
    ASSERT_EQ(published.size(), 3u) << Dump(transcript->GetLines());
    EXPECT_EQ(published[0], json::parse(R"({"published": {"set": "Issue Set", "item": "Ground Floor",
        "files": ["<home>/Out/Issue Set/Ground Floor.png"]}})"));
    EXPECT_EQ(published[2]["published"]["files"],
              json({"<home>/Out/Issue Set/Sheets_Details/A-101.pdf", "<home>/Out/Issue Set/Sheets_Details/Cut.dxf"}));
    EXPECT_TRUE(Errors().empty()) << Dump(transcript->GetLines());
}

TEST_F(PublisherCommands, PublishingFailsWithoutItsFolderOrForAnItemOfAnotherSet) {
    const std::filesystem::path out = home / "Out";
    EXPECT_EQ(Publish(SetGuid, ItemGuid(1), out), APIERR_GENERAL) << "the output folder must be there";
    EXPECT_FALSE(std::filesystem::exists(out));
    std::filesystem::create_directories(out);
    EXPECT_EQ(Publish(OtherSetGuid, ItemGuid(1), out), APIERR_BADPARS);
    EXPECT_EQ(Publish(SetGuid, ItemGuid(99), out), APIERR_BADPARS);
    EXPECT_TRUE(std::filesystem::is_empty(out));
    EXPECT_TRUE(Published().empty());
    EXPECT_TRUE(Errors().empty());
    EXPECT_EQ(Command("PUBL", nullptr, nullptr), APIERR_BADPARS);
    EXPECT_EQ(Errors().size(), 1u);
}

TEST_F(PublisherCommands, PlannedPublishFaultsFailWriteNothingOrWriteTwoFiles) {
    const std::filesystem::path out = home / "Out";
    std::filesystem::create_directories(out);
    PlanFaults({{{"command", "PUBL"}, {"guid", ItemGuid(1)}},
                {{"command", "PUBL"}, {"guid", ItemGuid(5)}, {"fault", "noFile"}},
                {{"command", "PUBL"}, {"guid", ItemGuid(6)}, {"fault", "twoFiles"}}});
    EXPECT_EQ(Publish(SetGuid, ItemGuid(1), out), APIERR_GENERAL);
    EXPECT_EQ(Publish(SetGuid, ItemGuid(5), out), NoError);
    EXPECT_TRUE(std::filesystem::is_empty(out));
    ASSERT_EQ(Publish(OtherSetGuid, ItemGuid(6), out), NoError);
    EXPECT_EQ(Head(out / "Other" / "Only.pdf", 5), "%PDF-");
    EXPECT_EQ(Head(out / "Other" / "Only (2).pdf", 5), "%PDF-");
    const Lines lines = transcript->GetLines();
    EXPECT_EQ(Count(lines, json{{"failed", "PUBL"}, {"guid", ItemGuid(1)}}), 1);
    const Lines published = Published();
    ASSERT_EQ(published.size(), 2u) << Dump(lines);
    EXPECT_EQ(published[0]["published"]["files"], json::array());
    EXPECT_EQ(published[1]["published"]["files"].size(), 2u);
}

} // namespace
