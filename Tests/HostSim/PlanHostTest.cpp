// The host's side of 2D plans, called through the table as an add-on calls it: the save operation's pictures and
// PDF of the floor plan, and the DWG translator add-on reached through the add-on command call.

#include "HostSimTestSupport.hpp"

#include "DwgTranslatorStandIn.hpp"
#include "HostServices.hpp"
#include "PlanDrawing.hpp"
#include "PlanFiles.hpp"
#include "ScriptValues.hpp"

#include "Location.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <limits>

namespace {

using namespace HostSimTest;
using HostSim::HostServices;

// Three elements, two of them with bounds.
json PlanDescription() {
    return json::parse(R"({"name": "Plan", "elements": [
        {"guid": "{11111111-0000-4000-8000-000000000001}", "typeID": 1,
         "bounds": {"xMin": 0, "yMin": 0, "zMin": 0, "xMax": 4, "yMax": 2, "zMax": 3}},
        {"guid": "{11111111-0000-4000-8000-000000000002}", "typeID": 2,
         "bounds": {"xMin": 3, "yMin": -1, "zMin": 0, "xMax": 5, "yMax": 5, "zMax": 3}},
        {"guid": "{11111111-0000-4000-8000-000000000003}", "typeID": 1}]})");
}
constexpr std::size_t ElementsWithBounds = 2;

class PlanHostTest : public ::testing::Test {
protected:
    PlanHostTest() : services(transcript, std::make_shared<HostSim::MainThread>()) {
        EXPECT_TRUE(services.Activate());
        table = services.MakeTable();
        token = services.GetHostToken();
        services.SetTokenPhase(HostServices::TokenPhase::Issued);
        services.GetState().project = HostSim::ParseProjectDescription(PlanDescription());
    }

    GSErrCode Save(API_FileTypeID type, const std::filesystem::path& file, const void* typeParams) {
        IO::Location location = IO::Location::FromFileSystemPath(file);
        API_FileSavePars save;
        save.fileTypeID = type;
        save.file = &location;
        return table.saveProject(token, &save, typeParams, nullptr);
    }
    static API_SavePars_Picture Picture(Int32 depth) {
        API_SavePars_Picture picture;
        picture.colorDepth = depth;
        picture.view2D = 1;
        picture.crop = 1;
        picture.keepSelectionHighlight = 1;
        return picture;
    }
    static API_SavePars_Pdf Pdf(float sizeX, float sizeY) {
        API_SavePars_Pdf pdf;
        pdf.leftMargin = pdf.topMargin = pdf.rightMargin = pdf.bottomMargin = 10.0f;
        pdf.sizeX = sizeX;
        pdf.sizeY = sizeY;
        return pdf;
    }
    Lines With(const std::string& key) const { return QuillmarTest::With(transcript->GetLines(), key); }

    std::shared_ptr<HostSim::Transcript> transcript = std::make_shared<HostSim::Transcript>();
    HostServices services;
    API_HostFunctionTable table{};
    void* token = nullptr;
    TempFolder folder;
};

TEST_F(PlanHostTest, FloorPlanSavesAsPngJpegAndPdfWithEveryParameterInTheTranscript) {
    ASSERT_EQ(services.GetState().activeWindow, APIWind_FloorPlanID);
    const API_SavePars_Picture png = Picture(APIColorDepth_TC32);
    ASSERT_EQ(Save(APIFType_PNGFile, folder / "plan.png", &png), NoError);
    API_SavePars_Picture jpg = Picture(APIColorDepth_TC24);
    jpg.dithered = 1;
    jpg.crop = 0;
    ASSERT_EQ(Save(APIFType_JPGFile, folder / "plan.jpg", &jpg), NoError);
    const API_SavePars_Pdf pdf = Pdf(10020.0f, 12020.5f);
    ASSERT_EQ(Save(APIFType_PdfFile, folder / "plan.pdf", &pdf), NoError);

    const std::optional<ImageSize> pngSize = PngSize(folder / "plan.png");
    ASSERT_TRUE(pngSize);
    EXPECT_EQ(pngSize->channels, 4u);
    const std::optional<ImageSize> jpgSize = JpegSize(folder / "plan.jpg");
    ASSERT_TRUE(jpgSize);
    const std::optional<PageSize> page = PdfPageSize(folder / "plan.pdf");
    ASSERT_TRUE(page);
    EXPECT_DOUBLE_EQ(page->width, 10020.0);
    EXPECT_DOUBLE_EQ(page->height, 12020.5);

    const Lines saved = With("saved");
    ASSERT_EQ(saved.size(), 3u);
    EXPECT_EQ(saved[0]["saved"], json({{"file", (folder / "plan.png").string()},
                                       {"type", APIFType_PNGFile},
                                       {"colorDepth", APIColorDepth_TC32},
                                       {"dithered", false},
                                       {"view2D", true},
                                       {"crop", true},
                                       {"keepSelectionHighlight", true},
                                       {"width", pngSize->width},
                                       {"height", pngSize->height}}));
    EXPECT_EQ(saved[1]["saved"], json({{"file", (folder / "plan.jpg").string()},
                                       {"type", APIFType_JPGFile},
                                       {"colorDepth", APIColorDepth_TC24},
                                       {"dithered", true},
                                       {"view2D", true},
                                       {"crop", false},
                                       {"keepSelectionHighlight", true},
                                       {"width", jpgSize->width},
                                       {"height", jpgSize->height}}));
    EXPECT_EQ(saved[2]["saved"], json({{"file", (folder / "plan.pdf").string()},
                                       {"type", APIFType_PdfFile},
                                       {"leftMargin", 10.0},
                                       {"topMargin", 10.0},
                                       {"rightMargin", 10.0},
                                       {"bottomMargin", 10.0},
                                       {"sizeX", 10020.0},
                                       {"sizeY", 12020.5}}));
    EXPECT_EQ(services.GetState().savedFiles,
              (std::vector<std::string>{(folder / "plan.png").string(), (folder / "plan.jpg").string(),
                                        (folder / "plan.pdf").string()}));
    EXPECT_TRUE(With("error").empty());
}

TEST_F(PlanHostTest, The3DWindowKeepsItsPictureAndOffersNoJpegOrPdf) {
    services.SetActiveWindow(APIWind_3DModelID);
    const API_SavePars_Picture png = Picture(APIColorDepth_TC24);
    ASSERT_EQ(Save(APIFType_PNGFile, folder / "view.png", &png), NoError);
    const HostSim::PictureSize window = HostSim::GetPictureSize(services.GetState().view3D.window);
    const std::optional<ImageSize> size = PngSize(folder / "view.png");
    ASSERT_TRUE(size);
    EXPECT_EQ(size->width, unsigned(window.width)) << "the 3D window's picture, not the plan";
    const Lines saved = With("saved");
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_EQ(saved[0]["saved"]["colorDepth"], APIColorDepth_TC24);
    EXPECT_EQ(saved[0]["saved"]["view2D"], true);
    EXPECT_EQ(saved[0]["saved"]["width"], window.width);

    const API_SavePars_Picture jpg = Picture(APIColorDepth_TC24);
    EXPECT_EQ(Save(APIFType_JPGFile, folder / "view.jpg", &jpg), APIERR_NOTSUPPORTED);
    const API_SavePars_Pdf pdf = Pdf(400.0f, 300.0f);
    EXPECT_EQ(Save(APIFType_PdfFile, folder / "view.pdf", &pdf), APIERR_NOTSUPPORTED);
    EXPECT_FALSE(std::filesystem::exists(folder / "view.jpg"));
    EXPECT_FALSE(std::filesystem::exists(folder / "view.pdf"));
    EXPECT_EQ(With("saved").size(), 1u);
}

TEST_F(PlanHostTest, RefusedAndFailedSavesLeaveNoFileAndNoSavedLine) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (const API_SavePars_Pdf& pdf : {Pdf(nan, 300.0f), Pdf(0.0f, 300.0f), Pdf(400.0f, -300.0f)})
        EXPECT_EQ(Save(APIFType_PdfFile, folder / "plan.pdf", &pdf), APIERR_BADPARS);
    const API_SavePars_Picture shallow = Picture(4);
    EXPECT_EQ(Save(APIFType_JPGFile, folder / "plan.jpg", &shallow), APIERR_BADPARS);
    EXPECT_EQ(Save(APIFType_PNGFile, folder / "plan.png", &shallow), APIERR_BADPARS);
    EXPECT_EQ(Save(APIFType_JPGFile, folder / "plan.jpg", nullptr), APIERR_BADPARS);
    EXPECT_EQ(Save(APIFType_PdfFile, folder / "plan.pdf", nullptr), APIERR_BADPARS);
    EXPECT_EQ(With("error").size(), 7u) << "each refusal names its fault";

    const API_SavePars_Picture picture = Picture(APIColorDepth_TC24);
    const API_SavePars_Pdf pdf = Pdf(400.0f, 300.0f);
    EXPECT_EQ(Save(APIFType_PNGFile, folder / "missing" / "plan.png", &picture), APIERR_GENERAL);
    EXPECT_EQ(Save(APIFType_JPGFile, folder / "missing" / "plan.jpg", &picture), APIERR_GENERAL);
    EXPECT_EQ(Save(APIFType_PdfFile, folder / "missing" / "plan.pdf", &pdf), APIERR_GENERAL);

    EXPECT_TRUE(std::filesystem::is_empty(folder.Path()));
    EXPECT_TRUE(With("saved").empty());
    EXPECT_TRUE(services.GetState().savedFiles.empty());
}

// The DWG translator add-on, reached as the add-on reaches it.
class DwgTranslatorTest : public PlanHostTest {
protected:
    DwgTranslatorTest() {
        // A data folder whose URL needs escapes, so the translator must decode what it is given.
        services.GetState().userDataFolder = IO::Location::FromFileSystemPath(folder / "Data ä 100%");
    }

    API_MDCLParameterList List(std::initializer_list<std::pair<const char*, std::string>> strings) {
        API_MDCLParameterList list = nullptr;
        EXPECT_EQ(table.newParameterList(token, &list), NoError);
        for (const auto& [name, value] : strings) {
            API_MDCLParameter parameter;
            parameter.name = name;
            parameter.type = MDCLPar_string;
            parameter.string_par = value.c_str();
            EXPECT_EQ(table.addParameter(token, list, &parameter), NoError);
        }
        lists.push_back(list);
        return list;
    }
    GSErrCode Call(const char (&code)[5], std::initializer_list<std::pair<const char*, std::string>> strings,
                   void* result = nullptr, Int32 version = 1) {
        const API_ModulID module{HostSim::DwgTranslatorDeveloperID, HostSim::DwgTranslatorLocalID};
        return table.callAddOnCommand(token, &module, API_FourCharCode(code), version, List(strings), result, true);
    }
    static std::string Url(const std::filesystem::path& file) {
        GS::UniString url;
        EXPECT_EQ(IO::Location::FromFileSystemPath(file).ToURL(&url), NoError);
        return HostSim::ToUtf8(url);
    }
    std::filesystem::path DefaultConfiguration() {
        IO::Location location;
        EXPECT_EQ(Call("GDCO", {{"Mode", "Default"}}, &location), NoError);
        return location.ToFileSystemPath();
    }
    ~DwgTranslatorTest() override {
        for (API_MDCLParameterList& list : lists)
            table.freeParameterList(token, &list);
    }

    std::vector<API_MDCLParameterList> lists;
};

TEST_F(DwgTranslatorTest, GivesItsConfigurationAndSavesThePlanAsDxf) {
    const std::filesystem::path config = DefaultConfiguration();
    EXPECT_TRUE(std::filesystem::is_regular_file(config));
    EXPECT_EQ(config.parent_path().parent_path(), folder / "Data ä 100%") << "under the user data folder";
    EXPECT_EQ(DefaultConfiguration(), config) << "the same file every time";

    const auto target = folder / "Plan #1 ä.dwg";
    ASSERT_EQ(Call("SAV2", {{"FileName", Url(target)}, {"ConfigFile", Url(config)}}), NoError);
    EXPECT_EQ(DxfPolylineCount(target), ElementsWithBounds);
    EXPECT_EQ(services.GetState().savedFiles, std::vector<std::string>{target.string()});

    const Lines lines = transcript->GetLines();
    const Lines commands = QuillmarTest::With(lines, "addOnCommand");
    ASSERT_EQ(commands.size(), 3u);
    EXPECT_EQ(commands[0]["addOnCommand"], json({{"addOn", "dwgTranslator"},
                                                 {"code", "GDCO"},
                                                 {"version", 1},
                                                 {"silent", true},
                                                 {"params", {{"Mode", "Default"}}}}));
    EXPECT_EQ(commands[2]["addOnCommand"]["params"], json({{"FileName", Url(target)}, {"ConfigFile", Url(config)}}));
    const json saved{
        {"saved", {{"file", target.string()}, {"translator", "dwgTranslator"}, {"footprints", ElementsWithBounds}}}};
    EXPECT_GT(IndexOf(lines, saved), IndexOf(lines, commands[2])) << "the command is written before it runs";
}

TEST_F(DwgTranslatorTest, RefusesOtherConfigurationsModesAndTexts) {
    const auto target = folder / "plan.dwg";
    const std::filesystem::path own = services.GetDwgTranslator().GetConfigurationFile();
    EXPECT_EQ(Call("SAV2", {{"FileName", Url(target)}, {"ConfigFile", Url(own)}}), APIERR_BADPARS)
        << "its configuration does not exist before it was asked for";
    IO::Location location;
    EXPECT_EQ(Call("GDCO", {{"Mode", "Custom"}}, &location), APIERR_BADPARS);
    EXPECT_EQ(Call("GDCO", {{"Mode", "Default"}}), APIERR_BADPARS) << "no result to fill";
    EXPECT_EQ(Call("GDCO", {{"Mode", "Default"}}, &location, 2), APIERR_MODULCMDNOTSUPPORTED);
    EXPECT_EQ(Call("SAVE", {}), APIERR_MODULCMDNOTSUPPORTED);

    const std::filesystem::path config = DefaultConfiguration();
    WriteFile(folder / "other.xml", ReadFile(config));
    EXPECT_EQ(Call("SAV2", {{"FileName", Url(target)}, {"ConfigFile", Url(folder / "other.xml")}}), APIERR_BADPARS);
    EXPECT_EQ(Call("SAV2", {{"FileName", target.string()}, {"ConfigFile", Url(config)}}), APIERR_BADPARS)
        << "a path is no URL";
    EXPECT_EQ(Call("SAV2", {{"FileName", Url(target)}}), APIERR_BADPARS);
    EXPECT_EQ(Call("SAV2", {{"FileName", Url(folder / "missing" / "plan.dwg")}, {"ConfigFile", Url(config)}}),
              APIERR_GENERAL);
    EXPECT_FALSE(std::filesystem::exists(target));
    EXPECT_FALSE(std::filesystem::exists(folder / "missing"));
    EXPECT_TRUE(With("saved").empty());
    EXPECT_EQ(With("addOnCommand").size(), 10u) << "every command is written, refused or not";
}

TEST_F(DwgTranslatorTest, AMissingTranslatorOrAPlannedFailure) {
    services.GetState().dwgTranslatorInstalled = false;
    IO::Location location;
    EXPECT_EQ(Call("GDCO", {{"Mode", "Default"}}, &location), APIERR_MODULNOTINSTALLED);
    EXPECT_TRUE(location.IsEmpty());
    EXPECT_EQ(With("addOnCommand"),
              Lines{json({{"addOnCommand", "GDCO"},
                          {"module", {HostSim::DwgTranslatorDeveloperID, HostSim::DwgTranslatorLocalID}},
                          {"installed", false}})});

    services.GetState().dwgTranslatorInstalled = true;
    const std::filesystem::path config = DefaultConfiguration();
    services.GetState().failing = {"SAV2"};
    const auto target = folder / "plan.dwg";
    EXPECT_EQ(Call("SAV2", {{"FileName", Url(target)}, {"ConfigFile", Url(config)}}), APIERR_GENERAL);
    EXPECT_FALSE(std::filesystem::exists(target));
    EXPECT_EQ(With("failed"), Lines{json({{"failed", "SAV2"}})});
    EXPECT_EQ(DefaultConfiguration(), config) << "only the named command fails";

    // The IFC add-on answers as before beside it.
    GS::UniString presetName(HostSim::MappingPresetName);
    API_MDCLParameterList preset = List({{"presetType", HostSim::MappingPresetType}});
    API_MDCLParameter name;
    name.name = "presetName";
    name.type = MDCLPar_pointer;
    name.ptr_par = &presetName;
    ASSERT_EQ(table.addParameter(token, preset, &name), NoError);
    const API_ModulID ifc{HostSim::IfcAddOnDeveloperID, HostSim::IfcAddOnLocalID};
    bool exists = true;
    EXPECT_EQ(table.callAddOnCommand(token, &ifc, API_FourCharCode("HAPR"), 1, preset, &exists, true), NoError);
    EXPECT_FALSE(exists);
}

TEST(DwgFileUrlTest, LocationUrlsTurnBackIntoTheirPaths) {
    for (const char* path : {"/tmp/plan.dwg", "/tmp/a b/Plan #1 100% ä€.dwg", "/x/%41"}) {
        GS::UniString url;
        ASSERT_EQ(IO::Location(GS::UniString(path, CC_UTF8)).ToURL(&url), NoError);
        EXPECT_EQ(HostSim::PathOfFileUrl(HostSim::ToUtf8(url)), std::filesystem::path(path)) << path;
    }
    EXPECT_EQ(HostSim::PathOfFileUrl("file:///tmp/%41%c3%A4"), std::filesystem::path("/tmp/Aä"));
    for (const char* refused : {"", "/tmp/plan.dwg", "http:///tmp/plan.dwg", "file://tmp/plan.dwg", "file:///tmp/%4",
                                "file:///tmp/%", "file:///tmp/%zz", "file:///tmp/a%00b"})
        EXPECT_FALSE(HostSim::PathOfFileUrl(refused)) << refused;
}

TEST(DwgTranslatorScenarioTest, TheTranslatorIsPresentOrMissing) {
    const Lines lines = RunScenario(R"({"host": {"dwgTranslator": "missing"}}
{"host": {"dwgTranslator": "present"}}
{"host": {"dwgTranslator": "maybe"}}
{"host": {"dwgTranslator": false}})");
    const Lines errors = QuillmarTest::With(lines, "error");
    ASSERT_EQ(errors.size(), 2u) << Dump(lines);
    EXPECT_NE(errors[0]["error"].get<std::string>().find("dwgTranslator"), std::string::npos);
}

} // namespace
