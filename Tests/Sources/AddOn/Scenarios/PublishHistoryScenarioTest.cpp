// The publish record kept per service project: saved in one host run, loaded in another against the prepared
// documents still on disk.

#include "AddOnScenario.hpp"
#include "TempFolder.hpp"

#include <gtest/gtest.h>

#include <filesystem>

using namespace AddOnScenario;
namespace fs = std::filesystem;

namespace {

class PublishHistoryScenario : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(Prepared());
        for (const char* name : {"K1.pdf", "K2.png", "K1-old.dxf"})
            WriteFile(Prepared() / name, name);
    }

    Lines Run(const std::string& scenario) {
        HostSim::HostOptions options = Options();
        options.home = home.Path();
        return RunScenario("{\"menu\": 32500, \"item\": 1}\n" + scenario, options);
    }

    fs::path Prepared() const { return home / "Exchange" / "PreparePublish"; }

    fs::path HistoryFolder() const {
        std::error_code error;
        for (const auto& entry : fs::recursive_directory_iterator(home.Path(), error))
            if (entry.path().filename() == "Publish History") return entry.path();
        return home / "missing";
    }

    static std::string Set(const json& request) {
        return json{{"call", "SetPublishHistory"}, {"arg", request.is_string() ? request : json(request.dump())}}
                   .dump() +
               "\n";
    }
    static std::string Call(const char* function, const std::string& argument = "") {
        return json{{"call", function}, {"arg", argument}}.dump() + "\n";
    }

    // Items as a page keeps them: the stored path is stale on purpose.
    static std::string StoredItems() {
        return json::array({{{"filePath", "/elsewhere/K1.pdf"},
                             {"key", "K1"},
                             {"ext", "pdf"},
                             {"title", "Ground floor"},
                             {"docName", "GF"},
                             {"isLeaf", true}},
                            {{"key", "K3"}, {"title", "Gone"}, {"ext", "pdf"}},
                            {{"title", "No key"}, {"key", ""}},
                            {{"docName", "Sec"}, {"title", "Section"}, {"key", "K2"}, {"floor", "1"}}})
            .dump();
    }

    // The n-th answer of GetPublishItems, parsed.
    static json Record(const Lines& lines, std::size_t n) {
        const json answer = ResultOf(lines, "GetPublishItems", n);
        return answer.is_string() ? json::parse(answer.get<std::string>(), nullptr, false) : answer;
    }
    static json Record(const char* publishSet, const char* publishItems) {
        return json{{"publishSet", publishSet}, {"publishItems", publishItems}};
    }

    QuillmarTest::TempFolder home;
};

TEST_F(PublishHistoryScenario, ARecordComesBackInALaterRunRebuiltFromThePreparedFiles) {
    const Lines saved = Run(Set({{"projectId", "p1"}, {"publishSet", "Set A"}, {"publishItems", StoredItems()}}) +
                            Call("SavePublishHistory"));
    EXPECT_EQ(ResultOf(saved, "SavePublishHistory"), true);
    const json file = json::parse(ReadFile(HistoryFolder() / "p1.phs"));
    EXPECT_EQ(file, (json{{"publishSet", "Set A"}, {"publishItems", StoredItems()}})) << "the items as one string";

    const Lines loaded = Run(Call("GetPublishHistory", "p1") + Call("GetPublishItems", "p1"));
    const json record = Record(loaded, 0);
    EXPECT_EQ(ResultOf(loaded, "GetPublishItems").get<std::string>().rfind("{\"publishSet\":\"Set A\",", 0), 0u);
    // Items whose file has gone, or that name none, are dropped; the first listed name holding the key is taken;
    // keys come in the rebuilt order.
    const std::string expected =
        R"([{"filePath":"<home>/Exchange/PreparePublish/K1-old.dxf","key":"K1","title":"Ground floor","ext":"pdf",)"
        R"("isLeaf":true,"docName":"GF"},{"filePath":"<home>/Exchange/PreparePublish/K2.png","key":"K2",)"
        R"("title":"Section","docName":"Sec","floor":"1"}])";
    EXPECT_EQ(record["publishItems"], expected) << Dump(loaded);
}

TEST_F(PublishHistoryScenario, MissesAndUnreadableFilesLeaveTheRecordAsItWas) {
    const std::string k3Only = json::array({{{"key", "K3"}, {"title", "Gone"}}}).dump();
    const Lines saved =
        Run(Set({{"projectId", "gone"}, {"publishSet", "S"}, {"publishItems", k3Only}}) + Call("SavePublishHistory") +
            Set({{"projectId", ""}, {"publishItems", "[]"}}) + Call("SavePublishHistory") +
            Set({{"projectId", "../up"}, {"publishItems", "[]"}}) + Call("SavePublishHistory"));
    EXPECT_TRUE(fs::exists(HistoryFolder() / "gone.phs"));
    EXPECT_EQ(std::distance(fs::directory_iterator(HistoryFolder()), fs::directory_iterator()), 1)
        << "no file for an empty or unsafe project id";
    EXPECT_FALSE(fs::exists(HistoryFolder().parent_path() / "up.phs"));

    WriteFile(HistoryFolder() / "array.phs", "[1]");
    WriteFile(HistoryFolder() / "item.phs", json{{"publishSet", "S"}, {"publishItems", "[1]"}}.dump());
    WriteFile(HistoryFolder() / "untitled.phs",
              json{{"publishSet", "S"}, {"publishItems", R"([{"key": "K1"}])"}}.dump());
    WriteFile(HistoryFolder() / "numberSet.phs", json{{"publishSet", 1}, {"publishItems", R"([])"}}.dump());
    const Lines loaded =
        Run(Set({{"projectId", "mine"}, {"publishSet", "M"}, {"publishItems", "[]"}}) +
            Call("GetPublishHistory", "array") + Call("GetPublishHistory", "item") +
            Call("GetPublishHistory", "untitled") + Call("GetPublishHistory", "numberSet") +
            Call("GetPublishHistory", "none") + Set(json("[]")) + Set({{"projectId", 5}, {"publishItems", "[]"}}) +
            Set({{"projectId", "x"}, {"publishItems", "[]"}, {"publishSet", false}}) + Call("GetPublishItems", "mine") +
            // Every prepared file gone: the record still switches, with no items.
            Call("GetPublishHistory", "gone") + Call("GetPublishItems", "gone") + Call("GetPublishItems", "mine"));
    EXPECT_TRUE(With(loaded, "error").empty()) << "no \"Bad cast.\" or null pointer\n" << Dump(loaded);
    EXPECT_EQ(Record(loaded, 0), Record("M", "[]")) << Dump(loaded);
    EXPECT_EQ(Record(loaded, 1), Record("S", "[]"));
    EXPECT_EQ(ResultOf(loaded, "GetPublishItems", 2), "[]") << "the record belongs to another project now";
}

TEST_F(PublishHistoryScenario, TheRecordsOwnProjectIsNotReadAgain) {
    Run(Set({{"projectId", "p1"}, {"publishSet", "Old"}, {"publishItems", StoredItems()}}) +
        Call("SavePublishHistory"));
    WriteFile(HistoryFolder() / "p1.phs", json{{"publishSet", "New"}, {"publishItems", StoredItems()}}.dump());
    const Lines lines = Run(Set({{"projectId", "p1"}, {"publishSet", "Page"}, {"publishItems", "[]"}}) +
                            Call("GetPublishHistory", "p1") + Call("GetPublishItems", "p1") +
                            Set({{"projectId", "p1"}, {"publishItems", "[1]"}}) + Call("GetPublishItems", "p1"));
    EXPECT_EQ(Record(lines, 0), Record("Page", "[]")) << Dump(lines);
    // Without "publishSet" the record keeps its own; the items are taken unchecked.
    EXPECT_EQ(Record(lines, 1), Record("Page", "[1]"));
}

} // namespace
