#include "JobTestFixture.hpp"

#include "Transfer/TransferJobs.hpp"

#include <gmock/gmock.h>

#include <algorithm>
#include <atomic>
#include <latch>
#include <map>
#include <mutex>
#include <ostream>
#include <random>
#include <string>
#include <thread>
#include <vector>

using ServiceStandIn::Fault;
using ServiceStandIn::RequestRecord;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

PublishSetItem Item(const GS::UniString& path, const char* folderId, const char* key) {
    PublishSetItem item;
    item.filePath = path;
    item.folderId = folderId;
    item.key = key;
    return item;
}

// The document id the stand-in gave each uploaded file, by the file's name: "doc-<n>" for "upload-<n>.<ext>".
std::map<std::string, std::string> DocumentIdsByFileName(const std::vector<RequestRecord>& records) {
    std::map<std::string, std::string> ids;
    for (const RequestRecord& record : records) {
        if (record.status != 201) continue;
        const std::string stored = record.storedFile.stem().string();
        ids[record.partFileName] = "doc-" + stored.substr(stored.find('-') + 1);
    }
    return ids;
}

class PublishJobTest : public JobTest {
protected:
    GS::RunnableTask Job(UInt32 run, UIndex index, const PublishSetItem& item, const GS::UniString& token = "t") {
        return GS::NewOwned<ExportPublishSet>(reports, token, "project", run, index, item.folderId, item.filePath);
    }

    // Starts one job per item of the run, all together, as a publishing run does, and waits for their end.
    void PublishAll(UInt32 run, USize count, const GS::UniString& token = "tok") {
        const GS::Array<PublishSetItem> items = publishing->GetItems();
        for (UIndex i = 0; i < count; ++i)
            ASSERT_EQ(StartJob(Job(run, i, items[i], token), GS::UniString::Printf("exportPublishSet%u", i)), NoError);
        ASSERT_TRUE(WaitForJobs());
    }
};

TEST_F(PublishJobTest, ThreeItemsWithTheSecondFailingReportOnceAfterAllThree) {
    GS::Array<PublishSetItem> items;
    items.Push(Item(MakeFile("A-101.pdf", "a"), "folder-a", "k1"));
    items.Push(Item(Local("A-102.pdf"), "folder-b", "k2")); // never written: its upload fails
    items.Push(Item(MakeFile("A-103.pdf", "c"), "folder-c", "k3"));
    const UInt32 run = publishing->StartRun(items);

    PublishAll(run, 3);

    EXPECT_THAT(page.Scripts(), ElementsAre("CompleteExportPublish()"));
    EXPECT_EQ(publishing->GetUploadCounter(), 3u);
    const std::map<std::string, std::string> ids = DocumentIdsByFileName(server.Requests());
    ASSERT_EQ(ids.size(), 2u);
    const GS::Array<PublishSetItem> after = publishing->GetItems();
    ASSERT_EQ(after.GetSize(), 3u);
    EXPECT_TRUE(after[0].uploaded);
    EXPECT_EQ(after[0].documentId, GS::UniString(ids.at("A-101.pdf").c_str()));
    EXPECT_FALSE(after[1].uploaded) << "item two stays as it was";
    EXPECT_TRUE(after[1].documentId.IsEmpty());
    EXPECT_EQ(after[1].filePath, items[1].filePath);
    EXPECT_EQ(after[1].folderId, "folder-b");
    EXPECT_EQ(after[1].key, "k2");
    EXPECT_TRUE(after[2].uploaded);
    EXPECT_EQ(after[2].documentId, GS::UniString(ids.at("A-103.pdf").c_str()));
    EXPECT_NE(after[0].documentId, after[2].documentId);
}

TEST_F(PublishJobTest, EachJobUploadsItsOwnItemIntoItsFolder) {
    GS::Array<PublishSetItem> items;
    items.Push(Item(MakeFile("one.pdf", "1"), "f&1", "k1"));
    items.Push(Item(MakeFile("two.dwg", "22"), "f-2", "k2"));
    PublishAll(publishing->StartRun(items), 2, "tok-9");

    std::map<std::string, std::string> queries;
    for (const RequestRecord& record : server.Requests()) {
        queries[record.partFileName] = record.query;
        EXPECT_EQ(record.path, "/api/document");
        EXPECT_EQ(record.authorization, "bearer tok-9");
    }
    EXPECT_EQ(queries["one.pdf"], "folderId=f%261");
    EXPECT_EQ(queries["two.dwg"], "folderId=f-2");
}

TEST_F(PublishJobTest, AnAnswerWithAnIdMarksTheItemUploaded) {
    server.InjectFault(Fault::AnswerStatus(201, R"([{"id":"x"}])", "application/json"));
    GS::Array<PublishSetItem> items;
    items.Push(Item(MakeFile("a.pdf", "a"), "f", "k"));
    PublishAll(publishing->StartRun(items), 1);
    ASSERT_EQ(publishing->GetItems().GetSize(), 1u);
    EXPECT_TRUE(publishing->GetItems()[0].uploaded);
    EXPECT_EQ(publishing->GetItems()[0].documentId, "x");
    EXPECT_THAT(page.Scripts(), ElementsAre("CompleteExportPublish()"));
}

struct AnswerCase {
    int status;
    const char* body;
};

void PrintTo(const AnswerCase& c, std::ostream* os) {
    *os << c.status << " " << ::testing::PrintToString(std::string(c.body));
}

class PublishAnswerTest : public PublishJobTest, public ::testing::WithParamInterface<AnswerCase> {};

TEST_P(PublishAnswerTest, AnswersWithoutAnIdLeaveTheItemNotUploadedAndStillCount) {
    server.InjectFault(Fault::AnswerStatus(GetParam().status, GetParam().body, "application/json"));
    GS::Array<PublishSetItem> items;
    items.Push(Item(MakeFile("a.pdf", "a"), "f", "k"));
    PublishAll(publishing->StartRun(items), 1);
    EXPECT_FALSE(publishing->GetItems()[0].uploaded);
    EXPECT_TRUE(publishing->GetItems()[0].documentId.IsEmpty());
    EXPECT_EQ(publishing->GetUploadCounter(), 1u);
    EXPECT_THAT(page.Scripts(), ElementsAre("CompleteExportPublish()"));
}

INSTANTIATE_TEST_SUITE_P(Answers, PublishAnswerTest,
                         ::testing::Values(AnswerCase{200, "[]"}, AnswerCase{201, "created"},
                                           AnswerCase{201, R"([{"id":5}])"},
                                           AnswerCase{404, R"([{"id":"x"}])"})); // an id in an error answer

TEST_F(PublishJobTest, FailedTransfersAndRefusedRequestsStillCount) {
    GS::Array<PublishSetItem> items;
    items.Push(Item(MakeFile("a.pdf", "a"), "f", "k1"));
    items.Push(Item(MakeFile("b.pdf", "b"), "f\r\nX: y", "k2"));
    items.Push(Item(Local("c.pdf"), "f", "k3")); // never written
    server.InjectFault(Fault::DropHalfway());
    PublishAll(publishing->StartRun(items), 3);
    EXPECT_EQ(publishing->GetUploadCounter(), 3u);
    EXPECT_THAT(page.Scripts(), ElementsAre("CompleteExportPublish()"));
    ASSERT_EQ(server.RequestCount(), 2u) << "the never-written file made no request";
    for (const RequestRecord& record : server.Requests()) {
        if (record.partFileName == "b.pdf") {
            EXPECT_EQ(record.query, "folderId=f%0D%0AX%3A%20y") << "a line break in an id cannot split a header";
        }
    }
    for (const PublishSetItem& item : publishing->GetItems())
        EXPECT_FALSE(item.uploaded);
}

TEST_F(PublishJobTest, AJobOfAnEarlierRunNeitherWritesNorCounts) {
    GS::Array<PublishSetItem> items;
    items.Push(Item(MakeFile("a.pdf", "a"), "f", "k"));
    const UInt32 first = publishing->StartRun(items);
    GS::RunnableTask late = Job(first, 0, items[0]); // took its item from the first run
    const UInt32 second = publishing->StartRun(items);
    ASSERT_NE(first, second);

    RunToEnd(std::move(late), "exportPublishSet0");

    EXPECT_EQ(server.RequestCount(), 1u);
    EXPECT_EQ(publishing->GetUploadCounter(), 0u);
    EXPECT_FALSE(publishing->GetItems()[0].uploaded);
    EXPECT_THAT(page.Scripts(), IsEmpty());

    PublishAll(second, 1);
    EXPECT_TRUE(publishing->GetItems()[0].uploaded);
    EXPECT_THAT(page.Scripts(), ElementsAre("CompleteExportPublish()"));
}

TEST_F(PublishJobTest, WithoutAPaletteAJobDoesNotCount) {
    GS::Array<PublishSetItem> items;
    items.Push(Item(MakeFile("a.pdf", "a"), "f", "k"));
    GS::RunnableTask job = Job(publishing->StartRun(items), 0, items[0]);
    reports->Detach(); // the palette went
    RunToEnd(std::move(job), "exportPublishSet0");
    EXPECT_EQ(server.RequestCount(), 1u);
    EXPECT_THAT(page.Scripts(), IsEmpty());
}

// ---- The completion report under concurrency ----

TEST_F(PublishJobTest, CountsArrivingAtOnceReportExactlyOnceAfterTheLast) {
    GS::Array<PublishSetItem> items;
    for (int i = 0; i < 3; ++i)
        items.Push(Item("unused", "f", "k"));
    for (int round = 0; round < 200; ++round) {
        page.Clear();
        const UInt32 run = publishing->StartRun(items);
        std::latch start(3);
        std::vector<std::thread> jobs;
        for (int i = 0; i < 3; ++i)
            jobs.emplace_back([&] {
                start.arrive_and_wait();
                reports->CompleteExportPublish(run);
            });
        for (std::thread& job : jobs)
            job.join();
        ASSERT_EQ(page.Count("CompleteExportPublish()"), 1u) << "round " << round;
        ASSERT_EQ(publishing->GetUploadCounter(), 3u);
    }
    reports->CompleteExportPublish(publishing->StartRun(items) - 1);
    EXPECT_EQ(page.Count("CompleteExportPublish()"), 1u) << "a fourth count does not report the run again";
}

TEST_F(PublishJobTest, ThreeJobsEndingTogetherWithOneFailingReportOnce200Times) {
    GS::Array<PublishSetItem> items;
    items.Push(Item(MakeFile("a.pdf", "a"), "f", "k1"));
    items.Push(Item(MakeFile("b.pdf", "b"), "f", "k2"));
    items.Push(Item(MakeFile("c.pdf", "c"), "f", "k3"));
    for (int round = 0; round < 200; ++round) {
        page.Clear();
        server.ClearRequests();
        server.InjectFault(Fault::AnswerStatus(500, "busy"), 1); // whichever request comes first
        PublishAll(publishing->StartRun(items), 3);
        ASSERT_EQ(page.Count("CompleteExportPublish()"), 1u) << "round " << round;
        ASSERT_EQ(page.Scripts().size(), 1u);
        ASSERT_EQ(publishing->GetUploadCounter(), 3u);
        const GS::Array<PublishSetItem> after = publishing->GetItems();
        int uploaded = 0;
        for (const PublishSetItem& item : after)
            uploaded += item.uploaded ? 1 : 0;
        ASSERT_EQ(uploaded, 2) << "round " << round;
    }
}

TEST_F(PublishJobTest, SixtyFourJobsWithRandomFailuresReportOnceAndMarkExactlyTheUploadedItems) {
    constexpr UIndex JobCount = 64;
    GS::Array<GS::UniString> written;
    for (UIndex i = 0; i < JobCount; ++i)
        written.Push(MakeFile("item-" + std::to_string(i) + ".pdf", std::to_string(i)));
    // What the page would read at once when told that the run ended.
    std::mutex seenMutex;
    GS::Array<PublishSetItem> seenAtCompletion;
    const auto completion = std::make_shared<PageReports>(
        [&](const GS::UniString& script) {
            page.Record(script);
            std::lock_guard lock(seenMutex);
            seenAtCompletion = publishing->GetItems();
        },
        exchange, viewpoints, publishing);

    for (unsigned round = 0; round < 200; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        std::mt19937 random(round);
        // About one job in eight has no file and fails before any request; the service fails the first
        // `refused` requests that reach it, whichever jobs send them.
        GS::Array<PublishSetItem> items;
        std::size_t sendable = 0;
        for (UIndex i = 0; i < JobCount; ++i) {
            const bool absent = random() % 8 == 0;
            sendable += absent ? 0 : 1;
            const std::string key = "k" + std::to_string(i);
            items.Push(Item(absent ? Local("absent-" + std::to_string(i) + ".pdf") : written[i], "f", key.c_str()));
        }
        const std::size_t refused = random() % 24;
        server.ClearRequests();
        if (refused > 0) {
            server.InjectFault(Fault::AnswerStatus(500, "busy"), static_cast<int>(refused));
        } else {
            server.ClearFault();
        }
        page.Clear();

        const UInt32 run = publishing->StartRun(items);
        for (UIndex i = 0; i < JobCount; ++i)
            ASSERT_EQ(StartJob(GS::NewOwned<ExportPublishSet>(completion, "tok", "project", run, i, items[i].folderId,
                                                              items[i].filePath),
                               GS::UniString::Printf("exportPublishSet%u", i)),
                      NoError);
        ASSERT_TRUE(WaitForJobs());

        ASSERT_THAT(page.Scripts(), ElementsAre("CompleteExportPublish()"));
        ASSERT_EQ(publishing->GetUploadCounter(), JobCount);
        const std::vector<RequestRecord> requests = server.Requests();
        ASSERT_EQ(requests.size(), sendable);
        const std::map<std::string, std::string> ids = DocumentIdsByFileName(requests);
        ASSERT_EQ(ids.size(), sendable - std::min(refused, sendable));

        const GS::Array<PublishSetItem> after = publishing->GetItems();
        std::lock_guard lock(seenMutex);
        ASSERT_EQ(after.GetSize(), JobCount);
        ASSERT_EQ(seenAtCompletion.GetSize(), JobCount);
        for (UIndex i = 0; i < JobCount; ++i) {
            const auto id = ids.find("item-" + std::to_string(i) + ".pdf");
            const bool uploaded = id != ids.end() && items[i].filePath == written[i];
            ASSERT_EQ(after[i].uploaded, uploaded) << "item " << i;
            ASSERT_EQ(after[i].documentId, uploaded ? GS::UniString(id->second.c_str()) : GS::UniString());
            ASSERT_EQ(seenAtCompletion[i].uploaded, uploaded) << "item " << i << " was marked after the report";
            ASSERT_EQ(seenAtCompletion[i].documentId, after[i].documentId);
        }
    }
}

} // namespace
