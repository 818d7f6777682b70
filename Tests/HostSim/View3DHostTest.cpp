// The host's 3D window called as an add-on calls it: projection, window mapping, shown elements, survey point,
// the picture it saves, and the scenario settings of all these.

#include "HostSimTestSupport.hpp"

#include "HostServices.hpp"
#include "View3D.hpp"

#include "Location.hpp"

#include <gtest/gtest.h>
#include <png.h>

#include <filesystem>
#include <vector>

namespace {

using namespace HostSimTest;
using HostSim::HostServices;

const char* const A = "{11111111-2222-3333-4444-555555555555}";
const char* const B = "{22222222-2222-4222-8222-222222222222}";
const char* const D = "{44444444-4444-4444-8444-444444444444}";
const std::string AOwn = "0H4H4H8Y8pCqH4LLLLLLLL";
const std::string BOwn = "2SharedByStoreyAndB000";

API_Guid G(const char* text) {
    return GSGuid2APIGuid(GS::Guid(text));
}

struct Picture {
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    std::size_t dark = 0; // pixels that are not white
};

std::optional<Picture> ReadPicture(const std::filesystem::path& file) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (png_image_begin_read_from_file(&image, file.string().c_str()) == 0) return std::nullopt;
    image.format = PNG_FORMAT_GRAY;
    std::vector<png_byte> pixels(PNG_IMAGE_SIZE(image));
    if (png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr) == 0) return std::nullopt;
    Picture picture{image.width, image.height, 0};
    for (png_byte value : pixels)
        if (value < 128) ++picture.dark;
    return picture;
}

class View3DHostTest : public ::testing::Test {
protected:
    View3DHostTest() : services(transcript, std::make_shared<HostSim::MainThread>()) {
        services.GetState().project =
            HostSim::LoadProjectDescription(std::string(HOSTSIM_TEST_DATA_DIR) + "/ModelProject.json");
        EXPECT_TRUE(services.Activate());
        table = services.MakeTable();
        token = services.GetHostToken();
        services.SetTokenPhase(HostServices::TokenPhase::Issued);
    }

    GSErrCode Command(UInt32 code, void* arg1 = nullptr, void* arg2 = nullptr) {
        return table.command(token, code, arg1, arg2, nullptr, nullptr);
    }
    bool Shown(const char* guid) {
        const API_Guid element = G(guid);
        bool passes = false;
        EXPECT_EQ(table.elementFilter(token, &element, APIFilt_In3D, &passes), NoError);
        return passes;
    }
    GSErrCode SavePicture(const std::filesystem::path& file) {
        IO::Location location(file.string().c_str());
        API_FileSavePars save;
        save.fileTypeID = APIFType_PNGFile;
        save.file = &location;
        API_SavePars_Picture picture;
        picture.colorDepth = APIColorDepth_TC32;
        picture.crop = 1;
        picture.keepSelectionHighlight = 1;
        return table.saveProject(token, &save, &picture, nullptr);
    }
    Lines With(const std::string& key) const { return QuillmarTest::With(transcript->GetLines(), key); }

    std::shared_ptr<HostSim::Transcript> transcript = std::make_shared<HostSim::Transcript>();
    HostServices services;
    API_HostFunctionTable table{};
    void* token = nullptr;
    TempFolder folder;
};

TEST_F(View3DHostTest, ActiveWindowIsReportedIntoAFreshRecord) {
    API_WindowInfo window;
    window.index = 9;
    ASSERT_EQ(Command(APICmd_GetActiveWindow, &window), NoError);
    EXPECT_EQ(window.typeID, APIWind_FloorPlanID);
    EXPECT_EQ(window.index, 0);
    services.SetActiveWindow(APIWind_3DModelID);
    ASSERT_EQ(Command(APICmd_GetActiveWindow, &window), NoError);
    EXPECT_EQ(window.typeID, APIWind_3DModelID);
    EXPECT_EQ(Command(APICmd_GetActiveWindow), APIERR_BADPARS);
}

TEST_F(View3DHostTest, ProjectionChangesWholeOrOnlyItsMode) {
    API_3DProjectionInfo perspective;
    perspective.isPersp = true;
    perspective.persp.viewCone = 45.0;
    perspective.persp.pos = {1.0, 2.0};
    perspective.persp.cameraZ = 3.0;
    perspective.persp.target = {4.0, 6.0};
    perspective.persp.targetZ = 3.0;
    ASSERT_EQ(Command(APICmd_Change3DProjection, &perspective), NoError);

    API_3DProjectionInfo parallel;
    parallel.axono.tranmat.tmx[1] = 1.0;
    parallel.axono.tranmat.tmx[6] = 1.0;
    parallel.axono.tranmat.tmx[8] = 1.0;
    ASSERT_EQ(Command(APICmd_Change3DProjection, &parallel), NoError);
    API_3DProjectionInfo read;
    ASSERT_EQ(Command(APICmd_Get3DProjection, &read), NoError);
    EXPECT_FALSE(read.isPersp);
    EXPECT_EQ(read.axono.tranmat.tmx[1], 1.0);
    EXPECT_EQ(read.persp.viewCone, 45.0) << "a parallel change keeps the perspective camera";

    // Only the mode: the record's camera (all zero here) is not taken.
    API_3DProjectionInfo modeOnly;
    modeOnly.isPersp = true;
    bool onlyMode = true;
    ASSERT_EQ(Command(APICmd_Change3DProjection, &modeOnly, &onlyMode), NoError);
    ASSERT_EQ(Command(APICmd_Get3DProjection, &read), NoError);
    EXPECT_TRUE(read.isPersp);
    EXPECT_EQ(read.persp.pos.y, 2.0);
    EXPECT_EQ(read.persp.target.y, 6.0);
    // A false flag is a whole change.
    onlyMode = false;
    ASSERT_EQ(Command(APICmd_Change3DProjection, &modeOnly, &onlyMode), NoError);
    ASSERT_EQ(Command(APICmd_Get3DProjection, &read), NoError);
    EXPECT_EQ(read.persp.pos.y, 0.0);

    const Lines lines = With("projection");
    ASSERT_EQ(lines.size(), 4u) << Dump(transcript->GetLines());
    EXPECT_EQ(lines[0]["projection"], json::parse(R"({"perspective": true, "camera": [1.0, 2.0, 3.0],
        "target": [4.0, 6.0, 3.0], "viewCone": 45.0})"));
    EXPECT_EQ(lines[1]["projection"]["orientation"], json({0.0, 1.0, 0.0, 0.0, 0.0, 1.0, 1.0, 0.0, 0.0}));
    ASSERT_EQ(Command(APICmd_Change3DProjection, &modeOnly), NoError);
    EXPECT_EQ(With("projection").size(), 4u) << "no line when nothing changed";
    EXPECT_EQ(Command(APICmd_Change3DProjection), APIERR_BADPARS);
}

TEST_F(View3DHostTest, ShowSelectionHidesTheRestAndShowAllUndoesIt) {
    EXPECT_TRUE(Shown(A));
    EXPECT_FALSE(Shown(D)) << "hidden by the project description";
    services.GetState().selection = {G(B)};
    ASSERT_EQ(Command(APICmd_ShowSelectionIn3D), NoError);
    EXPECT_FALSE(Shown(A));
    EXPECT_TRUE(Shown(B));
    GS::Array<API_Guid> inView;
    ASSERT_EQ(table.getElementList(token, API_AnyElemTypeID, nullptr, APIFilt_In3D, nullptr, &inView), NoError);
    EXPECT_EQ(inView.GetSize(), 1u);
    ASSERT_EQ(Command(APICmd_ShowAllIn3D), NoError);
    EXPECT_TRUE(Shown(A));
    EXPECT_TRUE(Shown(D));
    ASSERT_EQ(Command(APICmd_ShowAllIn3D), NoError);
    // An empty selection shows everything, as the host's command does.
    services.GetState().selection.clear();
    ASSERT_EQ(Command(APICmd_ShowSelectionIn3D), NoError);
    EXPECT_TRUE(Shown(A));
    EXPECT_EQ(With("shown3D"), Lines({json{{"shown3D", {BOwn}}}, json{{"shown3D", "all"}}}))
        << Dump(transcript->GetLines());

    bool passes = true;
    const API_Guid unknown = G("{99999999-9999-4999-8999-999999999999}");
    EXPECT_EQ(table.elementFilter(token, &unknown, APIFilt_In3D, &passes), APIERR_GENERAL);
    EXPECT_EQ(table.elementFilter(token, nullptr, APIFilt_In3D, &passes), APIERR_BADPARS);
    services.GetState().selection = {G(B)};
    Command(APICmd_ShowSelectionIn3D);
    const API_Guid a = G(A);
    ASSERT_EQ(table.elementFilter(token, &a, 0, &passes), NoError);
    EXPECT_TRUE(passes) << "without the 3D flag a hidden element still passes";
}

TEST_F(View3DHostTest, WindowSettingsKeepTheWindowsOwnSize) {
    API_3DWindowInfo window;
    ASSERT_EQ(Command(APICmd_Get3DWindowSets, &window), NoError);
    EXPECT_EQ(window.hSize, 800);
    EXPECT_EQ(window.vSize, 600);
    window.hSize = 10;
    window.useScales = 1;
    window.hScale = 2.5;
    window.vScale = 2.5;
    window.xOffset = 400.0;
    window.yOffset = -300.0;
    ASSERT_EQ(Command(APICmd_Change3DWindowSets, &window), NoError);
    API_3DWindowInfo read;
    ASSERT_EQ(Command(APICmd_Get3DWindowSets, &read), NoError);
    EXPECT_EQ(read.hSize, 800);
    EXPECT_EQ(read.hScale, 2.5);
    EXPECT_EQ(read.yOffset, -300.0);
    EXPECT_EQ(With("window3D"),
              Lines({json::parse(R"({"window3D": {"size": [800, 600], "useScales": true, "scales": [2.5, 2.5],
                  "offsets": [400.0, -300.0]}})")}));
    EXPECT_EQ(Command(APICmd_Get3DWindowSets), APIERR_BADPARS);
}

TEST_F(View3DHostTest, SurveyPointOnlyWhenTheProjectHasOne) {
    API_Tranmat matrix;
    EXPECT_EQ(Command(APICmd_GetSurveyPointTransformation, &matrix), APIERR_GENERAL);
    API_Tranmat survey;
    survey.tmx[1] = -1.0;
    survey.tmx[4] = 1.0;
    survey.tmx[10] = 1.0;
    survey.tmx[3] = 100.0;
    services.SetSurvey(survey);
    ASSERT_EQ(Command(APICmd_GetSurveyPointTransformation, &matrix), NoError);
    EXPECT_EQ(matrix.tmx[1], -1.0);
    EXPECT_EQ(matrix.tmx[3], 100.0);
    services.SetSurvey(std::nullopt);
    EXPECT_EQ(Command(APICmd_GetSurveyPointTransformation, &matrix), APIERR_GENERAL);
    EXPECT_EQ(With("survey").size(), 2u);
    EXPECT_TRUE(With("survey").back()["survey"].is_null());
}

TEST_F(View3DHostTest, ZoomFitsOnlyWithoutArguments) {
    ASSERT_EQ(Command(APICmd_Zoom), NoError);
    EXPECT_EQ(With("zoom3D"), Lines({json{{"zoom3D", "fit"}}}));
    double box[6] = {};
    EXPECT_EQ(Command(APICmd_Zoom, box), APIERR_BADPARS);
}

TEST_F(View3DHostTest, EachOperationFailsOnRequest) {
    services.GetState().failing = {"GP3D", "SA3D", "elementFilter"};
    API_3DProjectionInfo read;
    read.persp.viewCone = 7.0;
    EXPECT_EQ(Command(APICmd_Get3DProjection, &read), APIERR_GENERAL);
    EXPECT_EQ(read.persp.viewCone, 7.0) << "a failed read leaves the record alone";
    services.GetState().selection = {G(B)};
    Command(APICmd_ShowSelectionIn3D);
    EXPECT_EQ(Command(APICmd_ShowAllIn3D), APIERR_GENERAL);
    bool passes = false;
    const API_Guid b = G(B);
    EXPECT_EQ(table.elementFilter(token, &b, APIFilt_In3D, &passes), APIERR_GENERAL);
    EXPECT_FALSE(services.GetState().project.FindElement(G(A))->shownIn3D);
    EXPECT_EQ(With("failed").size(), 3u);
}

TEST_F(View3DHostTest, PictureIsARealPngOfTheShownElements) {
    services.SetActiveWindow(APIWind_3DModelID);
    // The camera looks at the model's two boxed elements from the default position.
    const auto file = folder / "view.png";
    ASSERT_EQ(SavePicture(file), NoError);
    const std::optional<Picture> picture = ReadPicture(file);
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->width, 800u);
    EXPECT_EQ(picture->height, 600u);
    EXPECT_GT(picture->dark, 100u);
    EXPECT_EQ(services.GetState().savedFiles, std::vector<std::string>{file.string()});

    // Nothing shown: a blank picture.
    services.ShowIn3D({G(D)});
    ASSERT_EQ(SavePicture(folder / "blank.png"), NoError);
    EXPECT_EQ(ReadPicture(folder / "blank.png")->dark, 0u);

    // A camera that stands inside a box still draws and ends.
    API_3DProjectionInfo inside = services.GetState().view3D.projection;
    inside.persp.pos = {2.0, 3.0};
    inside.persp.cameraZ = -0.1;
    services.SetProjection(inside);
    services.ShowAllIn3D();
    EXPECT_EQ(SavePicture(folder / "inside.png"), NoError);

    const Lines saved = With("saved");
    ASSERT_EQ(saved.size(), 3u);
    EXPECT_EQ(saved[0]["saved"],
              json({{"file", file.string()}, {"type", APIFType_PNGFile}, {"width", 800}, {"height", 600}}));
}

TEST_F(View3DHostTest, PictureOfAParallelViewAndOfAWindowWithoutSize) {
    services.SetActiveWindow(APIWind_3DModelID);
    API_3DProjectionInfo parallel = services.GetState().view3D.projection;
    parallel.isPersp = false;
    services.SetProjection(parallel);
    API_3DWindowInfo window = services.GetState().view3D.window;
    window.hSize = 0;
    services.SetWindow3D(window);
    ASSERT_EQ(SavePicture(folder / "parallel.png"), NoError);
    const std::optional<Picture> picture = ReadPicture(folder / "parallel.png");
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->width, 640u);
    EXPECT_EQ(picture->height, 480u);
    EXPECT_GT(picture->dark, 100u);
}

TEST_F(View3DHostTest, PictureRefusedOutsideThe3DWindowOrWithoutParameters) {
    const auto file = folder / "plan.png";
    EXPECT_EQ(SavePicture(file), APIERR_NOTSUPPORTED);
    services.SetActiveWindow(APIWind_3DModelID);
    IO::Location location(file.string().c_str());
    API_FileSavePars save;
    save.fileTypeID = APIFType_PNGFile;
    save.file = &location;
    EXPECT_EQ(table.saveProject(token, &save, nullptr, nullptr), APIERR_BADPARS);
    EXPECT_EQ(SavePicture(folder / "missing" / "view.png"), APIERR_GENERAL);
    EXPECT_FALSE(std::filesystem::exists(file));
    EXPECT_TRUE(services.GetState().savedFiles.empty());
}

// ---- Scenario settings ----

HostSim::HostOptions ModelOptions() {
    HostSim::HostOptions options = FakeOptions();
    options.project = std::string(HOSTSIM_TEST_DATA_DIR) + "/ModelProject.json";
    return options;
}

TEST(Scenario3DView, SettingsChangeWhatTheyNameAndWriteTheirLines) {
    const Lines lines =
        RunScenario(R"({"host": {"projection": {"camera": [1, 2, 3], "target": [1, 12, 3], "viewCone": 30}}}
{"host": {"projection": {"perspective": false, "orientation": [1, 0, 0, 0, 0, 0, 1, 0, 0, -1, 0, 0]}}}
{"host": {"window3D": {"size": [1024, 768]}, "survey": [1, 0, 0, 10, 0, 1, 0, 20, 0, 0, 1, 0]}}
{"host": {"survey": null}}
{"host": {"survey": null}})",
                    ModelOptions());
    EXPECT_TRUE(With(lines, "error").empty()) << Dump(lines);
    const Lines projections = With(lines, "projection");
    ASSERT_EQ(projections.size(), 2u) << Dump(lines);
    EXPECT_EQ(projections[0]["projection"]["camera"], json({1.0, 2.0, 3.0}));
    EXPECT_EQ(projections[0]["projection"]["viewCone"], 30.0);
    EXPECT_EQ(projections[1]["projection"]["orientation"], json({1.0, 0.0, 0.0, 0.0, 0.0, 1.0, 0.0, -1.0, 0.0}));
    EXPECT_EQ(With(lines, "window3D").at(0)["window3D"]["size"], json({1024, 768}));
    EXPECT_EQ(With(lines, "survey").size(), 2u);
}

TEST(Scenario3DView, BadSettingsChangeNothing) {
    const Lines lines = RunScenario(R"({"host": {"projection": {"camera": [1, 2]}}}
{"host": {"projection": {"perspective": 1}}}
{"host": {"projection": {"zoom": 2}}}
{"host": {"projection": []}}
{"host": {"window3D": {"size": [-1, 5]}}}
{"host": {"window3D": {"size": [1.5, 5]}}}
{"host": {"survey": [1, 0, 0]}}
{"host": {"survey": "none"}})",
                                    ModelOptions());
    const Lines errors = With(lines, "error");
    ASSERT_EQ(errors.size(), 8u) << Dump(lines);
    EXPECT_EQ(errors[0]["error"], "host: \"projection\": \"camera\" must be an array of 3 numbers");
    EXPECT_EQ(errors[6]["error"],
              "host: \"survey\" (null or a 3x4 matrix in row order) must be an array of 12 numbers");
    EXPECT_TRUE(With(lines, "projection").empty());
    EXPECT_TRUE(With(lines, "window3D").empty());
    EXPECT_TRUE(With(lines, "survey").empty());
}

TEST(View3DParsing, PerspectiveDistanceFollowsCameraAndTarget) {
    const HostSim::View3DState view;
    const API_3DProjectionInfo changed =
        HostSim::ParseProjection(json::parse(R"({"camera": [0, 0, 0], "target": [3, 4, 12]})"), view.projection);
    EXPECT_DOUBLE_EQ(changed.persp.distance, 13.0);
    EXPECT_EQ(changed.persp.viewCone, view.projection.persp.viewCone);
    const API_3DProjectionInfo nine =
        HostSim::ParseProjection(json::parse(R"({"orientation": [0, 1, 0, 0, 0, 1, 1, 0, 0]})"), view.projection);
    EXPECT_EQ(nine.axono.tranmat.tmx[1], 1.0);
    EXPECT_EQ(nine.axono.tranmat.tmx[3], 0.0) << "the translation column stays";
    EXPECT_EQ(nine.axono.tranmat.tmx[8], 1.0);
}

} // namespace
