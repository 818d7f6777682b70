// A publishing run as the page drives it: items of a publisher set published into prepared documents, copied under
// the page's document names, uploaded into service folders and kept in the publish history for a later host run.

#include "ViewpointScenario.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <set>

using namespace ViewpointScenario;
namespace fs = std::filesystem;

namespace {

using ordered = nlohmann::ordered_json;

const std::string IssueSet = "{5E700001-0000-4000-8000-000000000001}";
const std::string IssueRoot = "{5E700001-0000-4000-8000-0000000000F0}";
const char* const PublishingEnglish = "Now Archicad is going to publish the some items.It will take several minutes.";
const char* const PublishingGerman = "Jetzt wird Archicad einige Artikel veröffentlichen.Es dauert einige Minuten.";

std::string ItemGuid(int n) {
    char text[40];
    std::snprintf(text, sizeof text, "{1E000000-0000-4000-8000-%012X}", n);
    return text;
}

std::string Call(const char* function, const json& argument = "") {
    return json{{"call", function}, {"arg", argument.is_string() ? argument : json(argument.dump())}}.dump() + "\n";
}

std::string ClickOk() {
    return "{\"answer\": {\"dialog\": [{\"click\": 1}]}}\n";
}

std::string Prepare(const std::string& projectId, const ordered& items) {
    const ordered request{{"guid", IssueSet},
                          {"projectId", projectId},
                          {"publishSet", "{\"title\":\"Issue Set\"}"},
                          {"publishItems", items}};
    return Call("PreparePublishDocs", request.dump());
}

// The parsed text of a call's result, keys in the order written; a marker when it is no JSON text.
ordered Parsed(const json& result) {
    if (!result.is_string()) return ordered("no text result");
    return ordered::parse(result.get<std::string>(), nullptr, false);
}

// The rows of the publish report dialogs, one list per dialog, and their report lines.
std::vector<json> ReportRows(const Lines& lines, std::vector<std::string>* reportLines) {
    std::vector<json> rows;
    for (const json& line : With(lines, "dialog")) {
        if (line["dialog"]["id"] != 32520) continue;
        for (const json& item : line["dialog"]["items"]) {
            if (item["item"] == 2) reportLines->push_back(item.value("text", ""));
            if (item["item"] == 3) rows.push_back(item["rows"]);
        }
    }
    return rows;
}

long Alerts(const Lines& lines, const char* text) {
    long count = 0;
    for (const json& line : With(lines, "alert"))
        count += line["alert"]["large"] == text ? 1 : 0;
    return count;
}

class PublishRunScenario : public Fixture {
protected:
    Lines PlayPublish(const std::string& lines) {
        HostSim::HostOptions options = OptionsInHome(QUILLMAR_ADDON_PATH);
        options.project = PUBLISH_PROJECT_PATH;
        return RunScenario("{\"menu\": 32500, \"item\": 1}\n" + lines, options);
    }

    fs::path Prepared() const { return home / "Exchange" / "PreparePublish"; }

    // A prepared item as the add-on answers it, with the file's path as the transcript writes it.
    static ordered PreparedItem(const std::string& key, const std::string& ext, const ordered& element) {
        ordered item{{"filePath", "<home>/Exchange/PreparePublish/" + key + "." + ext},
                     {"key", key},
                     {"ext", ext},
                     {"title", element["title"]}};
        for (const char* passed : {"isLeaf", "folder", "isImport", "docName", "discipline", "building", "floor"})
            if (element.contains(passed)) item[passed] = element[passed];
        return item;
    }

    // The item as the page hands it back for the upload: the real path, its document name and folder.
    ordered ForUpload(ordered item, const std::string& docName, const std::string& folder) const {
        std::string path = item["filePath"];
        item["filePath"] = (home / path.substr(std::string("<home>/").size())).string();
        item["docName"] = docName;
        item["folder"] = folder;
        return item;
    }

    static std::string Upload(const ordered& items) {
        return Call("HandlePublishSets",
                    ordered{{"projectId", "p-9"}, {"token", "tok-5"}, {"publishItems", items}}.dump());
    }

    static std::string Uploaded() { return "{\"wait\": \"CompleteExportPublish()\", \"timeout\": 30}\n"; }
};

TEST_F(PublishRunScenario, ItemsArePreparedUploadedRememberedAndServedFromThePreparedFilesLater) {
    const ordered ground{
        {"key", ItemGuid(1)}, {"title", "Ground Floor"}, {"floor", "0"}, {"isLeaf", true}, {"discipline", "Arch"}};
    const ordered plan{{"key", ItemGuid(3)}, {"title", "A-101 Plan"}, {"isLeaf", true}};
    const ordered section{{"isImport", false}, {"key", ItemGuid(5)}, {"title", "Schnitt Ä–Ω 東京 😀"},
                          {"building", "B1"},  {"isLeaf", true},     {"folder", "preset"}};
    const ordered north{{"key", ItemGuid(7)}, {"title", "North"}, {"docName", "N"}, {"isLeaf", true}};
    const ordered request = ordered::array({ground, plan, section, north});
    const ordered prepared =
        ordered::array({PreparedItem(ItemGuid(1), "png", ground), PreparedItem(ItemGuid(5), "dxf", section),
                        PreparedItem(ItemGuid(7), "pdf", north)});
    const ordered uploads =
        ordered::array({ForUpload(prepared[0], "Ground floor", "f-1"), ForUpload(prepared[1], "Schnitt 東京", "f-2"),
                        ForUpload(prepared[2], "North", "f-3")});
    const std::vector<std::string> copies = {"Ground floor.png", "Schnitt 東京.dxf", "North.pdf"};

    const Lines first = PlayPublish(
        Call("GetPublishSetHeaders") + Call("GetPublishSetItems", json{{"rootGuid", IssueRoot}}) +
        json{{"host", {{"publishFaults", {{{"command", "PUBL"}, {"guid", ItemGuid(3)}}}}}}}.dump() + "\n" + ClickOk() +
        Prepare("p-9", request) + "{\"service\": {\"answer\": {\"status\": 500, \"body\": \"busy\"}, \"count\": 1}}\n" +
        Upload(uploads) + Uploaded() + Call("CompleteExportPublish") + Call("SavePublishHistory"));
    ASSERT_TRUE(With(first, "error").empty()) << Dump(first);
    EXPECT_EQ(Parsed(ResultOf(first, "GetPublishSetHeaders"))[0]["guid"], IssueSet);
    EXPECT_EQ(Parsed(ResultOf(first, "GetPublishSetItems"))[1]["children"][2]["key"], ItemGuid(5));

    // Preparation: the alert, one publish per item into its position's folder, the failed one reported at the end.
    EXPECT_EQ(Parsed(ResultOf(first, "PreparePublishDocs")), prepared) << Dump(first);
    EXPECT_EQ(Alerts(first, PublishingEnglish), 1);
    const Lines published = With(first, "published");
    ASSERT_EQ(published.size(), 3u);
    EXPECT_EQ(published[0]["published"]["files"],
              json::array({"<home>/Exchange/TempPublish/0/Issue Set/Ground Floor.png"}));
    EXPECT_EQ(published[2]["published"]["files"], json::array({"<home>/Exchange/TempPublish/3/Issue Set/North.pdf"}));
    EXPECT_FALSE(fs::exists(home / "Exchange" / "TempPublish" / "0" / "Issue Set" / "Ground Floor.png")) << "moved";
    std::vector<std::string> reportLines;
    EXPECT_EQ(ReportRows(first, &reportLines), std::vector<json>{json::array({json::array({"A-101 Plan"})})});
    EXPECT_EQ(reportLines, std::vector<std::string>{"The following Items could not be published."});
    const long report = IndexOf(first, json{{"dialogClosed", {{"title", "Quillmar"}, {"response", "accept"}}}});
    EXPECT_GT(report, IndexOf(first, published[2])) << "reported after the last item";

    // Upload: one request per copy with both headers and the prepared bytes; the service fails the first to reach
    // it, whichever item that is.
    EXPECT_EQ(Count(first, json{{"page", "CompleteExportPublish()"}}), 1);
    EXPECT_EQ(Count(first, json{{"page", "FailedExportPublish()"}}), 0);
    const std::vector<ServiceStandIn::RequestRecord> requests = service.Requests();
    ASSERT_EQ(requests.size(), 3u);
    std::map<std::string, std::string> documentIds; // by copy name, for the uploads that succeeded
    for (const ServiceStandIn::RequestRecord& record : requests) {
        EXPECT_EQ(record.clientId, "Quillmar Plugin Archicad");
        EXPECT_EQ(record.authorization, "bearer tok-5");
        const auto copy = std::find(copies.begin(), copies.end(), record.partFileName);
        ASSERT_NE(copy, copies.end()) << record.partFileName;
        const std::size_t i = static_cast<std::size_t>(copy - copies.begin());
        EXPECT_EQ(record.query, "folderId=f-" + std::to_string(i + 1));
        const std::string bytes = ReadFile(uploads[i]["filePath"].get<std::string>());
        EXPECT_EQ(record.size, bytes.size());
        if (record.status != 201) continue;
        EXPECT_EQ(ReadFile(record.storedFile), bytes);
        const std::string stored = record.storedFile.stem().string();
        documentIds[record.partFileName] = "doc-" + stored.substr(stored.find('-') + 1);
    }
    EXPECT_EQ(std::count_if(requests.begin(), requests.end(), [](const auto& r) { return r.status == 500; }), 1);
    ordered expectedDocuments = ordered::object();
    for (std::size_t i = 0; i < copies.size(); ++i)
        if (documentIds.contains(copies[i]))
            expectedDocuments[uploads[i]["key"].get<std::string>()] = documentIds[copies[i]];
    ASSERT_EQ(expectedDocuments.size(), 2u);
    EXPECT_EQ(Parsed(ResultOf(first, "CompleteExportPublish")), expectedDocuments) << "in list order";
    std::set<std::string> inPublish;
    for (const fs::directory_entry& entry : fs::directory_iterator(home / "Exchange" / "Publish"))
        inPublish.insert(entry.path().filename().string());
    EXPECT_EQ(inPublish, std::set<std::string>(copies.begin(), copies.end()));

    // A later host run on the same home: the history gives the items back, and a new preparation publishes nothing.
    ordered rebuilt = ordered::array();
    for (const ordered& item : prepared) {
        ordered kept{{"filePath", item["filePath"]}, {"key", item["key"]}, {"title", item["title"]}};
        for (const char* key : {"ext", "isLeaf", "folder", "isImport", "docName", "discipline", "building", "floor"})
            if (item.contains(key)) kept[key] = item[key];
        rebuilt.push_back(kept);
    }
    const Lines second = PlayPublish(Call("GetPublishHistory", "p-9") + Call("GetPublishItems", "p-9") +
                                     Prepare("p-9", ordered::array({ground, section, north})));
    const ordered record = Parsed(ResultOf(second, "GetPublishItems"));
    EXPECT_EQ(record.value("publishSet", ""), "{\"title\":\"Issue Set\"}") << Dump(second);
    EXPECT_EQ(Parsed(json(record.value("publishItems", std::string("missing")))), rebuilt);
    EXPECT_EQ(Parsed(ResultOf(second, "PreparePublishDocs")), prepared);
    EXPECT_TRUE(With(second, "published").empty()) << Dump(second);
    EXPECT_TRUE(With(second, "dialog").empty());
}

TEST_F(PublishRunScenario, PreparationTakesTheFirstCachedFileAndFailsUnsafeKeysUnreadableItemsAndHostFailures) {
    fs::create_directories(Prepared());
    WriteFile(Prepared() / (ItemGuid(1) + ".dxf"), "cached dxf");
    WriteFile(Prepared() / (ItemGuid(1) + ".png"), "cached png");
    const ordered cached{{"key", ItemGuid(1)}, {"title", "Ground Floor"}, {"docName", "GF"}};
    ordered unsafe = ordered::array({cached});
    std::vector<std::string> unsafeTitles;
    for (const char* key : {".", "..", "../Exchange", "a/b", "C:", "x\r\ny", ""}) {
        unsafeTitles.push_back(std::string("key ") + key);
        unsafe.push_back(ordered{{"key", key}, {"title", unsafeTitles.back()}, {"isLeaf", true}});
    }
    const ordered section{{"key", ItemGuid(5)}, {"title", "Schnitt"}, {"isLeaf", true}};
    const ordered stringLeaf{{"key", ItemGuid(7)}, {"title", "North"}, {"isLeaf", "yes"}};
    const ordered failing = ordered::array({ordered{{"key", ItemGuid(3)}, {"title", "Plan"}},
                                            ordered{{"key", ItemGuid(5)}, {"title", "Schnitt"}},
                                            ordered{{"key", ItemGuid(7)}, {"title", "North"}}});

    const Lines lines =
        PlayPublish(ClickOk() + Prepare("p-1", unsafe) + Prepare("p-2", ordered::array({section, stringLeaf})) +
                    Call("GetPublishItems", "p-2") + Call("PreparePublishDocs", "[1]") +
                    "{\"host\": {\"language\": \"GER\", \"fail\": [\"PUBL\"]}}\n" + ClickOk() +
                    Prepare("p-3", failing) + Call("GetPublishItems", "p-3"));
    EXPECT_TRUE(With(lines, "error").empty()) << "no \"Bad cast.\"\n" << Dump(lines);

    // The first name holding the key in listing order serves the item, with its extension; no "isLeaf" is added.
    EXPECT_EQ(Parsed(ResultOf(lines, "PreparePublishDocs", 0)),
              ordered::array({PreparedItem(ItemGuid(1), "dxf", cached)}))
        << Dump(lines);
    // An item of the wrong type spoils the whole request before anything is published.
    EXPECT_EQ(ResultOf(lines, "PreparePublishDocs", 1), "");
    EXPECT_EQ(ResultOf(lines, "GetPublishItems", 0), "[]") << "the record was reset";
    EXPECT_EQ(ResultOf(lines, "PreparePublishDocs", 2), "");
    EXPECT_TRUE(With(lines, "published").empty()) << Dump(lines);
    EXPECT_EQ(Count(lines, json{{"failed", "PUBL"}}), 3);
    std::set<std::string> inPrepared;
    for (const fs::directory_entry& entry : fs::directory_iterator(Prepared()))
        inPrepared.insert(entry.path().filename().string());
    EXPECT_EQ(inPrepared, (std::set<std::string>{ItemGuid(1) + ".dxf", ItemGuid(1) + ".png"}));

    // Every item failing: an empty list, the record set with it, every title in the German report.
    EXPECT_EQ(ResultOf(lines, "PreparePublishDocs", 3), "[]");
    EXPECT_EQ(Parsed(ResultOf(lines, "GetPublishItems", 1)),
              (ordered{{"publishSet", "{\"title\":\"Issue Set\"}"}, {"publishItems", "[]"}}));
    std::vector<std::string> reportLines;
    json unsafeRows = json::array();
    for (const std::string& title : unsafeTitles)
        unsafeRows.push_back(json::array({title}));
    EXPECT_EQ(ReportRows(lines, &reportLines),
              (std::vector<json>{unsafeRows, json::parse(R"([["Plan"], ["Schnitt"], ["North"]])")}));
    EXPECT_EQ(reportLines, (std::vector<std::string>{"The following Items could not be published.",
                                                     "Die folgenden Artikel konnten nicht veroeffentlicht werden."}));
    EXPECT_EQ(Alerts(lines, PublishingEnglish), 3);
    EXPECT_EQ(Alerts(lines, PublishingGerman), 1);
}

TEST_F(PublishRunScenario, UploadsOnlyPreparedFilesUnderPlainNamesAndFailsWhenNoneIsLeft) {
    fs::create_directories(Prepared());
    WriteFile(Prepared() / (ItemGuid(1) + ".png"), "ground floor bytes");
    WriteFile(Prepared() / (ItemGuid(5) + ".dxf"), "section bytes");
    WriteFile(home / "secret.pdf", "not for the service");
    fs::create_symlink(home / "secret.pdf", Prepared() / "link.pdf");
    const auto element = [](const std::string& key, const std::string& docName, const std::string& ext,
                            const fs::path& file) {
        return ordered{{"key", key}, {"docName", docName}, {"ext", ext}, {"filePath", file.string()}, {"folder", "f"}};
    };
    const fs::path ground = Prepared() / (ItemGuid(1) + ".png");
    // Elements that must not leave the folders or read another file than a prepared one.
    const ordered outside = ordered::array({
        element("k-home", "Secret", "pdf", home / "secret.pdf"),
        element("k-link", "Link", "pdf", Prepared() / "link.pdf"),
        element("k-up", "Up", "pdf", Prepared() / ".." / ".." / "secret.pdf"),
        element("k-folder", "Folder", "pdf", Prepared()),
        element("k-doc", "../Escaped", "png", ground),
        element("k-ext", "Escaped", "png/../../x", ground),
        element("k-empty", "", "png", ground),
        element("k-colon", "C:Escaped", "png", ground),
        ordered{{"key", "k-number"}, {"docName", 5}, {"ext", "png"}, {"filePath", ground.string()}, {"folder", "f"}},
        ordered(5),
    });
    ordered mixed = ordered::array({element(ItemGuid(1), "Plan A", "png", ground),
                                    element(ItemGuid(5), "Plan A", "png", Prepared() / (ItemGuid(5) + ".dxf"))});
    for (const ordered& unsafe : outside)
        mixed.push_back(unsafe);

    const Lines lines = PlayPublish(Upload(mixed) + Uploaded() + Call("CompleteExportPublish") + Upload(outside) +
                                    Call("CompleteExportPublish") + Call("HandlePublishSets", "not json") +
                                    "{\"host\": {\"fail\": [\"threadStart\"]}}\n" + Upload(ordered::array({mixed[0]})) +
                                    Call("CompleteExportPublish"));
    EXPECT_TRUE(With(lines, "error").empty()) << Dump(lines);

    // Only the first of the two copies named "Plan A.png" is uploaded, with its own bytes.
    const std::vector<ServiceStandIn::RequestRecord> requests = service.Requests();
    ASSERT_EQ(requests.size(), 1u) << Dump(lines);
    EXPECT_EQ(requests[0].partFileName, "Plan A.png");
    EXPECT_EQ(ReadFile(requests[0].storedFile), "ground floor bytes");
    const ordered documents = Parsed(ResultOf(lines, "CompleteExportPublish", 0));
    ASSERT_EQ(documents.size(), 1u) << Dump(lines);
    EXPECT_TRUE(documents.contains(ItemGuid(1)));
    EXPECT_EQ(Count(lines, json{{"page", "CompleteExportPublish()"}}), 2) << "a job that cannot start still counts";
    EXPECT_EQ(ResultOf(lines, "CompleteExportPublish", 2), "{}");

    // No element left: the run fails at once and replaces the earlier run's documents.
    EXPECT_EQ(Count(lines, json{{"page", "FailedExportPublish()"}}), 2);
    EXPECT_EQ(ResultOf(lines, "CompleteExportPublish", 1), "{}");
    for (const fs::path& escaped :
         {home / "Escaped.png", home / "Exchange" / "Escaped.png", home / "x", home / "Exchange" / "x"})
        EXPECT_FALSE(fs::exists(escaped)) << escaped;
    EXPECT_EQ(ReadFile(home / "secret.pdf"), "not for the service");
}

} // namespace
