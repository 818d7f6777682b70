// The host's 3D window called as an add-on calls it: projection, window mapping, shown elements, survey point,
// the picture it saves, and the scenario settings of all these.

#include "HostSimTestSupport.hpp"

#include "HostServices.hpp"
#include "View3D.hpp"

#include "Location.hpp"

#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <optional>
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

// A picture's pixels, read back as RGB, and what the tests look at in them.
struct Pixels {
    int width = 0;
    int height = 0;
    std::vector<png_byte> rgb;

    const png_byte* At(int x, int y) const {
        return &rgb[(static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)) * 3];
    }
    bool Drawn(int x, int y) const {
        const png_byte* p = At(x, y);
        return p[0] != 255 || p[1] != 255 || p[2] != 255;
    }
    // The highlight colour is blue; the other colours are greys.
    bool Highlighted(int x, int y) const {
        const png_byte* p = At(x, y);
        return p[2] > p[0] + 60;
    }
    // The smallest rectangle holding every drawn pixel: left, top, right, bottom (inclusive); none when blank.
    std::optional<std::array<int, 4>> DrawnBox() const {
        std::optional<std::array<int, 4>> box;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                if (!Drawn(x, y)) continue;
                if (!box) box = std::array<int, 4>{x, y, x, y};
                (*box)[0] = std::min((*box)[0], x);
                (*box)[1] = std::min((*box)[1], y);
                (*box)[2] = std::max((*box)[2], x);
                (*box)[3] = std::max((*box)[3], y);
            }
        }
        return box;
    }
    std::size_t CountHighlighted() const {
        std::size_t count = 0;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                count += Highlighted(x, y) ? 1 : 0;
        return count;
    }
};

std::optional<Pixels> ReadPixels(const std::filesystem::path& file) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (png_image_begin_read_from_file(&image, file.string().c_str()) == 0) return std::nullopt;
    image.format = PNG_FORMAT_RGB;
    Pixels pixels{static_cast<int>(image.width), static_cast<int>(image.height),
                  std::vector<png_byte>(PNG_IMAGE_SIZE(image))};
    if (png_image_finish_read(&image, nullptr, pixels.rgb.data(), 0, nullptr) == 0) return std::nullopt;
    return pixels;
}

// Within two pixels: edges are drawn at the pixel a projected corner falls in.
::testing::AssertionResult BoxNear(const std::optional<std::array<int, 4>>& box, std::array<int, 4> expected) {
    if (!box) return ::testing::AssertionFailure() << "the picture is blank";
    for (std::size_t i = 0; i < 4; ++i) {
        if (std::abs((*box)[i] - expected[i]) > 2)
            return ::testing::AssertionFailure()
                   << "drawn box " << (*box)[0] << "," << (*box)[1] << " - " << (*box)[2] << "," << (*box)[3]
                   << ", expected " << expected[0] << "," << expected[1] << " - " << expected[2] << "," << expected[3];
    }
    return ::testing::AssertionSuccess();
}

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
    GSErrCode SavePicture(const std::filesystem::path& file, bool keepSelectionHighlight = true) {
        IO::Location location(file.string().c_str());
        API_FileSavePars save;
        save.fileTypeID = APIFType_PNGFile;
        save.file = &location;
        API_SavePars_Picture picture;
        picture.colorDepth = APIColorDepth_TC32;
        picture.crop = 1;
        picture.keepSelectionHighlight = keepSelectionHighlight ? 1 : 0;
        return table.saveProject(token, &save, &picture, nullptr);
    }
    // Saves a picture of the 3D window and reads it back.
    Pixels Snap(const std::string& name, bool keepSelectionHighlight = true) {
        const auto file = folder / (name + ".png");
        EXPECT_EQ(SavePicture(file, keepSelectionHighlight), NoError);
        std::optional<Pixels> pixels = ReadPixels(file);
        EXPECT_TRUE(pixels) << name;
        return pixels.value_or(Pixels{});
    }
    // The front view: looking along +y, x to the right, z up; with the window's mapping a model point (x, y, z)
    // lands at pixel (100 + 50 x, 500 - 50 z), so wall A (x 0..4, z 0..3) covers 100..300 x 350..500 and slab B
    // (z -0.3..0) the 15 pixels below it.
    void FrontView() {
        services.SetActiveWindow(APIWind_3DModelID);
        API_3DProjectionInfo parallel = services.GetState().view3D.projection;
        parallel.isPersp = false;
        services.SetProjection(parallel);
        API_3DWindowInfo window = services.GetState().view3D.window;
        window.useScales = 1;
        window.hScale = 50.0;
        window.vScale = 50.0;
        window.xOffset = 100.0;
        window.yOffset = -500.0;
        services.SetWindow3D(window);
    }
    void Cut(bool on, std::vector<std::array<double, 4>> planes) {
        std::vector<API_3DCutShapeType> shapes;
        for (const auto& [a, b, c, d] : planes) {
            API_3DCutShapeType shape;
            shape.pa = a;
            shape.pb = b;
            shape.pc = c;
            shape.pd = d;
            shapes.push_back(shape);
        }
        services.SetCuttingPlanes(on, std::move(shapes));
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
    EXPECT_EQ(saved[0]["saved"], json({{"file", file.string()},
                                       {"type", APIFType_PNGFile},
                                       {"colorDepth", 7},
                                       {"dithered", false},
                                       {"view2D", false},
                                       {"crop", true},
                                       {"keepSelectionHighlight", true},
                                       {"width", 800},
                                       {"height", 600}}));
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

TEST_F(View3DHostTest, PictureRefusedAsJpegOrWithoutParameters) {
    const auto file = folder / "view.png";
    services.SetActiveWindow(APIWind_3DModelID);
    IO::Location location(file.string().c_str());
    API_FileSavePars save;
    save.fileTypeID = APIFType_JPGFile;
    save.file = &location;
    API_SavePars_Picture picture;
    picture.colorDepth = APIColorDepth_TC24;
    EXPECT_EQ(table.saveProject(token, &save, &picture, nullptr), APIERR_NOTSUPPORTED) << "only plans as JPEG";
    save.fileTypeID = APIFType_PNGFile;
    EXPECT_EQ(table.saveProject(token, &save, nullptr, nullptr), APIERR_BADPARS);
    EXPECT_EQ(SavePicture(folder / "missing" / "view.png"), APIERR_GENERAL);
    EXPECT_FALSE(std::filesystem::exists(file));
    EXPECT_TRUE(services.GetState().savedFiles.empty());
}

TEST_F(View3DHostTest, ParallelPictureFollowsTheWindowsScalesAndOffsets) {
    FrontView();
    EXPECT_TRUE(BoxNear(Snap("front").DrawnBox(), {100, 350, 300, 515}));

    // Each scale works along its own axis.
    API_3DWindowInfo window = services.GetState().view3D.window;
    window.hScale = 25.0;
    window.xOffset = 300.0;
    services.SetWindow3D(window);
    EXPECT_TRUE(BoxNear(Snap("narrow").DrawnBox(), {300, 350, 400, 515}));

    // Without its scales the window keeps its own mapping: 20 pixels a metre about the picture's centre.
    window.useScales = 0;
    services.SetWindow3D(window);
    EXPECT_TRUE(BoxNear(Snap("unscaled").DrawnBox(), {400, 240, 480, 306}));
}

TEST_F(View3DHostTest, ZoomFitsWhatIsShownUntilTheViewChanges) {
    services.SetActiveWindow(APIWind_3DModelID);
    const std::optional<std::array<int, 4>> before = Snap("before").DrawnBox();
    ASSERT_TRUE(before);
    const int widthBefore = (*before)[2] - (*before)[0];
    const int heightBefore = (*before)[3] - (*before)[1];

    ASSERT_EQ(Command(APICmd_Zoom), NoError);
    const std::optional<std::array<int, 4>> fitted = Snap("fitted").DrawnBox();
    ASSERT_TRUE(fitted);
    const int width = (*fitted)[2] - (*fitted)[0];
    const int height = (*fitted)[3] - (*fitted)[1];
    EXPECT_GT(width * height, 2 * widthBefore * heightBefore) << "the fitted view fills more of the picture";
    // Filled to the margin of 5 % along one side, and centred.
    EXPECT_TRUE(std::abs(width - 720) <= 2 || std::abs(height - 540) <= 2) << width << " x " << height;
    EXPECT_GE((*fitted)[0], 38);
    EXPECT_GE((*fitted)[1], 28);
    EXPECT_LE((*fitted)[2], 762);
    EXPECT_LE((*fitted)[3], 572);
    EXPECT_NEAR(((*fitted)[0] + (*fitted)[2]) / 2.0, 400.0, 2.0);
    EXPECT_NEAR(((*fitted)[1] + (*fitted)[3]) / 2.0, 300.0, 2.0);
    EXPECT_EQ(With("zoom3D").size(), 1u);

    // The fit stays while the camera does, and ends with a new one.
    services.ShowIn3D({G(A)});
    EXPECT_TRUE(Snap("fittedWall").DrawnBox().has_value());
    services.ShowAllIn3D();
    EXPECT_EQ(Snap("again").DrawnBox(), fitted);
    API_3DProjectionInfo moved = services.GetState().view3D.projection;
    moved.persp.viewCone = 59.0;
    services.SetProjection(moved);
    moved.persp.viewCone = 60.0;
    services.SetProjection(moved);
    EXPECT_EQ(Snap("unfitted").DrawnBox(), before);
}

TEST_F(View3DHostTest, ZoomFitsAParallelViewAndNothingWhenNothingIsShown) {
    FrontView();
    API_3DWindowInfo window = services.GetState().view3D.window;
    window.hScale = 5.0;
    window.vScale = 5.0;
    services.SetWindow3D(window);
    ASSERT_EQ(Command(APICmd_Zoom), NoError);
    // Wall and slab are 4 m wide and 3.3 m high: the height fills 90 % of the 600 pixels, 32.7 pixels a metre.
    const std::optional<std::array<int, 4>> fitted = Snap("fitted").DrawnBox();
    EXPECT_TRUE(BoxNear(fitted, {73, 30, 727, 570}));
    EXPECT_EQ(services.GetState().view3D.window.hScale, 5.0) << "the window's settings stay as they were set";

    services.ShowIn3D({G(D)}); // D has no bounds: nothing to fit
    window.hScale = 6.0;
    services.SetWindow3D(window);
    ASSERT_EQ(Command(APICmd_Zoom), NoError);
    EXPECT_FALSE(services.GetState().view3D.fit.has_value());
    EXPECT_FALSE(Snap("blank").DrawnBox().has_value());
}

TEST_F(View3DHostTest, CuttingPlanesRemoveWhatLiesBeyondThem) {
    FrontView();
    // x > 2 is cut away: the right half of wall and slab is gone.
    Cut(true, {{1.0, 0.0, 0.0, 2.0}});
    const Pixels halved = Snap("halved");
    EXPECT_TRUE(BoxNear(halved.DrawnBox(), {100, 350, 200, 515}));
    EXPECT_FALSE(halved.Drawn(250, 420));
    // Two planes together: also z > 1.5.
    Cut(true, {{1.0, 0.0, 0.0, 2.0}, {0.0, 0.0, 1.0, 1.5}});
    EXPECT_TRUE(BoxNear(Snap("quartered").DrawnBox(), {100, 425, 200, 515}));
    // A plane that keeps only what lies above z = 100 leaves nothing.
    Cut(true, {{0.0, 0.0, -1.0, -100.0}});
    EXPECT_FALSE(Snap("gone").DrawnBox().has_value());
    // Planes that are off, and a plane without a normal, cut nothing.
    Cut(false, {{1.0, 0.0, 0.0, 2.0}});
    EXPECT_TRUE(BoxNear(Snap("off").DrawnBox(), {100, 350, 300, 515}));
    Cut(true, {{0.0, 0.0, 0.0, -1.0}});
    EXPECT_TRUE(BoxNear(Snap("degenerate").DrawnBox(), {100, 350, 300, 515}));
}

TEST_F(View3DHostTest, CutSolidsStayClosedAndHideWhatIsBehindThem) {
    // Looking down from above at the slab (x 0..4, y 0..6) cut by the plane x + y = 5: the cut face closes the
    // slab, and the wall standing on it (y 0..0.25) is the only thing seen from above over that strip.
    services.SetActiveWindow(APIWind_3DModelID);
    API_3DProjectionInfo top = services.GetState().view3D.projection;
    top.isPersp = false;
    double* m = top.axono.tranmat.tmx;
    std::fill(std::begin(top.axono.tranmat.tmx), std::end(top.axono.tranmat.tmx), 0.0);
    m[0] = 1.0;   // right: x
    m[5] = 1.0;   // up: y
    m[10] = -1.0; // looking down
    services.SetProjection(top);
    API_3DWindowInfo window = services.GetState().view3D.window;
    window.useScales = 1;
    window.hScale = 50.0;
    window.vScale = 50.0;
    window.xOffset = 100.0;
    window.yOffset = -500.0;
    services.SetWindow3D(window);
    Cut(true, {{1.0, 1.0, 0.0, 5.0}});
    const Pixels cut = Snap("cut");
    // (1, 1) is kept, (3.5, 3.5) cut away.
    EXPECT_TRUE(cut.Drawn(150, 450));
    EXPECT_FALSE(cut.Drawn(275, 325));
    EXPECT_TRUE(BoxNear(cut.DrawnBox(), {100, 250, 300, 500}));

    // The wall on top hides the slab under it: selected and highlighted, its strip shows in the highlight colour.
    services.GetState().selection = {G(A)};
    const Pixels highlighted = Snap("highlighted");
    EXPECT_TRUE(highlighted.Highlighted(150, 497));
    EXPECT_FALSE(highlighted.Highlighted(150, 450));
}

TEST_F(View3DHostTest, SelectedElementsAreHighlightedOnlyWhenTheSaveAsks) {
    FrontView();
    services.GetState().selection = {G(A)};
    const Pixels kept = Snap("kept");
    EXPECT_TRUE(kept.Highlighted(200, 420)) << "the selected wall";
    EXPECT_FALSE(kept.Highlighted(200, 508)) << "the slab is not selected";
    EXPECT_TRUE(kept.Drawn(200, 508));
    EXPECT_GT(kept.CountHighlighted(), 150u * 100u);

    const Pixels plain = Snap("plain", false);
    EXPECT_EQ(plain.CountHighlighted(), 0u);
    EXPECT_TRUE(plain.Drawn(200, 420));

    services.GetState().selection.clear();
    EXPECT_EQ(Snap("none").CountHighlighted(), 0u);
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
