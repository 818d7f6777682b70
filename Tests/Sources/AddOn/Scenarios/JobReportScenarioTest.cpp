// Uploads that run at the same time each send their own file, and every flow ends with exactly one page report,
// whatever the transfer or the thread start does.

#include "ViewpointScenario.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

using namespace ViewpointScenario;

namespace {

class JobReportScenario : public Fixture {
protected:
    std::set<std::string> ExchangeNames() const {
        std::set<std::string> names;
        if (std::filesystem::exists(home / "Exchange"))
            for (const auto& entry : std::filesystem::directory_iterator(home / "Exchange"))
                names.insert(entry.path().filename().string());
        return names;
    }

    static std::string Export(const char* fileName) {
        const json request{{"token", "tok-1"},
                           {"projectId", "p1"},
                           {"folderId", "f1"},
                           {"fileName", fileName},
                           {"onlyVisible", false}};
        return json{{"call", "ExportIFCModel"}, {"arg", request.dump()}}.dump() + "\n";
    }

    static std::size_t Reports(const Lines& lines, const std::string& script) {
        return static_cast<std::size_t>(Count(lines, json{{"page", script}}));
    }
};

const char* const SnapshotRequest = R"({"token": "tok-9", "projectId": "p-7"})";

TEST_F(JobReportScenario, EightSnapshotsInOneMillisecondEachUploadTheirOwnFileAndReportOnce) {
    std::string scenario = "{\"host\": {\"window\": 4}}\n";
    for (int i = 0; i < 8; ++i)
        scenario += Snapshot(SnapshotRequest);
    for (int i = 0; i < 8; ++i)
        scenario += R"S({"wait": "InsertViewpoint()", "timeout": 30})S"
                    "\n";
    const Lines lines = Play(scenario);

    EXPECT_TRUE(With(lines, "error").empty()) << Dump(lines);
    EXPECT_EQ(Reports(lines, "InsertViewpoint()"), 8u) << Dump(lines);
    const std::set<std::string> names = ExchangeNames();
    ASSERT_EQ(names.size(), 8u) << "the clock stood still, yet no two snapshots share a file";
    EXPECT_TRUE(names.contains("2026-12-09T10_20_30.000.png"));
    EXPECT_TRUE(names.contains("2026-12-09T10_20_30.000-8.png"));
    const std::vector<ServiceStandIn::RequestRecord> uploads = service.Requests();
    ASSERT_EQ(uploads.size(), 8u);
    std::set<std::string> sent;
    for (const ServiceStandIn::RequestRecord& upload : uploads) {
        ASSERT_TRUE(names.contains(upload.partFileName)) << upload.partFileName;
        sent.insert(upload.partFileName);
        EXPECT_EQ(ReadFile(upload.storedFile), ReadFile(home / "Exchange" / upload.partFileName));
        EXPECT_GT(upload.size, 8u) << "never an empty picture";
    }
    EXPECT_EQ(sent, names) << "each snapshot was sent once";
}

TEST_F(JobReportScenario, ASecondExportOfTheSameNameLeavesTheFirstUploadItsBytes) {
    // The first upload waits at the service while the second export writes the file of the same name anew.
    service.InjectFault(ServiceStandIn::Fault::Stall(std::chrono::milliseconds(1500)), 1);
    const Lines lines = Play(Export("House") + Export("House") +
                             R"S({"wait": "CompleteExportModel()", "timeout": 30}
{"wait": "CompleteExportModel()", "timeout": 30})S");

    EXPECT_TRUE(With(lines, "error").empty()) << Dump(lines);
    EXPECT_EQ(Reports(lines, "CompleteExportModel()"), 2u) << Dump(lines);
    EXPECT_EQ(Reports(lines, "FailExportModel()"), 0u);
    EXPECT_EQ(ExchangeNames(), std::set<std::string>{"House.ifc"}) << "no temporary file is left behind";
    const std::vector<ServiceStandIn::RequestRecord> uploads = service.Requests();
    ASSERT_EQ(uploads.size(), 2u);
    for (const ServiceStandIn::RequestRecord& upload : uploads) {
        const std::string sentBytes = ReadFile(upload.storedFile);
        EXPECT_EQ(sentBytes.size(), upload.size);
        EXPECT_TRUE(sentBytes.ends_with("END-ISO-10303-21;\n")) << "a whole file, not one half-rewritten";
    }
}

TEST_F(JobReportScenario, ARedirectedExportReportsOnce) {
    service.InjectFault(ServiceStandIn::Fault::Redirect(307), 1);
    const Lines lines = Play(Export("House") + R"S({"wait": "CompleteExportModel()", "timeout": 30})S");
    EXPECT_EQ(Reports(lines, "CompleteExportModel()"), 1u) << Dump(lines);
    EXPECT_EQ(service.RequestCount(), 2u);
}

TEST_F(JobReportScenario, AThreadThatCannotStartEndsTheFlowWithItsFailureReport) {
    const Lines lines = Play(R"S({"host": {"window": 4, "fail": ["threadStart"]}}
)S" + Export("House") + Snapshot(SnapshotRequest) +
                             R"S({"host": {"fail": []}}
{"call": "AddViewpoint"})S");

    EXPECT_TRUE(With(lines, "error").empty()) << Dump(lines);
    EXPECT_EQ(Reports(lines, "FailExportModel()"), 1u) << Dump(lines);
    EXPECT_EQ(Reports(lines, "InsertViewpoint()"), 1u);
    EXPECT_EQ(service.RequestCount(), 0u);
    const json viewpoint = Viewpoint(lines);
    ASSERT_TRUE(viewpoint.is_object()) << Dump(lines);
    EXPECT_EQ(viewpoint["imageId"], "") << "no upload, no image id";
    EXPECT_TRUE(viewpoint.contains("localImage")) << "the picture is still embedded";
}

TEST_F(JobReportScenario, ASnapshotAnsweredWithAnErrorStillGivesTheViewpoint) {
    service.InjectFault(ServiceStandIn::Fault::AnswerStatus(500, "internal error"), 1);
    const Lines lines = Play("{\"host\": {\"window\": 4}}\n" + Snapshot(SnapshotRequest) +
                             R"S({"wait": "InsertViewpoint()", "timeout": 30}
{"call": "AddViewpoint"})S");
    EXPECT_EQ(Reports(lines, "InsertViewpoint()"), 1u) << Dump(lines);
    const json viewpoint = Viewpoint(lines);
    ASSERT_TRUE(viewpoint.is_object()) << Dump(lines);
    EXPECT_EQ(viewpoint["imageId"], "") << "the error body never becomes an image id";
    EXPECT_TRUE(viewpoint.contains("localImage"));
}

} // namespace
