#include "ServiceClient.hpp"

#include <gmock/gmock.h>

#include <future>
#include <thread>

using namespace std::chrono_literals;
using ServiceStandIn::Fault;
using ServiceStandIn::FaultKind;
using ServiceStandIn::RequestRecord;
using ::testing::HasSubstr;

namespace {

using ServiceFaultTest = ServerTest;

TEST_F(ServiceFaultTest, StatusFaultAnswersForTheNextRequestsOnlyAndKeepsNothing) {
    server.AddResource("r", "bytes");
    server.InjectFault(Fault::AnswerStatus(404, "not here"), 2);

    const Reply upload = Upload("/document?folderId=1", "data");
    const Reply download = Perform(Call{Url("/resource/r")});
    const Reply normal = Upload("/document?folderId=1", "data");

    EXPECT_EQ(upload.status, 404);
    EXPECT_EQ(upload.body, "not here");
    EXPECT_EQ(download.status, 404);
    EXPECT_EQ(normal.status, 201);
    const std::vector<RequestRecord> records = server.Requests();
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].fault, FaultKind::Status);
    EXPECT_EQ(records[0].status, 404);
    EXPECT_TRUE(records[0].storedFile.empty());
    EXPECT_EQ(records[2].fault, FaultKind::None);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(storage), {}), 1);
}

TEST_F(ServiceFaultTest, FaultWithoutCountHoldsUntilClearedOrReplaced) {
    server.InjectFault(Fault::AnswerStatus(503, "{\"busy\":true}", "application/json"));
    for (int i = 0; i < 3; ++i) {
        const Reply reply = Upload("/resource", "data");
        EXPECT_EQ(reply.status, 503);
        EXPECT_TRUE(reply.HasHeaderLine("Content-Type: application/json"));
    }
    server.InjectFault(Fault::AnswerStatus(500, "once"), 1);
    EXPECT_EQ(Upload("/resource", "data").status, 500);
    EXPECT_EQ(Upload("/resource", "data").status, 201);

    server.InjectFault(Fault::AnswerStatus(503, "busy"));
    server.ClearFault();
    EXPECT_EQ(Upload("/resource", "data").status, 201);
}

TEST_F(ServiceFaultTest, RedirectedUploadIsFollowedAndKeptOnceUnderTheMovedPath) {
    const std::string content = PatternBytes(3u << 20);
    Call call{Url("/document?folderId=f1"), "POST"};
    call.parts.push_back(Part::FromFile(WriteFile("m.ifc", content)));
    server.InjectFault(Fault::Redirect(307)); // the moved path itself is never redirected

    const Reply reply = Perform(call);

    ASSERT_EQ(reply.code, CURLE_OK);
    EXPECT_EQ(reply.status, 201);
    const std::vector<RequestRecord> records = server.Requests();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].status, 307);
    EXPECT_TRUE(records[0].storedFile.empty());
    EXPECT_EQ(records[1].path, "/moved/api/document");
    EXPECT_EQ(records[1].query, "folderId=f1");
    EXPECT_EQ(records[1].fault, FaultKind::None);
    EXPECT_TRUE(ReadFile(records[1].storedFile) == content);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(storage), {}), 1);
}

TEST_F(ServiceFaultTest, RedirectedDownloadIsFollowedAndAnUnfollowedOneShowsItsLocation) {
    server.AddResource("r", "resource bytes");
    server.AddResource("other", "other bytes");
    server.InjectFault(Fault::Redirect(302), 1);
    const Reply followed = Perform(Call{Url("/resource/r")});
    server.InjectFault(Fault::Redirect(302, "/api/resource/other"), 2);
    Call unfollowed{Url("/resource/r")};
    unfollowed.followRedirects = false;
    const Reply shown = Perform(unfollowed);
    const Reply elsewhere = Perform(Call{Url("/resource/r")}); // the second counted redirect, followed

    EXPECT_EQ(followed.status, 200);
    EXPECT_EQ(followed.body, "resource bytes");
    EXPECT_EQ(server.Requests().at(1).path, "/moved/api/resource/r");
    EXPECT_EQ(shown.status, 302);
    EXPECT_TRUE(shown.HasHeaderLine("Location: /api/resource/other"));
    EXPECT_EQ(elsewhere.status, 200);
    EXPECT_EQ(elsewhere.body, "other bytes");
}

TEST_F(ServiceFaultTest, RedirectKeepingTheTargetPointsElsewhereOrBackAtItself) {
    server.AddResource("r", "bytes");
    server.InjectFault(Fault::RedirectKeepingTarget(307, "http://127.0.0.2:9"), 1);
    Call elsewhere{Url("/resource/r?a=%201")};
    elsewhere.followRedirects = false;
    const Reply other = Perform(elsewhere);
    server.InjectFault(Fault::RedirectKeepingTarget(308, ""));
    Call loop{Url("/resource/r")};
    loop.followRedirects = false;
    const Reply itself = Perform(loop);
    const Reply again = Perform(loop);

    EXPECT_EQ(other.status, 307);
    EXPECT_TRUE(other.HasHeaderLine("Location: http://127.0.0.2:9/api/resource/r?a=%201"));
    EXPECT_EQ(itself.status, 308);
    EXPECT_TRUE(itself.HasHeaderLine("Location: /api/resource/r"));
    EXPECT_EQ(again.status, 308) << "until cleared";
    const std::vector<RequestRecord> records = server.Requests();
    ASSERT_EQ(records.size(), 3u);
    for (const RequestRecord& record : records)
        EXPECT_EQ(record.fault, FaultKind::Redirect);
}

// Stalls longer than any test may run: only the client's limit or Stop can end them.
constexpr auto Endless = std::chrono::hours(1);

TEST_F(ServiceFaultTest, StallAfterSomeBytesHoldsAnUploadMidwayUntilTheClientGivesUp) {
    // Far more than the system's socket buffers take in while the server reads nothing.
    const std::string content = PatternBytes(32u << 20);
    Call call{Url("/resource"), "POST"};
    call.parts.push_back(Part::Bytes(content, "big.png"));
    call.lowSpeedSeconds = 1;
    server.InjectFault(Fault::Stall(Endless, 4096 + 13), 1);

    const Reply stalled = Perform(call);
    server.Stop(); // ends the stall, which is recorded only then

    EXPECT_EQ(stalled.code, CURLE_OPERATION_TIMEDOUT);
    const std::vector<RequestRecord> records = server.Requests();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].fault, FaultKind::Stall);
    EXPECT_LT(records[0].bodySize, content.size());
    EXPECT_TRUE(records[0].storedFile.empty()) << "an incomplete upload is not kept";
}

TEST_F(ServiceFaultTest, StallAfterSomeBytesGoesOnWithTheWholeUpload) {
    const std::string content = PatternBytes(200000, 9);
    server.InjectFault(Fault::Stall(300ms, 4096 + 13), 1);

    const Reply reply = Upload("/resource", content, "shot.png");

    EXPECT_EQ(reply.status, 201);
    EXPECT_GE(reply.elapsed, 300ms);
    const RequestRecord record = server.Requests().at(0);
    EXPECT_TRUE(ReadFile(record.storedFile) == content);
    EXPECT_GT(record.bodySize, content.size());
}

TEST_F(ServiceFaultTest, StallAfterMoreBytesThanTheBodyFallsSilentBeforeTheAnswer) {
    server.AddResource("r", "bytes");
    server.InjectFault(Fault::Stall(300ms, 1u << 30), 2);

    const Reply upload = Upload("/resource", "data");
    const Reply download = Perform(Call{Url("/resource/r")});

    EXPECT_EQ(upload.status, 201);
    EXPECT_GE(upload.elapsed, 300ms);
    EXPECT_EQ(download.body, "bytes");
    EXPECT_GE(download.elapsed, 300ms);
}

TEST_F(ServiceFaultTest, StallIsNoticedByALowSpeedLimitWhileOtherRequestsAreServed) {
    server.AddResource("r", "bytes");
    server.InjectFault(Fault::Stall(Endless), 1);
    Call call{Url("/resource/r")};
    call.lowSpeedSeconds = 1;

    const Reply stalled = Perform(call);
    const Reply next = Perform(Call{Url("/resource/r")});
    server.Stop(); // ends the stall, which is recorded only then

    EXPECT_EQ(stalled.code, CURLE_OPERATION_TIMEDOUT);
    EXPECT_THAT(stalled.error, HasSubstr("too slow")) << "the low-speed limit, not the overall time-out";
    EXPECT_EQ(next.status, 200);
    const std::vector<RequestRecord> records = server.Requests();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].fault, FaultKind::None);
    EXPECT_EQ(records[1].fault, FaultKind::Stall);
}

TEST_F(ServiceFaultTest, ShortStallEndsInTheNormalAnswer) {
    server.InjectFault(Fault::Stall(300ms), 1);
    const Reply reply = Upload("/resource", "data");
    EXPECT_EQ(reply.status, 201);
    EXPECT_EQ(reply.body, "img-1");
    EXPECT_GE(reply.elapsed, 300ms);
}

TEST_F(ServiceFaultTest, StopCutsAStallShort) {
    server.InjectFault(Fault::Stall(Endless));
    // The server answers "Expect: 100-continue" before the request reaches its handler, so once the client has
    // that interim answer the request is bound for the stall; a Stop that did not cut it would hang the test.
    Call call{Url("/resource"), "POST"};
    call.parts.push_back(Part::Bytes("data", "shot.png"));
    call.extraHeaders.push_back("Expect: 100-continue");
    std::promise<void> taken;
    bool told = false;
    call.onHeaderLine = [&](const std::string& line) {
        if (!told && line.starts_with("HTTP/1.1 100")) {
            told = true;
            taken.set_value();
        }
    };
    std::thread client([&] { (void)Perform(call); });
    const bool reached = taken.get_future().wait_for(60s) == std::future_status::ready;

    server.Stop();
    client.join();

    ASSERT_TRUE(reached) << "no interim answer";
    const std::vector<RequestRecord> records = server.Requests();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].fault, FaultKind::Stall);
}

TEST_F(ServiceFaultTest, DropHalfwaySendsExactlyHalfOfTheBodyThenCloses) {
    const std::string bytes = PatternBytes(64 * 1024);
    server.AddResource("memory", bytes);
    server.AddResourceFile("disk", WriteFile("d.bin", bytes));
    server.InjectFault(Fault::DropHalfway(), 2);

    const Reply fromMemory = Perform(Call{Url("/resource/memory")});
    const Reply fromDisk = Perform(Call{Url("/resource/disk")});
    const Reply whole = Perform(Call{Url("/resource/disk")});

    for (const Reply* dropped : {&fromMemory, &fromDisk}) {
        EXPECT_EQ(dropped->code, CURLE_PARTIAL_FILE);
        EXPECT_EQ(dropped->status, 200);
        EXPECT_TRUE(dropped->body == bytes.substr(0, bytes.size() / 2));
    }
    EXPECT_EQ(whole.code, CURLE_OK);
    EXPECT_TRUE(whole.body == bytes);
}

TEST_F(ServiceFaultTest, DroppedUploadAnswerStillKeepsTheUpload) {
    server.InjectFault(Fault::DropHalfway(), 1);
    const Reply reply = Upload("/resource", "data");
    EXPECT_EQ(reply.code, CURLE_PARTIAL_FILE);
    EXPECT_EQ(reply.body, "im");
    EXPECT_EQ(ReadFile(server.Requests().at(0).storedFile), "data");
}

TEST_F(ServiceFaultTest, SlowAnswerArrivesChunkedAndComplete) {
    const std::string bytes = PatternBytes(4096);
    server.AddResourceFile("r", WriteFile("r.bin", bytes));
    server.InjectFault(Fault::Slow(512, 25ms), 1);

    const Reply reply = Perform(Call{Url("/resource/r")});

    EXPECT_EQ(reply.code, CURLE_OK);
    EXPECT_EQ(reply.status, 200);
    EXPECT_TRUE(reply.body == bytes);
    EXPECT_TRUE(reply.HasHeaderLine("Transfer-Encoding: chunked"));
    EXPECT_GE(reply.elapsed, 7 * 25ms); // seven pauses between eight chunks
}

} // namespace
