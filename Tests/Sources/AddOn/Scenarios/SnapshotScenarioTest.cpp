// ExportSnapshot with the real add-on: the checks of the active window and projection, the time-stamped PNG in the
// exchange folder and its upload to the service stand-in.

#include "ViewpointScenario.hpp"

#include <gtest/gtest.h>

#include <filesystem>

using namespace ViewpointScenario;

namespace {

class SnapshotScenario : public Fixture {
protected:
    std::vector<std::filesystem::path> ExchangeFiles() const {
        std::vector<std::filesystem::path> files;
        if (std::filesystem::exists(home / "Exchange"))
            for (const auto& entry : std::filesystem::directory_iterator(home / "Exchange"))
                files.push_back(entry.path());
        return files;
    }
};

const char* const Request = R"({"token": "tok-9", "projectId": "p-7"})";

TEST_F(SnapshotScenario, PerspectiveViewIsSavedUnderItsTimeAndUploaded) {
    const Lines lines = Play(R"({"host": {"window": 4}}
)" + Snapshot(Request) + R"S({"wait": "InsertViewpoint()", "timeout": 20})S");
    EXPECT_EQ(ResultOf(lines, "ExportSnapshot"), true) << Dump(lines);
    EXPECT_TRUE(With(lines, "alert").empty());
    const Lines saved = With(lines, "saved");
    ASSERT_EQ(saved.size(), 1u) << Dump(lines);
    EXPECT_EQ(ExchangeFiles().size(), 1u) << "the host's temporary file took the name";
    EXPECT_EQ(saved[0]["saved"]["type"], 16);
    const std::filesystem::path file = home / "Exchange" / "2026-12-09T10_20_30.000.png";
    const std::string bytes = ReadFile(file);
    ASSERT_GT(bytes.size(), 8u);
    EXPECT_EQ(bytes.substr(1, 3), "PNG");

    ASSERT_EQ(service.RequestCount(), 1u) << Dump(lines);
    const ServiceStandIn::RequestRecord upload = service.Requests().at(0);
    EXPECT_EQ(upload.path, "/api/resource");
    EXPECT_EQ(upload.authorization, "bearer tok-9");
    EXPECT_EQ(ReadFile(upload.storedFile), bytes);
    EXPECT_TRUE(With(lines, "error").empty()) << Dump(lines);
}

TEST_F(SnapshotScenario, OtherWindowsAndParallelViewsOnlyGetAMessage) {
    const Lines lines = Play(Snapshot(Request) + R"({"host": {"language": "GER"}}
)" + Snapshot(Request) + R"({"host": {"language": "INT", "window": 4, "projection": {"perspective": false}}}
)" + Snapshot(Request) + R"({"host": {"language": "GER"}}
)" + Snapshot(Request));
    const Lines alerts = With(lines, "alert");
    ASSERT_EQ(alerts.size(), 4u) << Dump(lines);
    EXPECT_EQ(alerts[0]["alert"],
              json({{"large", "Current view is not perspective view.\n Please add a viewpoint in perspective view."},
                    {"small", ""},
                    {"buttons", {"OK"}}}));
    EXPECT_EQ(alerts[1]["alert"]["large"], "Die aktuelle Ansicht ist keine perspektive Ansicht.\n Bitte fügen Sie "
                                           "einen Viewpoint in der perspektiven Ansicht.");
    EXPECT_EQ(alerts[2]["alert"]["large"],
              "You are now in 3D-display mode Axonometry.\n Please change to perspective mode (Alt+Shift+3).");
    EXPECT_EQ(alerts[3]["alert"]["large"], "Sie befinden sich im 3D-Darstellungsmodus Axonometrie. \n bitte wechseln "
                                           "sie in den Modus Perspektive (Alt+Umsch.+3).");
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_EQ(ResultOf(lines, "ExportSnapshot", i), true) << i;
    EXPECT_TRUE(With(lines, "saved").empty());
    EXPECT_TRUE(ExchangeFiles().empty());
    EXPECT_EQ(service.RequestCount(), 0u);
}

TEST_F(SnapshotScenario, IncompleteRequestsSaveButDoNotUpload) {
    const Lines lines = Play(R"({"host": {"window": 4}}
)" + Snapshot(R"({"token": "tok-9"})") +
                             Snapshot("not json") + Snapshot(R"({"projectId": "p-7"})"));
    EXPECT_EQ(With(lines, "saved").size(), 3u) << Dump(lines);
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_EQ(ResultOf(lines, "ExportSnapshot", i), true) << i;
    EXPECT_EQ(ExchangeFiles().size(), 3u) << "the same millisecond, yet a file each";
    EXPECT_EQ(service.RequestCount(), 0u);
    EXPECT_TRUE(With(lines, "error").empty()) << Dump(lines);
}

TEST_F(SnapshotScenario, MembersOfTheWrongKindRaiseAfterSaving) {
    const Lines lines = Play(R"({"host": {"window": 4}}
)" + Snapshot(R"({"token": 1, "projectId": "p-7"})") +
                             Snapshot("[1]"));
    EXPECT_EQ(With(lines, "saved").size(), 2u) << Dump(lines);
    const Lines calls = With(lines, "call");
    ASSERT_EQ(calls.size(), 2u) << Dump(lines);
    for (const json& call : calls) {
        EXPECT_FALSE(call.contains("result")) << call.dump();
        EXPECT_NE(call.dump().find("Bad cast."), std::string::npos) << call.dump();
    }
    EXPECT_EQ(service.RequestCount(), 0u);
}

TEST_F(SnapshotScenario, HostFailuresEndQuietly) {
    const Lines lines = Play(R"({"host": {"window": 4, "fail": ["GP3D"]}}
)" + Snapshot(Request) + R"({"host": {"fail": ["saveProject"]}}
)" + Snapshot(Request) + R"({"host": {"fail": ["getSpecialFolder"]}}
)" + Snapshot(Request) + R"({"host": {"fail": ["GWIN"]}}
)" + Snapshot(Request));
    EXPECT_EQ(With(lines, "failed").size(), 4u) << Dump(lines);
    EXPECT_EQ(With(lines, "alert").size(), 1u) << "an unreadable window counts as another window";
    EXPECT_TRUE(With(lines, "saved").empty());
    EXPECT_EQ(service.RequestCount(), 0u);
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_EQ(ResultOf(lines, "ExportSnapshot", i), true) << i;
}

TEST(SnapshotWithoutPalette, DoesNothing) {
    HostSim::HostOptions options = Options();
    options.project = VIEWPOINT_PROJECT_PATH;
    const Lines lines = RunScenario(R"({"host": {"window": 4}}
{"call": "ExportSnapshot", "arg": "{}"})",
                                    options);
    EXPECT_TRUE(With(lines, "saved").empty()) << Dump(lines);
    EXPECT_TRUE(With(lines, "alert").empty());
}

} // namespace
