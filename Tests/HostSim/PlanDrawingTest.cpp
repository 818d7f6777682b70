// The floor plan's writers, read back with the libraries other tools read such files with.

#include "PlanDrawing.hpp"
#include "PlanFiles.hpp"
#include "TempFolder.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <png.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <optional>
#include <vector>

namespace {

using namespace QuillmarTest;
using HostSim::PlanPictureFormat;

// Two boxed elements of two types and one without bounds: the drawing spans x 0..5 and y -1..5.
HostSim::ProjectDescription TwoFootprints() {
    return HostSim::ParseProjectDescription(nlohmann::json::parse(R"({"name": "Plan", "elements": [
        {"guid": "{11111111-0000-4000-8000-000000000001}", "typeID": 1,
         "bounds": {"xMin": 0, "yMin": 0, "zMin": 0, "xMax": 4, "yMax": 2, "zMax": 3}},
        {"guid": "{11111111-0000-4000-8000-000000000002}", "typeID": 2,
         "bounds": {"xMin": 3, "yMin": -1, "zMin": -5, "xMax": 5, "yMax": 5, "zMax": 0}},
        {"guid": "{11111111-0000-4000-8000-000000000003}", "typeID": 1}]})"));
}

// A unit square in the south-west corner and one in the north-east corner of a 10 m square.
HostSim::ProjectDescription Corners() {
    return HostSim::ParseProjectDescription(nlohmann::json::parse(R"({"name": "Corners", "elements": [
        {"guid": "{22222222-0000-4000-8000-000000000001}",
         "bounds": {"xMin": 0, "yMin": 0, "zMin": 0, "xMax": 1, "yMax": 1, "zMax": 1}},
        {"guid": "{22222222-0000-4000-8000-000000000002}",
         "bounds": {"xMin": 9, "yMin": 9, "zMin": 0, "xMax": 10, "yMax": 10, "zMax": 1}}]})"));
}

HostSim::ProjectDescription OneBox(double xMax, double yMax) {
    HostSim::ProjectDescription project;
    HostSim::ProjectElement element;
    element.bounds = API_Box3D{.xMin = 0.0, .yMin = 0.0, .xMax = xMax, .yMax = yMax, .zMin = 0.0, .zMax = 1.0};
    project.elements.push_back(element);
    return project;
}

API_SavePars_Picture Picture(Int32 depth, bool crop) {
    API_SavePars_Picture params;
    params.colorDepth = depth;
    params.view2D = 1;
    params.crop = crop ? 1 : 0;
    params.keepSelectionHighlight = 1;
    return params;
}

API_SavePars_Pdf Pdf(float sizeX, float sizeY, float left = 10.0f, float top = 10.0f, float right = 10.0f,
                     float bottom = 10.0f) {
    API_SavePars_Pdf params;
    params.leftMargin = left;
    params.topMargin = top;
    params.rightMargin = right;
    params.bottomMargin = bottom;
    params.sizeX = sizeX;
    params.sizeY = sizeY;
    return params;
}

struct Rgba {
    int width = 0;
    int height = 0;
    std::vector<png_byte> data;
    std::vector<int> At(int x, int y) const {
        const png_byte* p =
            &data[(static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)) * 4];
        return {p[0], p[1], p[2], p[3]};
    }
};

std::optional<Rgba> ReadRgba(const std::filesystem::path& file) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (png_image_begin_read_from_file(&image, file.string().c_str()) == 0) return std::nullopt;
    image.format = PNG_FORMAT_RGBA;
    Rgba pixels{static_cast<int>(image.width), static_cast<int>(image.height),
                std::vector<png_byte>(PNG_IMAGE_SIZE(image))};
    if (png_image_finish_read(&image, nullptr, pixels.data.data(), 0, nullptr) == 0) return std::nullopt;
    return pixels;
}

TEST(PlanPictureTest, PicturesKeepTheDrawingsAspectAndTheColourDepth) {
    TempFolder folder;
    const HostSim::ProjectDescription project = TwoFootprints();

    // Cropped: the taller side (6 m against 5 m) gets the whole length, the other its share inside the margins.
    ASSERT_TRUE(HostSim::WritePlanPicture(folder / "crop.png", project, Picture(APIColorDepth_TC32, true),
                                          PlanPictureFormat::Png));
    const std::optional<ImageSize> cropped = PngSize(folder / "crop.png");
    ASSERT_TRUE(cropped);
    EXPECT_EQ(cropped->height, unsigned(HostSim::PlanWindowWidth));
    const double inner = HostSim::PlanWindowWidth - 2.0 * HostSim::PlanPictureMargin;
    EXPECT_NEAR(cropped->width - 2.0 * HostSim::PlanPictureMargin, inner * 5.0 / 6.0, 1.0);
    EXPECT_EQ(cropped->channels, 4u) << "true colour with alpha";

    ASSERT_TRUE(HostSim::WritePlanPicture(folder / "window.png", project, Picture(APIColorDepth_TC24, false),
                                          PlanPictureFormat::Png));
    const std::optional<ImageSize> window = PngSize(folder / "window.png");
    ASSERT_TRUE(window);
    EXPECT_EQ(window->width, unsigned(HostSim::PlanWindowWidth));
    EXPECT_EQ(window->height, unsigned(HostSim::PlanWindowHeight));
    EXPECT_EQ(window->channels, 3u);

    // A JPEG has no alpha, whatever the depth.
    for (const Int32 depth : {APIColorDepth_TC24, APIColorDepth_TC32}) {
        const auto file = folder / ("plan" + std::to_string(depth) + ".jpg");
        ASSERT_TRUE(HostSim::WritePlanPicture(file, project, Picture(depth, true), PlanPictureFormat::Jpeg));
        const std::optional<ImageSize> jpeg = JpegSize(file);
        ASSERT_TRUE(jpeg) << depth;
        EXPECT_EQ(jpeg->width, cropped->width);
        EXPECT_EQ(jpeg->height, cropped->height);
        EXPECT_EQ(jpeg->channels, 3u);
    }

    // The size the save line reports is the size written.
    const std::optional<HostSim::PictureSize> reported =
        HostSim::GetPlanPictureSize(project, Picture(APIColorDepth_TC32, true));
    ASSERT_TRUE(reported);
    EXPECT_EQ(unsigned(reported->width), cropped->width);
    EXPECT_EQ(unsigned(reported->height), cropped->height);

    // Without footprints the picture is the empty window, cropped or not.
    ASSERT_TRUE(HostSim::WritePlanPicture(folder / "empty.png", HostSim::ProjectDescription{},
                                          Picture(APIColorDepth_TC24, true), PlanPictureFormat::Png));
    EXPECT_EQ(PngSize(folder / "empty.png")->width, unsigned(HostSim::PlanWindowWidth));
}

TEST(PlanPictureTest, NorthIsUpAndFootprintsAreFilledAndOutlined) {
    TempFolder folder;
    ASSERT_TRUE(HostSim::WritePlanPicture(folder / "corners.png", Corners(), Picture(APIColorDepth_TC32, true),
                                          PlanPictureFormat::Png));
    const std::optional<Rgba> pixels = ReadRgba(folder / "corners.png");
    ASSERT_TRUE(pixels);
    ASSERT_EQ(pixels->width, HostSim::PlanWindowWidth);
    ASSERT_EQ(pixels->height, HostSim::PlanWindowWidth) << "a square drawing makes a square picture";
    // Each square spans about a tenth of the 1008 inner pixels from its corner of the picture.
    const std::vector<int> face{HostSim::FaceColour[0], HostSim::FaceColour[1], HostSim::FaceColour[2], 255};
    const std::vector<int> edge{0, 0, 0, 255};
    EXPECT_EQ(pixels->At(58, 966), face) << "south-west at the bottom left";
    EXPECT_EQ(pixels->At(966, 58), face) << "north-east at the top right";
    EXPECT_EQ(pixels->At(58, 58)[3], 0) << "the background is transparent";
    EXPECT_EQ(pixels->At(966, 966)[3], 0);
    EXPECT_EQ(pixels->At(512, 512)[3], 0);
    EXPECT_EQ(pixels->At(HostSim::PlanPictureMargin, 966), edge) << "the drawing starts at the margin";
    EXPECT_EQ(pixels->At(58, HostSim::PlanWindowWidth - 1 - HostSim::PlanPictureMargin), edge);
    EXPECT_EQ(pixels->At(HostSim::PlanPictureMargin - 1, 966)[3], 0) << "the margins stay clear";
    EXPECT_EQ(pixels->At(58, HostSim::PlanWindowWidth - HostSim::PlanPictureMargin)[3], 0);
    EXPECT_EQ(pixels->At(HostSim::PlanWindowWidth - HostSim::PlanPictureMargin, 58)[3], 0);
    EXPECT_EQ(pixels->At(HostSim::PlanWindowWidth - 1 - HostSim::PlanPictureMargin, 58), edge);
}

TEST(PlanPictureTest, UnusableDepthOrUnwritableTargetLeavesNoFile) {
    TempFolder folder;
    const HostSim::ProjectDescription project = TwoFootprints();
    EXPECT_FALSE(HostSim::WritePlanPicture(folder / "deep.png", project, Picture(8, true), PlanPictureFormat::Png));
    EXPECT_FALSE(HostSim::WritePlanPicture(folder / "none.jpg", project, Picture(0, true), PlanPictureFormat::Jpeg));
    EXPECT_FALSE(HostSim::WritePlanPicture(folder / "missing" / "plan.png", project, Picture(APIColorDepth_TC24, true),
                                           PlanPictureFormat::Png));
    EXPECT_FALSE(HostSim::WritePlanPicture(folder / "missing" / "plan.jpg", project, Picture(APIColorDepth_TC24, true),
                                           PlanPictureFormat::Jpeg));
    // A folder in the file's place is neither written nor removed.
    std::filesystem::create_directory(folder / "taken.jpg");
    EXPECT_FALSE(HostSim::WritePlanPicture(folder / "taken.jpg", project, Picture(APIColorDepth_TC24, true),
                                           PlanPictureFormat::Jpeg));
    EXPECT_TRUE(std::filesystem::is_directory(folder / "taken.jpg"));
    std::filesystem::remove(folder / "taken.jpg");
    EXPECT_TRUE(std::filesystem::is_empty(folder.Path()));
}

TEST(PlanPdfTest, PageIsThePaperSizeAndTheDrawingFitsInsideTheMargins) {
    TempFolder folder;
    // The size the add-on asks for a 10 m by 6 m model.
    ASSERT_TRUE(HostSim::WritePlanPdf(folder / "large.pdf", TwoFootprints(), Pdf(20020.0f, 12020.0f)));
    const std::optional<PageSize> large = PdfPageSize(folder / "large.pdf");
    ASSERT_TRUE(large);
    EXPECT_DOUBLE_EQ(large->width, 20020.0);
    EXPECT_DOUBLE_EQ(large->height, 12020.0);

    // A 200 x 100 page with a 50 pt left margin: the area is x 50..190, y 10..90 from the top.
    const API_SavePars_Pdf page = Pdf(200.0f, 100.0f, 50.0f);
    ASSERT_TRUE(HostSim::WritePlanPdf(folder / "square.pdf", OneBox(1.0, 1.0), page));
    const std::optional<PageSize> size = PdfPageSize(folder / "square.pdf");
    ASSERT_TRUE(size);
    EXPECT_DOUBLE_EQ(size->width, 200.0);
    EXPECT_DOUBLE_EQ(size->height, 100.0);
    // A square fills the height and stands centred across: x 80..160. The outline and the rendering's pixels blur
    // each edge by about a point.
    const std::optional<InkBox> square = PdfInkBox(folder / "square.pdf");
    ASSERT_TRUE(square);
    ASSERT_FALSE(square->empty);
    EXPECT_NEAR(square->left, 80.0, 1.5);
    EXPECT_NEAR(square->right, 160.0, 1.5);
    EXPECT_NEAR(square->top, 10.0, 1.5);
    EXPECT_NEAR(square->bottom, 90.0, 1.5);

    // A wide box fills the width and stands centred down: 140 x 35 at y 32.5..67.5.
    ASSERT_TRUE(HostSim::WritePlanPdf(folder / "wide.pdf", OneBox(4.0, 1.0), page));
    const std::optional<InkBox> wide = PdfInkBox(folder / "wide.pdf");
    ASSERT_TRUE(wide);
    EXPECT_NEAR(wide->left, 50.0, 1.5);
    EXPECT_NEAR(wide->right, 190.0, 1.5);
    EXPECT_NEAR(wide->top, 32.5, 1.5);
    EXPECT_NEAR(wide->bottom, 67.5, 1.5);

    // No footprints: a blank page of the size asked for.
    ASSERT_TRUE(HostSim::WritePlanPdf(folder / "blank.pdf", HostSim::ProjectDescription{}, page));
    EXPECT_TRUE(PdfInkBox(folder / "blank.pdf")->empty);
}

TEST(PlanPdfTest, UnusableSizesAndMarginsAreRefusedWithoutAFile) {
    TempFolder folder;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const std::vector<API_SavePars_Pdf> refused{
        Pdf(nan, 100.0f),
        Pdf(100.0f, inf),
        Pdf(0.0f, 100.0f),
        Pdf(100.0f, -100.0f),
        Pdf(100.0f, 100.0f, -1.0f),
        Pdf(100.0f, 100.0f, 10.0f, nan),
        Pdf(100.0f, 100.0f, 10.0f, 10.0f, 10.0f, 90.0f), // nothing left between the margins
        Pdf(20.5f, 100.0f),                              // less than a point between the margins
        Pdf(static_cast<float>(HostSim::PlanPdfMaximumSide) * 2.0f, 100.0f),
    };
    for (std::size_t i = 0; i < refused.size(); ++i) {
        const auto file = folder / ("refused" + std::to_string(i) + ".pdf");
        EXPECT_FALSE(HostSim::WritePlanPdf(file, TwoFootprints(), refused[i])) << i;
        EXPECT_FALSE(HostSim::UsablePdfParameters(refused[i])) << i;
        EXPECT_FALSE(std::filesystem::exists(file)) << i;
    }
    // Exactly a point between the margins, and no margins at all, are still a page.
    EXPECT_TRUE(HostSim::WritePlanPdf(folder / "narrow.pdf", TwoFootprints(), Pdf(21.0f, 100.0f)));
    EXPECT_TRUE(
        HostSim::WritePlanPdf(folder / "bare.pdf", TwoFootprints(), Pdf(100.0f, 50.0f, 0.0f, 0.0f, 0.0f, 0.0f)));
    EXPECT_DOUBLE_EQ(PdfPageSize(folder / "narrow.pdf")->width, 21.0);

    EXPECT_FALSE(HostSim::WritePlanPdf(folder / "missing" / "plan.pdf", TwoFootprints(), Pdf(100.0f, 100.0f)));
    EXPECT_FALSE(std::filesystem::exists(folder / "missing"));
}

TEST(PlanDxfTest, EachFootprintIsAClosedPolylineOnItsTypesLayer) {
    TempFolder folder;
    HostSim::ProjectDescription project = TwoFootprints();
    // Bounds that are not finite cannot be drawn, like no bounds.
    HostSim::ProjectElement unplaced;
    unplaced.guidText = "{11111111-0000-4000-8000-000000000004}";
    unplaced.bounds = API_Box3D{.xMin = std::numeric_limits<double>::quiet_NaN(), .xMax = 1.0, .yMax = 1.0};
    project.elements.push_back(unplaced);
    EXPECT_EQ(HostSim::CountPlanFootprints(project), 2u);

    ASSERT_TRUE(HostSim::WritePlanDxf(folder / "plan.dxf", project));
    const std::optional<std::vector<DxfPolyline>> polylines = DxfPolylines(folder / "plan.dxf");
    ASSERT_TRUE(polylines);
    ASSERT_EQ(polylines->size(), 2u) << "one per element with bounds";
    EXPECT_EQ(DxfPolylineCount(folder / "plan.dxf"), 2u);
    const DxfPolyline& first = (*polylines)[0];
    EXPECT_EQ(first.layer, "TYPE_1");
    EXPECT_TRUE(first.closed);
    const std::vector<std::pair<double, double>> corners{{0.0, 0.0}, {4.0, 0.0}, {4.0, 2.0}, {0.0, 2.0}};
    EXPECT_EQ(first.vertices, corners);
    EXPECT_EQ((*polylines)[1].layer, "TYPE_2");
    EXPECT_TRUE((*polylines)[1].closed);
    EXPECT_EQ((*polylines)[1].vertices.size(), 4u);

    ASSERT_TRUE(HostSim::WritePlanDxf(folder / "empty.dxf", HostSim::ProjectDescription{}));
    EXPECT_EQ(DxfPolylineCount(folder / "empty.dxf"), 0u);

    EXPECT_FALSE(HostSim::WritePlanDxf(folder / "missing" / "plan.dxf", project));
    EXPECT_FALSE(std::filesystem::exists(folder / "missing"));
}

TEST(PlanFilesTest, FilesCutShortOrOfAnotherKindAreNotValid) {
    TempFolder folder;
    const HostSim::ProjectDescription project = TwoFootprints();
    ASSERT_TRUE(HostSim::WritePlanPicture(folder / "plan.png", project, Picture(APIColorDepth_TC24, false),
                                          PlanPictureFormat::Png));
    ASSERT_TRUE(HostSim::WritePlanPicture(folder / "plan.jpg", project, Picture(APIColorDepth_TC24, false),
                                          PlanPictureFormat::Jpeg));
    ASSERT_TRUE(HostSim::WritePlanPdf(folder / "plan.pdf", project, Pdf(300.0f, 200.0f)));
    ASSERT_TRUE(HostSim::WritePlanDxf(folder / "plan.dxf", project));
    for (const char* name : {"plan.png", "plan.jpg", "plan.dxf"}) {
        const std::string bytes = ReadFile(folder / name);
        WriteFile(folder / (std::string("half-") + name), bytes.substr(0, bytes.size() / 2));
    }
    EXPECT_FALSE(PngSize(folder / "half-plan.png"));
    EXPECT_FALSE(JpegSize(folder / "half-plan.jpg"));
    EXPECT_FALSE(DxfPolylineCount(folder / "half-plan.dxf"));
    EXPECT_FALSE(PngSize(folder / "plan.jpg"));
    EXPECT_FALSE(JpegSize(folder / "plan.png"));
    EXPECT_FALSE(PdfPageSize(folder / "plan.dxf"));
    EXPECT_FALSE(DxfPolylineCount(folder / "plan.pdf"));
    EXPECT_FALSE(PdfPageSize(folder / "nothing.pdf"));
}

} // namespace
