// SelectViewpoint with the real add-on: what it reads and refuses, what it changes in the host, and round trips
// of captured viewpoints through the page's conversion.

#include "ViewpointScenario.hpp"

#include <gtest/gtest.h>

#include <cmath>

using namespace ViewpointScenario;

namespace {

class ViewpointApplication : public Fixture {};

json Point(double x, double y, double z) {
    return json{{"x", x}, {"y", y}, {"z", z}};
}

// A readable perspective viewpoint; tests change what they look at.
json BaseViewpoint() {
    return json{{"cameraType", 0},
                {"location", Point(0, -30, 4)},
                {"direction", Point(0, 1, 0)},
                {"up", Point(0, 0, 1)},
                {"cameraFactor", 45},
                {"visibility", true},
                {"selectedGlobalIds", json::array()},
                {"visbilityExceptionGlobalIds", json::array()},
                {"sections", json::array()},
                {"imageId", "ignored"}};
}

std::string Select(const json& viewpoint) {
    return json{{"call", "SelectViewpoint"}, {"arg", viewpoint}}.dump() + "\n";
}

// What the page stores of a captured viewpoint and hands back: "visibility" as a boolean and GlobalId strings.
json AsThePageGivesIt(json viewpoint) {
    if (viewpoint.contains("visibility")) viewpoint["visibility"] = viewpoint["visibility"] == 1;
    for (const char* key : {"selectedGlobalIds", "visbilityExceptionGlobalIds"}) {
        json ids = json::array();
        for (const json& descriptor : viewpoint.value(key, json::array()))
            ids.push_back(descriptor["ifcGuid"]);
        viewpoint[key] = ids;
    }
    viewpoint.erase("localImage");
    return viewpoint;
}

// Numbers equal within rounding, everything else exactly.
bool Near(const json& a, const json& b) {
    if (a.is_number() && b.is_number()) return std::fabs(a.get<double>() - b.get<double>()) < 1e-7;
    if (a.type() != b.type() || a.size() != b.size()) return false;
    if (a.is_object()) {
        for (const auto& [key, value] : a.items())
            if (!b.contains(key) || !Near(value, b[key])) return false;
        return true;
    }
    if (a.is_array()) {
        for (std::size_t i = 0; i < a.size(); ++i)
            if (!Near(a[i], b[i])) return false;
        return true;
    }
    return a == b;
}

Lines HostChanges(const Lines& lines) {
    Lines changes;
    for (const char* key : {"projection", "window3D", "shown3D", "cuttingPlanes", "zoom3D"})
        for (const json& line : With(lines, key))
            changes.push_back(line);
    return changes;
}

// ---- Reading ----

TEST_F(ViewpointApplication, RefusesWhatItCannotReadAndChangesNothing) {
    json asNumber = BaseViewpoint();
    asNumber["visibility"] = 1;
    json noZ = BaseViewpoint();
    noZ["up"].erase("z");
    json descriptors = BaseViewpoint();
    descriptors["selectedGlobalIds"] = json::array({{{"ifcGuid", "x"}, {"name", "y"}}});
    json sectionWithoutNormal = BaseViewpoint();
    sectionWithoutNormal["sections"] = json::array({{{"location", Point(0, 0, 1)}}});
    json missingSections = BaseViewpoint();
    missingSections.erase("sections");
    json cameraTypeAsDouble = BaseViewpoint();
    cameraTypeAsDouble["cameraType"] = 0.5;
    json pointAsNumber = BaseViewpoint();
    pointAsNumber["location"] = 3;
    const Lines lines =
        Play(Select(asNumber) + Select(noZ) + Select(descriptors) + Select(sectionWithoutNormal) +
             Select(missingSections) + Select(cameraTypeAsDouble) + Select(pointAsNumber) +
             R"({"call": "SelectViewpoint", "arg": "not an object"})" + "\n" + R"({"call": "SelectViewpoint"})");
    for (std::size_t i = 0; i < 9; ++i)
        EXPECT_EQ(ResultOf(lines, "SelectViewpoint", i), false) << i << "\n" << Dump(lines);
    EXPECT_TRUE(HostChanges(lines).empty()) << Dump(lines);
    EXPECT_TRUE(With(lines, "selection").empty());
    EXPECT_TRUE(With(lines, "window").empty());
}

TEST_F(ViewpointApplication, PerspectiveCameraLooksAsFarAsTheReferenceCentre) {
    json viewpoint = BaseViewpoint();
    viewpoint["location"] = Point(0, -30, 40);
    viewpoint["direction"] = Point(0, 2, 0); // normalised when read
    viewpoint["cameraFactor"] = 45.5;
    viewpoint["creatingTool"] = 7; // ignored members need no kind
    const Lines lines = Play(Select(viewpoint));
    EXPECT_EQ(ResultOf(lines, "SelectViewpoint"), true) << Dump(lines);
    const Lines projections = With(lines, "projection");
    ASSERT_EQ(projections.size(), 1u) << Dump(lines);
    EXPECT_EQ(projections[0]["projection"], json::parse(R"({"perspective": true, "camera": [0.0, -30.0, 40.0],
        "target": [0.0, 20.0, 40.0], "viewCone": 45.5})"));
    EXPECT_EQ(With(lines, "window").back()["window"], 4) << "the 3D window comes to the front";
    EXPECT_TRUE(With(lines, "shown3D").empty()) << "all were shown already";
    EXPECT_TRUE(With(lines, "cuttingPlanes").empty()) << "no sections: the planes stay as they are";
}

TEST_F(ViewpointApplication, SectionsAreNormalisedAndOneObjectCountsAsAList) {
    json single = BaseViewpoint();
    single["sections"] = {{"location", Point(0, 0, 3)}, {"normal", Point(0, 0, 2)}};
    json two = BaseViewpoint();
    two["sections"] = json::array({{{"location", Point(2, 0, 0)}, {"normal", Point(-1, 0, 0)}},
                                   {{"location", Point(0, 0, 0)}, {"normal", Point(0, 0, 0)}}});
    const Lines lines = Play(Select(single) + Select(two) + Select(BaseViewpoint()));
    EXPECT_EQ(ResultOf(lines, "SelectViewpoint", 0), true) << Dump(lines);
    EXPECT_EQ(ResultOf(lines, "SelectViewpoint", 1), true);
    const Lines planes = With(lines, "cuttingPlanes");
    ASSERT_EQ(planes.size(), 2u) << "the empty list leaves the planes on" << Dump(lines);
    EXPECT_EQ(planes[0]["cuttingPlanes"], json::parse(R"({"on": true, "planes": [[0.0, 0.0, 1.0, 3.0]]})"));
    EXPECT_EQ(planes[1]["cuttingPlanes"],
              json::parse(R"({"on": true, "planes": [[-1.0, 0.0, 0.0, -2.0], [0.0, 0.0, 0.0, 0.0]]})"));
}

TEST_F(ViewpointApplication, VisibilityShowsTheExceptionsOrHidesThemThenSelects) {
    const Lines ids = Play(UploadedSnapshot() + json{{"host", {{"select", {W1, S1, W2, C1}}}}}.dump() + R"(
{"call": "AddViewpoint"})");
    const json all = Viewpoint(ids);
    ASSERT_TRUE(all.is_object()) << Dump(ids);
    std::vector<std::string> globalIds;
    for (const json& descriptor : all["selectedGlobalIds"])
        globalIds.push_back(descriptor["ifcGuid"]);
    ASSERT_EQ(globalIds.size(), 4u);

    json onlyFirst = BaseViewpoint();
    onlyFirst["visibility"] = false;
    onlyFirst["visbilityExceptionGlobalIds"] = {globalIds[0], "0UnknownGlobalId000000"};
    onlyFirst["selectedGlobalIds"] = {globalIds[2], globalIds[3]};
    json allButFirst = BaseViewpoint();
    allButFirst["visbilityExceptionGlobalIds"] = {globalIds[0]};
    json hiddenByDefaultButNoExceptions = BaseViewpoint();
    hiddenByDefaultButNoExceptions["visibility"] = false;
    const Lines lines = Play(Select(onlyFirst) + Select(allButFirst) + Select(hiddenByDefaultButNoExceptions));
    const Lines shown = With(lines, "shown3D");
    ASSERT_EQ(shown.size(), 4u) << Dump(lines);
    EXPECT_EQ(shown[0]["shown3D"], json({globalIds[0]})) << "only the exception, unknown ones dropped";
    EXPECT_EQ(shown[1]["shown3D"], "all") << "the next viewpoint starts from all shown";
    EXPECT_EQ(shown[2]["shown3D"], json({globalIds[1], globalIds[2], globalIds[3]}));
    EXPECT_EQ(shown[3]["shown3D"], "all") << "no exceptions: everything, whatever visibility says";
    const Lines selections = With(lines, "selection");
    ASSERT_FALSE(selections.empty());
    EXPECT_EQ(selections[0]["selection"], json({globalIds[2], globalIds[3]})) << Dump(lines);
}

TEST_F(ViewpointApplication, AFailedShowAllStopsAfterTheProjection) {
    json viewpoint = BaseViewpoint();
    viewpoint["sections"] = {{"location", Point(0, 0, 3)}, {"normal", Point(0, 0, 1)}};
    const Lines lines = Play(R"({"host": {"fail": ["SA3D"]}})" + std::string("\n") + Select(viewpoint));
    EXPECT_EQ(ResultOf(lines, "SelectViewpoint"), true) << Dump(lines);
    EXPECT_EQ(With(lines, "projection").size(), 1u);
    EXPECT_TRUE(With(lines, "cuttingPlanes").empty());
    EXPECT_TRUE(With(lines, "window").empty());
}

TEST_F(ViewpointApplication, ParallelScaleGuards) {
    json parallel = BaseViewpoint();
    parallel["cameraType"] = 1;
    parallel["direction"] = Point(0, 1, 0);
    parallel["up"] = Point(0, 0, 1);
    json zeroFactor = parallel;
    zeroFactor["cameraFactor"] = 0;
    json atTheCentre = parallel;
    atTheCentre["location"] = Point(0, 0, 0);
    const Lines lines =
        Play(Select(zeroFactor) + R"({"host": {"window3D": {"size": [0, 0]}}})" + "\n" + Select(parallel) +
             R"({"host": {"window3D": {"size": [800, 600]}}})" + "\n" + Select(atTheCentre) +
             R"({"host": {"projection": {"perspective": true, "viewCone": 0}}})" + "\n" + Select(parallel));
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_EQ(ResultOf(lines, "SelectViewpoint", i), true) << i << Dump(lines);
    EXPECT_EQ(With(lines, "zoom3D").size(), 4u) << "every parallel viewpoint ends with a zoom";
    const Lines windows = With(lines, "window3D");
    // The zero factor divides by 1; the unreadable size, the camera on the centre and the zero cone change nothing.
    ASSERT_EQ(windows.size(), 3u) << Dump(lines);
    const json& scaled = windows[0]["window3D"];
    EXPECT_EQ(scaled["useScales"], true);
    EXPECT_GT(scaled["scales"][0].get<double>(), 0.0);
    EXPECT_TRUE(std::isfinite(scaled["offsets"][0].get<double>()));
    for (const json& line : lines)
        EXPECT_EQ(line.dump().find("null"), std::string::npos) << "no number became null: " << line.dump();
}

// ---- Round trips ----

class ViewpointRoundTrip : public Fixture {
protected:
    // Captures the scene `setUp` makes, disturbs the host, applies the capture and captures again.
    std::pair<json, json> RoundTrip(const std::string& setUp, Lines* all = nullptr) {
        const Lines first = Play(UploadedSnapshot() + setUp + R"({"call": "AddViewpoint"})");
        json captured = Viewpoint(first);
        EXPECT_TRUE(captured.is_object()) << Dump(first);
        if (!captured.is_object()) return {};
        const std::string disturb =
            R"({"host": {"projection": {"perspective": true, "camera": [50, 50, 50], "target": [0, 0, 0]}, )"
            R"("window3D": {"useScales": false, "scales": [1, 1], "offsets": [0, 0]}, )"
            R"("show3D": "all", "select": [], "cuttingPlanes": {"on": false, "planes": []}}})";
        const Lines second = Play(UploadedSnapshot() + setUp + disturb + "\n" + Select(AsThePageGivesIt(captured)) +
                                  R"({"call": "AddViewpoint"})");
        EXPECT_EQ(ResultOf(second, "SelectViewpoint"), true) << Dump(second);
        if (all != nullptr) *all = second;
        json again = Viewpoint(second);
        // Each run uploads its own snapshot.
        for (json* viewpoint : {&captured, &again}) {
            viewpoint->erase("localImage");
            viewpoint->erase("imageId");
        }
        return {captured, again};
    }
};

const std::string Scene = json{{"host",
                                {{"show3D", {W1, S1, C1}},
                                 {"select", {C1, W2}},
                                 {"cuttingPlanes", {{"on", true}, {"planes", {{0, 0, 1, 2.5}, {0.6, 0.8, 0, 4}}}}}}}}
                              .dump() +
                          "\n";

TEST_F(ViewpointRoundTrip, PerspectiveWithoutSurveyPoint) {
    const auto [captured, again] = RoundTrip(
        Scene + R"({"host": {"projection": {"camera": [-12, -8, 6], "target": [5, 5, 1], "viewCone": 50}}})" + "\n");
    EXPECT_TRUE(Near(captured, again)) << captured.dump() << "\n" << again.dump();
    EXPECT_EQ(captured["visbilityExceptionGlobalIds"].size(), 1u);
    EXPECT_EQ(captured["selectedGlobalIds"].size(), 2u);
    EXPECT_EQ(captured["sections"].size(), 2u);
}

TEST_F(ViewpointRoundTrip, PerspectiveWithSurveyPoint) {
    // A turn about the vertical by 30 degrees and a shift.
    const double c = std::cos(3.14159265358979323846 / 6.0);
    const double s = std::sin(3.14159265358979323846 / 6.0);
    const json survey = {c, -s, 0, 1000, s, c, 0, -250, 0, 0, 1, 12};
    const auto [captured, again] = RoundTrip(Scene + json{{"host", {{"survey", survey}}}}.dump() + "\n" +
                                             R"({"host": {"projection": {"camera": [-12, -8, 6], )"
                                             R"("target": [5, 5, 1], "viewCone": 50}}})" +
                                             "\n");
    EXPECT_TRUE(Near(captured, again)) << captured.dump() << "\n" << again.dump();
    EXPECT_GT(captured["location"]["x"].get<double>(), 900.0) << "written in survey terms";
}

TEST_F(ViewpointRoundTrip, ParallelViewComesBackWithItsScaleAndOffsets) {
    const std::string window =
        R"({"host": {"window3D": {"useScales": true, "scales": [14, 14], "offsets": [130, -410]}, )"
        R"("projection": {"perspective": false, "orientation": [-0.6, -0.8, 0, 0, 0, 0, 1, 0, 0.8, -0.6, 0, 0]}}})";
    Lines applied;
    const auto [captured, again] = RoundTrip(Scene + window + "\n", &applied);
    EXPECT_TRUE(Near(captured, again)) << captured.dump() << "\n" << again.dump();
    const Lines windows = With(applied, "window3D");
    ASSERT_FALSE(windows.empty()) << Dump(applied);
    const json& last = windows.back()["window3D"];
    EXPECT_TRUE(Near(last["scales"], json({14, 14}))) << last.dump();
    EXPECT_TRUE(Near(last["offsets"], json({130, -410}))) << last.dump();
    const Lines projections = With(applied, "projection");
    ASSERT_FALSE(projections.empty());
    EXPECT_EQ(projections.back()["projection"]["perspective"], false);
    EXPECT_TRUE(Near(projections.back()["projection"]["orientation"], json({-0.6, -0.8, 0, 0, 0, 1, 0.8, -0.6, 0})));
}

TEST_F(ViewpointRoundTrip, ParallelViewWithSurveyPoint) {
    const json survey = {0, -1, 0, 100, 1, 0, 0, 200, 0, 0, 1, 5};
    const std::string window =
        R"({"host": {"window3D": {"useScales": true, "scales": [9, 9], "offsets": [300, -200]}, )"
        R"("projection": {"perspective": false, "orientation": [-0.6, -0.8, 0, 0, 0, 0, 1, 0, 0.8, -0.6, 0, 0]}}})";
    Lines applied;
    const auto [captured, again] =
        RoundTrip(Scene + json{{"host", {{"survey", survey}}}}.dump() + "\n" + window + "\n", &applied);
    EXPECT_TRUE(Near(captured, again)) << captured.dump() << "\n" << again.dump();
    const Lines windows = With(applied, "window3D");
    ASSERT_FALSE(windows.empty()) << Dump(applied);
    const json& last = windows.back()["window3D"];
    EXPECT_TRUE(Near(last["scales"], json({9, 9}))) << last.dump();
    EXPECT_TRUE(Near(last["offsets"], json({300, -200}))) << last.dump();
}

} // namespace
