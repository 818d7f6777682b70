#include "JobTestFixture.hpp"

#include "BuildConfig.hpp"
#include "KeepInMemory.hpp"

#include "DebugOutput.hpp"
#include "Transfer/TransferJobs.hpp"

#include <gmock/gmock.h>

#include <mutex>
#include <ostream>
#include <string>
#include <vector>

using namespace std::chrono_literals;
using ServiceStandIn::Fault;
using ServiceStandIn::RequestRecord;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

// ---- ExportIFC ----

using ExportIFCTest = JobTest;

TEST_F(ExportIFCTest, UploadsIntoTheFolderThenStoresTheAnswerAndReportsCompletion) {
    const std::string content = PatternBytes(1u << 20);
    RunToEnd(GS::NewOwned<ExportIFC>(reports, "tok", "project-1", "folder-1", MakeFile("House.ifc", content)),
             "exportModel");

    EXPECT_THAT(page.Scripts(), ElementsAre("CompleteExportModel()"));
    EXPECT_EQ(exchange->GetLastIfcExportResponse(), R"([{"id":"doc-1","name":"House.ifc"}])");
    const std::vector<RequestRecord> records = server.Requests();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].method, "POST");
    EXPECT_EQ(records[0].path, "/api/document");
    EXPECT_EQ(records[0].query, "folderId=folder-1") << "the project id is not sent";
    EXPECT_EQ(records[0].clientId, "Quillmar Plugin Archicad");
    EXPECT_EQ(records[0].authorization, "bearer tok");
    EXPECT_EQ(records[0].partName, "file");
    EXPECT_EQ(records[0].partFileName, "House.ifc");
    EXPECT_TRUE(ReadFile(records[0].storedFile) == content);
}

TEST_F(ExportIFCTest, AFolderIdReachesTheServiceExactlyAsGiven) {
    // Unencoded, "#" would cut the id short and "&" would add a parameter.
    RunToEnd(GS::NewOwned<ExportIFC>(reports, "t", "p", "a&b=c#d?e f/ü", MakeFile("m.ifc", "ifc")), "exportModel");
    RunToEnd(GS::NewOwned<ExportIFC>(reports, "t", "p", "Az09-._~", MakeFile("m.ifc", "ifc")), "exportModel");
    ASSERT_EQ(server.RequestCount(), 2u);
    EXPECT_EQ(server.Requests()[0].query, "folderId=a%26b%3Dc%23d%3Fe%20f%2F%C3%BC");
    EXPECT_EQ(server.Requests()[1].query, "folderId=Az09-._~") << "unreserved characters stay as they are";
    EXPECT_THAT(page.Scripts(), ElementsAre("CompleteExportModel()", "CompleteExportModel()"));
}

TEST_F(ExportIFCTest, AFailedTransferReportsFailureAndKeepsTheLastAnswer) {
    const GS::UniString path = MakeFile("m.ifc", "ifc");
    RunToEnd(GS::NewOwned<ExportIFC>(reports, "t", "p", "f", path), "exportModel");
    const GS::UniString first = exchange->GetLastIfcExportResponse();
    ASSERT_FALSE(first.IsEmpty());
    page.Clear();

    server.InjectFault(Fault::DropHalfway(), 1);
    RunToEnd(GS::NewOwned<ExportIFC>(reports, "t", "p", "f", path), "exportModel");

    EXPECT_THAT(page.Scripts(), ElementsAre("FailExportModel()"));
    EXPECT_EQ(exchange->GetLastIfcExportResponse(), first);
}

TEST_F(ExportIFCTest, AFailedTransferWritesLibcurlsWordsToTheDebugOutput) {
    std::vector<std::string> lines;
    std::mutex linesMutex;
    GS::SetDebugOutputSink([&](const char* text) {
        std::lock_guard lock(linesMutex);
        lines.emplace_back(text);
    });
    const GS::UniString path = MakeFile("m.ifc", "ifc");
    server.Stop();
    RunToEnd(GS::NewOwned<ExportIFC>(reports, "secret-token", "p", "f", path), "exportModel");
    GS::SetDebugOutputSink({});

    EXPECT_THAT(page.Scripts(), ElementsAre("FailExportModel()"));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_THAT(lines[0], ::testing::HasSubstr("upload to " + std::string(ApiBaseURL) + "/document?folderId=f failed"));
    EXPECT_THAT(lines[0], ::testing::HasSubstr("Couldn't connect to server"));
    EXPECT_THAT(lines[0], ::testing::Not(::testing::HasSubstr("secret-token")));
}

TEST_F(ExportIFCTest, AMissingFileReportsFailureWithoutARequest) {
    RunToEnd(GS::NewOwned<ExportIFC>(reports, "t", "p", "f", Local("never-written.ifc")), "exportModel");
    EXPECT_THAT(page.Scripts(), ElementsAre("FailExportModel()"));
    EXPECT_EQ(server.RequestCount(), 0u);
}

TEST_F(ExportIFCTest, ATokenThatWouldInjectAHeaderIsRefused) {
    RunToEnd(GS::NewOwned<ExportIFC>(reports, "t\r\nX-Project-Authorization: bearer admin", "p", "f",
                                     MakeFile("m.ifc", "i")),
             "exportModel");
    EXPECT_THAT(page.Scripts(), ElementsAre("FailExportModel()"));
    EXPECT_EQ(server.RequestCount(), 0u);
}

TEST_F(ExportIFCTest, WithoutAPaletteTheUploadHappensAndNothingIsReported) {
    const GS::UniString path = MakeFile("m.ifc", "ifc");
    const unsigned keepRequests = GetKeepInMemoryRequestCount();
    reports->Detach(); // the palette went
    keepRequestsAtStart = keepRequests;
    RunToEnd(GS::NewOwned<ExportIFC>(reports, "t", "p", "f", path), "exportModel");
    EXPECT_THAT(page.Scripts(), IsEmpty());
    EXPECT_EQ(server.RequestCount(), 1u);
}

// ---- ExportPlan ----

using ExportPlanTest = JobTest;

TEST_F(ExportPlanTest, ASuccessfulUploadStoresThePlanAnswerOnly) {
    RunToEnd(GS::NewOwned<ExportPlan>(reports, "tok", "p", "plans", MakeFile("Floor 1.pdf", "%PDF")), "exportPlan");
    EXPECT_THAT(page.Scripts(), ElementsAre("CompleteExportPlan()"));
    EXPECT_EQ(exchange->GetLastPlanExportResponse(), R"([{"id":"doc-1","name":"Floor 1.pdf"}])");
    EXPECT_TRUE(exchange->GetLastIfcExportResponse().IsEmpty());
    ASSERT_EQ(server.RequestCount(), 1u);
    EXPECT_EQ(server.Requests()[0].path, "/api/document");
    EXPECT_EQ(server.Requests()[0].query, "folderId=plans");
    EXPECT_EQ(server.Requests()[0].authorization, "bearer tok");
}

TEST_F(ExportPlanTest, AFailedTransferIsReportedToo) {
    server.InjectFault(Fault::DropHalfway(), 1);
    RunToEnd(GS::NewOwned<ExportPlan>(reports, "t", "p", "f", MakeFile("a.pdf", "%PDF")), "exportPlan");
    RunToEnd(GS::NewOwned<ExportPlan>(reports, "t\n", "p", "f", MakeFile("a.pdf", "%PDF")), "exportPlan");
    EXPECT_THAT(page.Scripts(), ElementsAre("FailExportPlan()", "FailExportPlan()"));
    EXPECT_TRUE(exchange->GetLastPlanExportResponse().IsEmpty());
}

// ---- ExportSnapshot ----

using ExportSnapshotTest = JobTest;

TEST_F(ExportSnapshotTest, TheImageIdReachesThePageAsViewpointInsertion) {
    RunToEnd(GS::NewOwned<ExportSnapshot>(reports, "tok", "p", MakeFile("snapshot.png", "\x89PNG")), "exportSnapshot");
    EXPECT_THAT(page.Scripts(), ElementsAre("InsertViewpoint()"));
    EXPECT_EQ(viewpoints->GetSnapshotResponse(), GS::UniString("img-1"));
    ASSERT_EQ(server.RequestCount(), 1u);
    EXPECT_EQ(server.Requests()[0].path, "/api/resource");
    EXPECT_EQ(server.Requests()[0].query, "");
    EXPECT_EQ(server.Requests()[0].partName, "file");
}

TEST_F(ExportSnapshotTest, FailedTransfersInsertTheViewpointWithoutAnImageId) {
    RunToEnd(GS::NewOwned<ExportSnapshot>(reports, "t", "p", MakeFile("s.png", "png")), "exportSnapshot");
    ASSERT_EQ(viewpoints->GetSnapshotResponse(), GS::UniString("img-1"));
    server.InjectFault(Fault::DropHalfway(), 1);
    RunToEnd(GS::NewOwned<ExportSnapshot>(reports, "t", "p", MakeFile("s.png", "png")), "exportSnapshot");
    EXPECT_EQ(viewpoints->GetSnapshotResponse(), GS::UniString()) << "an earlier image id is not reused";
    RunToEnd(GS::NewOwned<ExportSnapshot>(reports, "t", "p", Local("missing.png")), "exportSnapshot");
    RunToEnd(GS::NewOwned<ExportSnapshot>(reports, "t\r\n", "p", MakeFile("s.png", "png")), "exportSnapshot");
    EXPECT_EQ(server.RequestCount(), 2u);
    EXPECT_EQ(page.Count("InsertViewpoint()"), 4u) << "each snapshot flow ends with its one report";
    EXPECT_EQ(viewpoints->GetSnapshotResponse(), GS::UniString());
}

// ---- Judging by status, all upload jobs ----

enum class Job { IFC, Plan, Snapshot };

struct StatusCase {
    Job job;
    int status;
    std::vector<std::string> scripts;
};

void PrintTo(const StatusCase& c, std::ostream* os) {
    const char* names[] = {"ExportIFC", "ExportPlan", "ExportSnapshot"};
    *os << names[static_cast<int>(c.job)] << " answered " << c.status;
}

class UploadStatusTest : public JobTest, public ::testing::WithParamInterface<StatusCase> {};

TEST_P(UploadStatusTest, OnlyTwoHundredToTwoNinetyNineIsSuccess) {
    const StatusCase& c = GetParam();
    server.InjectFault(Fault::AnswerStatus(c.status, "answer")); // 404 with a body too
    const GS::UniString path = MakeFile("f.bin", "bytes");
    switch (c.job) {
    case Job::IFC:
        RunToEnd(GS::NewOwned<ExportIFC>(reports, "t", "p", "f", path), "exportModel");
        EXPECT_EQ(exchange->GetLastIfcExportResponse(), "answer") << "stored whatever the status";
        break;
    case Job::Plan:
        RunToEnd(GS::NewOwned<ExportPlan>(reports, "t", "p", "f", path), "exportPlan");
        EXPECT_EQ(exchange->GetLastPlanExportResponse().IsEmpty(), c.scripts[0] != "CompleteExportPlan()");
        break;
    case Job::Snapshot:
        RunToEnd(GS::NewOwned<ExportSnapshot>(reports, "t", "p", path), "exportSnapshot");
        EXPECT_EQ(viewpoints->GetSnapshotResponse(), GS::UniString(c.status <= 299 ? "answer" : ""))
            << "an error answer is no image id";
        break;
    }
    EXPECT_EQ(page.Scripts(), c.scripts) << "status " << c.status;
}

INSTANTIATE_TEST_SUITE_P(
    Statuses, UploadStatusTest,
    ::testing::Values(
        StatusCase{Job::IFC, 200, {"CompleteExportModel()"}}, StatusCase{Job::IFC, 299, {"CompleteExportModel()"}},
        StatusCase{Job::IFC, 300, {"FailExportModel()"}}, StatusCase{Job::IFC, 404, {"FailExportModel()"}},
        StatusCase{Job::Plan, 200, {"CompleteExportPlan()"}}, StatusCase{Job::Plan, 299, {"CompleteExportPlan()"}},
        StatusCase{Job::Plan, 300, {"FailExportPlan()"}}, StatusCase{Job::Plan, 404, {"FailExportPlan()"}},
        StatusCase{Job::Snapshot, 200, {"InsertViewpoint()"}}, StatusCase{Job::Snapshot, 299, {"InsertViewpoint()"}},
        StatusCase{Job::Snapshot, 300, {"InsertViewpoint()"}}, StatusCase{Job::Snapshot, 404, {"InsertViewpoint()"}}));

// ---- Lifetimes ----

using JobLifetimeTest = JobTest;

TEST_F(JobLifetimeTest, AJobKeepsTheAddOnLoadedUntilItHasEnded) {
    server.InjectFault(Fault::Stall(1500ms), 1);
    ASSERT_EQ(StartJob(GS::NewOwned<ExportIFC>(reports, "t", "p", "f", MakeFile("m.ifc", "i")), "exportModel"),
              NoError);
    EXPECT_EQ(GetKeepInMemoryRequestCount(), keepRequestsAtStart + 1) << "the page's call has returned; the job runs";
    EXPECT_TRUE(page.Scripts().empty());
    ASSERT_TRUE(WaitForJobs());
    EXPECT_EQ(GetKeepInMemoryRequestCount(), keepRequestsAtStart);
    EXPECT_THAT(page.Scripts(), ElementsAre("CompleteExportModel()"));
}

} // namespace
