#include "JobTestFixture.hpp"

#include "QuillmarPalette.hpp"
#include "Transfer/TransferJobs.hpp"

#include <gmock/gmock.h>

#include <atomic>
#include <latch>
#include <map>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

using ServiceStandIn::Fault;
using ServiceStandIn::RequestRecord;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

QuillmarPalette& Palette() {
    return QuillmarPalette::GetInstance();
}

PublishSetItem Item(const GS::UniString& path, const char* folderId, const char* key) {
    PublishSetItem item;
    item.filePath = path;
    item.folderId = folderId;
    item.key = key;
    return item;
}

GS::Array<PublishSetItem> PublishItems() {
    GS::Array<PublishSetItem> copy;
    Palette().WithPublishItems([&](GS::Array<PublishSetItem>& items) { copy = items; });
    return copy;
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
    // Starts one job per item of the run, all together, as a publishing run does, and waits for their end.
    void PublishAll(UInt32 run, USize count, const GS::UniString& token = "tok") {
        for (UIndex i = 0; i < count; ++i)
            ASSERT_EQ(StartJob(GS::NewOwned<ExportPublishSet>(token, "project", i, run),
                               GS::UniString::Printf("exportPublishSet%u", i)),
                      NoError);
        ASSERT_TRUE(WaitForJobs());
    }
};

TEST_F(PublishJobTest, ThreeItemsWithTheSecondFailingReportOnceAfterAllThree) {
    GS::Array<PublishSetItem> items;
    items.Push(Item(MakeFile("A-101.pdf", "a"), "folder-a", "k1"));
    items.Push(Item(Local("A-102.pdf"), "folder-b", "k2")); // never written: its upload fails
    items.Push(Item(MakeFile("A-103.pdf", "c"), "folder-c", "k3"));
    const UInt32 run = Palette().StartPublishRun(items);

    PublishAll(run, 3);

    EXPECT_THAT(page.Scripts(), ElementsAre("CompleteExportPublish()"));
    EXPECT_EQ(Palette().GetPublishUploadCounter(), 3u);
    const std::map<std::string, std::string> ids = DocumentIdsByFileName(server.Requests());
    ASSERT_EQ(ids.size(), 2u);
    const GS::Array<PublishSetItem> after = PublishItems();
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
    PublishAll(Palette().StartPublishRun(items), 2, "tok-9");

    std::map<std::string, std::string> queries;
    for (const RequestRecord& record : server.Requests()) {
        queries[record.partFileName] = record.query;
        EXPECT_EQ(record.path, "/api/document");
        EXPECT_EQ(record.authorization, "bearer tok-9");
    }
    EXPECT_EQ(queries["one.pdf"], "folderId=f&1");
    EXPECT_EQ(queries["two.dwg"], "folderId=f-2");
}

TEST_F(PublishJobTest, AnAnswerWithAnIdMarksTheItemUploaded) {
    server.InjectFault(Fault::AnswerStatus(201, R"([{"id":"x"}])", "application/json"));
    GS::Array<PublishSetItem> items;
    items.Push(Item(MakeFile("a.pdf", "a"), "f", "k"));
    PublishAll(Palette().StartPublishRun(items), 1);
    ASSERT_EQ(PublishItems().GetSize(), 1u);
    EXPECT_TRUE(PublishItems()[0].uploaded);
    EXPECT_EQ(PublishItems()[0].documentId, "x");
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
    PublishAll(Palette().StartPublishRun(items), 1);
    EXPECT_FALSE(PublishItems()[0].uploaded);
    EXPECT_TRUE(PublishItems()[0].documentId.IsEmpty());
    EXPECT_EQ(Palette().GetPublishUploadCounter(), 1u);
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
    items.Push(Item(MakeFile("c.pdf", "c"), "f 3", "k3")); // no valid address: libcurl refuses it
    server.InjectFault(Fault::DropHalfway());
    PublishAll(Palette().StartPublishRun(items), 3);
    EXPECT_EQ(Palette().GetPublishUploadCounter(), 3u);
    EXPECT_THAT(page.Scripts(), ElementsAre("CompleteExportPublish()"));
    EXPECT_EQ(server.RequestCount(), 1u) << "only the first request reached the server";
    for (const PublishSetItem& item : PublishItems())
        EXPECT_FALSE(item.uploaded);
}

TEST_F(PublishJobTest, AJobOfAnEarlierRunNeitherWritesNorCounts) {
    GS::Array<PublishSetItem> items;
    items.Push(Item(MakeFile("a.pdf", "a"), "f", "k"));
    const UInt32 first = Palette().StartPublishRun(items);
    GS::RunnableTask late = GS::NewOwned<ExportPublishSet>("t", "p", 0, first); // took its item from the first run
    const UInt32 second = Palette().StartPublishRun(items);
    ASSERT_NE(first, second);

    RunToEnd(std::move(late), "exportPublishSet0");

    EXPECT_EQ(server.RequestCount(), 1u);
    EXPECT_EQ(Palette().GetPublishUploadCounter(), 0u);
    EXPECT_FALSE(PublishItems()[0].uploaded);
    EXPECT_THAT(page.Scripts(), IsEmpty());

    PublishAll(second, 1);
    EXPECT_TRUE(PublishItems()[0].uploaded);
    EXPECT_THAT(page.Scripts(), ElementsAre("CompleteExportPublish()"));
}

TEST_F(PublishJobTest, WithoutAPaletteAJobDoesNotCount) {
    GS::Array<PublishSetItem> items;
    items.Push(Item(MakeFile("a.pdf", "a"), "f", "k"));
    GS::RunnableTask job = GS::NewOwned<ExportPublishSet>("t", "p", 0, Palette().StartPublishRun(items));
    QuillmarPalette::DestroyInstance();
    keepRequestsAtStart -= 1; // the palette's request went with it
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
        const UInt32 run = Palette().StartPublishRun(items);
        std::latch start(3);
        std::vector<std::thread> jobs;
        for (int i = 0; i < 3; ++i)
            jobs.emplace_back([&] {
                start.arrive_and_wait();
                Palette().CompleteExportPublish(run);
            });
        for (std::thread& job : jobs)
            job.join();
        ASSERT_EQ(page.Count("CompleteExportPublish()"), 1u) << "round " << round;
        ASSERT_EQ(Palette().GetPublishUploadCounter(), 3u);
    }
    Palette().CompleteExportPublish();
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
        PublishAll(Palette().StartPublishRun(items), 3);
        ASSERT_EQ(page.Count("CompleteExportPublish()"), 1u) << "round " << round;
        ASSERT_EQ(page.Scripts().size(), 1u);
        ASSERT_EQ(Palette().GetPublishUploadCounter(), 3u);
        const GS::Array<PublishSetItem> after = PublishItems();
        int uploaded = 0;
        for (const PublishSetItem& item : after)
            uploaded += item.uploaded ? 1 : 0;
        ASSERT_EQ(uploaded, 2) << "round " << round;
    }
}

} // namespace
