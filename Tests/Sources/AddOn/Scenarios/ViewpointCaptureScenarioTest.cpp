// AddViewpoint with the real add-on: the viewpoint text after an uploaded snapshot, for perspective and parallel
// cameras, with and without a survey point, and what host errors leave out.

#include "ViewpointScenario.hpp"

#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <cmath>

using namespace ViewpointScenario;

namespace {

class ViewpointCapture : public Fixture {};

json Point(double x, double y, double z) {
    return json{{"x", x}, {"y", y}, {"z", z}};
}

void ExpectPoint(const json& point, double x, double y, double z, const char* what) {
    ASSERT_TRUE(point.is_object()) << what;
    EXPECT_NEAR(point["x"].get<double>(), x, 1e-9) << what;
    EXPECT_NEAR(point["y"].get<double>(), y, 1e-9) << what;
    EXPECT_NEAR(point["z"].get<double>(), z, 1e-9) << what;
}

std::string DecodeBase64(const std::string& text) {
    std::string bytes(text.size() / 4 * 3 + 3, '\0');
    const int n = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(bytes.data()),
                                  reinterpret_cast<const unsigned char*>(text.data()), static_cast<int>(text.size()));
    if (n < 0) return {};
    bytes.resize(static_cast<std::size_t>(n));
    // EVP_DecodeBlock counts the padding's bytes as data.
    for (std::size_t i = text.size(); i > 0 && text[i - 1] == '='; --i)
        bytes.pop_back();
    return bytes;
}

const char* const Camera =
    R"({"host": {"projection": {"perspective": true, "camera": [1, 2, 3], "target": [1, 12, 3], "viewCone": 45}}})"
    "\n";

TEST_F(ViewpointCapture, PerspectiveViewAfterAnUploadWithTheEmbeddedSnapshotOnce) {
    const Lines lines = Play(std::string(Camera) + UploadedSnapshot() + R"({"call": "AddViewpoint"}
{"call": "AddViewpoint"})");
    const json first = Viewpoint(lines);
    ASSERT_TRUE(first.is_object()) << Dump(lines);
    // Members in the page's order (the parser keeps them sorted, so the order is read from the text).
    const std::string text = ResultOf(lines, "AddViewpoint").get<std::string>();
    std::vector<std::string> order;
    for (const char* key : {"cameraType", "location", "direction", "up", "cameraFactor", "imageId", "creatingTool",
                            "selectedGlobalIds", "visibility", "visbilityExceptionGlobalIds", "sections", "localImage"})
        order.push_back(std::to_string(text.find(std::string("\"") + key + "\":")));
    for (std::size_t i = 1; i < order.size(); ++i)
        EXPECT_LT(std::stoul(order[i - 1]), std::stoul(order[i])) << i << "\n" << text;
    EXPECT_EQ(text.find(' '), std::string::npos) << "no whitespace";
    EXPECT_EQ(json::parse(text).size(), 12u);

    EXPECT_EQ(first["cameraType"], 0);
    EXPECT_EQ(first["location"], Point(1, 2, 3));
    EXPECT_EQ(first["direction"], Point(0, 1, 0));
    EXPECT_EQ(first["up"], Point(0, 0, 1));
    EXPECT_EQ(first["cameraFactor"], 45);
    EXPECT_EQ(first["imageId"], "img-1");
    EXPECT_EQ(first["creatingTool"], "Archicad");
    EXPECT_EQ(first["selectedGlobalIds"], json::array());
    EXPECT_EQ(first["visibility"], 1) << "every element shown";
    EXPECT_EQ(first["visbilityExceptionGlobalIds"], json::array());
    EXPECT_EQ(first["sections"], json::array()) << "cutting planes off";
    const std::string image = first["localImage"];
    const std::string prefix = "data:image/png;base64,";
    ASSERT_EQ(image.rfind(prefix, 0), 0u);
    EXPECT_EQ(DecodeBase64(image.substr(prefix.size())), ReadFile(home / "Exchange" / "2026-12-09T10_20_30.000.png"));
    EXPECT_EQ(image.find('\n'), std::string::npos);

    const json second = Viewpoint(lines, 1);
    EXPECT_EQ(second["imageId"], "img-1");
    EXPECT_FALSE(second.contains("localImage"));
    EXPECT_EQ(second["location"], first["location"]);
}

TEST_F(ViewpointCapture, NothingBeforeAnUploadOrWithoutAProjection) {
    const Lines lines = Play(R"({"host": {"window": 4}}
{"call": "AddViewpoint"}
)" + UploadedSnapshot() + R"({"host": {"fail": ["GP3D"]}}
{"call": "AddViewpoint"}
{"host": {"fail": []}}
{"call": "AddViewpoint"})");
    EXPECT_EQ(ResultOf(lines, "AddViewpoint", 0), "") << Dump(lines);
    EXPECT_EQ(ResultOf(lines, "AddViewpoint", 1), "");
    const json later = Viewpoint(lines, 2);
    ASSERT_TRUE(later.is_object()) << Dump(lines);
    EXPECT_TRUE(later.contains("localImage")) << "a capture that failed early keeps the pending snapshot";
}

TEST_F(ViewpointCapture, SurveyPointMovesPointsAndOnlyTurnsDirections) {
    // A quarter turn about the vertical and a shift: (x, y, z) -> (-y + 100, x + 200, z + 5).
    const Lines lines = Play(std::string(Camera) + UploadedSnapshot() +
                             R"({"host": {"survey": [0, -1, 0, 100, 1, 0, 0, 200, 0, 0, 1, 5], )"
                             R"("cuttingPlanes": {"on": true, "planes": [[0, 0, 2, 6], [1, 0, 0, 4]]}}}
{"call": "AddViewpoint"})");
    const json viewpoint = Viewpoint(lines);
    ASSERT_TRUE(viewpoint.is_object()) << Dump(lines);
    ExpectPoint(viewpoint["location"], 98, 201, 8, "location");
    ExpectPoint(viewpoint["direction"], -1, 0, 0, "direction");
    ExpectPoint(viewpoint["up"], 0, 0, 1, "up");
    ASSERT_EQ(viewpoint["sections"].size(), 2u);
    // d times the unit normal: (0, 0, 6) and (4, 0, 0), then into survey terms.
    ExpectPoint(viewpoint["sections"][0]["location"], 100, 200, 11, "first section");
    ExpectPoint(viewpoint["sections"][0]["normal"], 0, 0, 1, "first normal");
    ExpectPoint(viewpoint["sections"][1]["location"], 100, 204, 5, "second section");
    ExpectPoint(viewpoint["sections"][1]["normal"], 0, 1, 0, "second normal");
}

TEST_F(ViewpointCapture, CameraLookingStraightDownHasNoUpVector) {
    const Lines lines =
        Play(UploadedSnapshot() + R"({"host": {"projection": {"camera": [5, 5, 20], "target": [5, 5, 0]}}}
{"call": "AddViewpoint"})");
    const json viewpoint = Viewpoint(lines);
    ASSERT_TRUE(viewpoint.is_object()) << Dump(lines);
    EXPECT_EQ(viewpoint["direction"], Point(0, 0, -1));
    EXPECT_EQ(viewpoint["up"], Point(0, 0, 0));
}

TEST_F(ViewpointCapture, VisibilityNamesTheSmallerGroupAndATieNamesTheShown) {
    const Lines lines = Play(UploadedSnapshot() + json{{"host", {{"show3D", {W1, S1, C1}}}}}.dump() + R"(
{"call": "AddViewpoint"}
)" + json{{"host", {{"show3D", {W1, W2}}}}}.dump() +
                             R"(
{"call": "AddViewpoint"}
)" + json{{"host", {{"show3D", {C1}}, {"select", {C1, W1}}}}}.dump() +
                             R"(
{"call": "AddViewpoint"})");
    const json mostlyShown = Viewpoint(lines, 0);
    ASSERT_TRUE(mostlyShown.is_object()) << Dump(lines);
    EXPECT_EQ(mostlyShown["visibility"], 1);
    ASSERT_EQ(mostlyShown["visbilityExceptionGlobalIds"].size(), 1u);
    EXPECT_EQ(mostlyShown["visbilityExceptionGlobalIds"][0]["name"], "W-002");

    const json tie = Viewpoint(lines, 1);
    EXPECT_EQ(tie["visibility"], 0);
    ASSERT_EQ(tie["visbilityExceptionGlobalIds"].size(), 2u);
    EXPECT_EQ(tie["visbilityExceptionGlobalIds"][0]["name"], "W-\"1\"\\north") << "escaped, and read back whole";
    EXPECT_EQ(tie["visbilityExceptionGlobalIds"][1]["name"], "W-002");

    const json mostlyHidden = Viewpoint(lines, 2);
    EXPECT_EQ(mostlyHidden["visibility"], 0);
    ASSERT_EQ(mostlyHidden["visbilityExceptionGlobalIds"].size(), 1u);
    EXPECT_EQ(mostlyHidden["visbilityExceptionGlobalIds"][0]["name"], "C-001");
    ASSERT_EQ(mostlyHidden["selectedGlobalIds"].size(), 2u) << "in the host's order";
    EXPECT_EQ(mostlyHidden["selectedGlobalIds"][0]["name"], "C-001");
    EXPECT_EQ(mostlyHidden["selectedGlobalIds"][1]["name"], "W-\"1\"\\north");
}

TEST_F(ViewpointCapture, HostErrorsLeaveOutWhatCouldNotBeRead) {
    const Lines lines = Play(UploadedSnapshot() + R"({"host": {"select": ["{C0000000-0000-4000-8000-000000000002}"], )"
                                                  R"("cuttingPlanes": {"on": true, "planes": [[0, 0, 1, 1]]}, )"
                                                  R"("fail": ["getElementList", "GC3D", "getSelection"]}}
{"call": "AddViewpoint"}
{"host": {"fail": ["elementFilter"]}}
{"call": "AddViewpoint"})");
    const json viewpoint = Viewpoint(lines);
    ASSERT_TRUE(viewpoint.is_object()) << Dump(lines);
    EXPECT_FALSE(viewpoint.contains("visibility"));
    EXPECT_FALSE(viewpoint.contains("visbilityExceptionGlobalIds"));
    EXPECT_EQ(viewpoint["sections"], json::array());
    EXPECT_EQ(viewpoint["selectedGlobalIds"], json::array());
    // An element the filter cannot judge counts as hidden: all four are, so the shown (none) are the exceptions.
    const json unfiltered = Viewpoint(lines, 1);
    EXPECT_EQ(unfiltered["visibility"], 0);
    EXPECT_EQ(unfiltered["visbilityExceptionGlobalIds"], json::array());
    EXPECT_EQ(unfiltered["sections"].size(), 1u);
}

TEST_F(ViewpointCapture, ParallelViewTakesItsOrientationFromTheMatrix) {
    const Lines lines =
        Play(UploadedSnapshot() + R"({"host": {"projection": {"perspective": false, )"
                                  R"("orientation": [0.6, 0.8, 0, 0, 0, 0, 1, 0, 0.8, -0.6, 0, 0]}, )"
                                  R"("window3D": {"useScales": true, "scales": [12, 12], "offsets": [150, -420]}}}
{"call": "AddViewpoint"})");
    const json viewpoint = Viewpoint(lines);
    ASSERT_TRUE(viewpoint.is_object()) << Dump(lines);
    EXPECT_EQ(viewpoint["cameraType"], 1);
    ExpectPoint(viewpoint["direction"], 0.8, -0.6, 0, "direction");
    ExpectPoint(viewpoint["up"], 0, 0, 1, "up");
    EXPECT_GT(viewpoint["cameraFactor"].get<double>(), 0.0);
    EXPECT_TRUE(std::isfinite(viewpoint["location"]["x"].get<double>()));
}

} // namespace
