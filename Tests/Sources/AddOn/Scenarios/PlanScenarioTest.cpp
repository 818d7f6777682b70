// 2D plans: the current view written as DWG (DXF content from the host's translator stand-in), PNG, JPG or PDF,
// renamed to the user's name and uploaded into a service folder.

#include "PlanFiles.hpp"
#include "ViewpointScenario.hpp"

#include <gtest/gtest.h>

#include <filesystem>

using namespace ViewpointScenario;
namespace fs = std::filesystem;

namespace {

// The time stamp of the fixed clock, as plan files are named.
const std::string Stamp = "2026-12-09T10_20_30";

class PlanScenario : public Fixture {
protected:
    Lines PlayPlans(const std::string& lines, const fs::path& project = PLAN_PROJECT_PATH) {
        HostSim::HostOptions options = OptionsInHome(QUILLMAR_ADDON_PATH);
        options.project = project;
        return RunScenario("{\"menu\": 32500, \"item\": 1}\n" + lines, options);
    }

    static std::string Create(const json& kind) { return json{{"call", "Create2dPlan"}, {"arg", kind}}.dump() + "\n"; }

    static std::string Export(const json& request) {
        return json{{"call", "Export2dPlan"}, {"arg", request.is_string() ? request : json(request.dump())}}.dump() +
               "\n";
    }

    static json Request(const std::string& fileName) {
        return json{{"token", "tok-2"}, {"projectId", "p-2"}, {"folderId", "plans"}, {"fileName", fileName}};
    }

    static std::string Uploaded() { return "{\"wait\": \"CompleteExportPlan()\", \"timeout\": 20}\n"; }

    fs::path Exchange() const { return home / "Exchange"; }

    static long Alerts(const Lines& lines, const std::string& text) {
        long count = 0;
        for (const json& line : With(lines, "alert"))
            count += line["alert"]["large"] == text ? 1 : 0;
        return count;
    }

    static long PageCalls(const Lines& lines, const std::string& script) {
        return Count(lines, json{{"page", script}});
    }
};

TEST_F(PlanScenario, EachKindIsWrittenRenamedUploadedAndAnswered) {
    struct Kind {
        int number;
        const char* extension;
    };
    const Kind kinds[] = {{1, ".dwg"}, {2, ".png"}, {3, ".jpg"}, {4, ".pdf"}};
    std::string scenario;
    for (const Kind& kind : kinds)
        scenario += Create(kind.number) + Export(Request(std::string("Level 1 ") + (kind.extension + 1))) + Uploaded() +
                    "{\"call\": \"GetPlanDocuments\"}\n";
    const Lines lines = PlayPlans(scenario);
    ASSERT_EQ(PageCalls(lines, "CompleteExportPlan()"), 4) << Dump(lines);
    ASSERT_EQ(service.RequestCount(), 4u);

    for (std::size_t i = 0; i < 4; ++i) {
        const std::string extension = kinds[i].extension;
        // Every colon of the time stamp became an underscore; the folder is the exchange folder.
        EXPECT_EQ(ResultOf(lines, "Create2dPlan", i), "<home>/Exchange/" + Stamp + extension) << Dump(lines);
        const fs::path renamed = Exchange() / ("Level 1 " + extension.substr(1) + extension);
        EXPECT_FALSE(fs::exists(Exchange() / (Stamp + extension))) << "moved, not copied";
        ASSERT_TRUE(fs::exists(renamed)) << renamed;

        const ServiceStandIn::RequestRecord upload = service.Requests().at(i);
        EXPECT_EQ(upload.query, "folderId=plans");
        EXPECT_EQ(upload.clientId, "Quillmar Plugin Archicad");
        EXPECT_EQ(upload.authorization, "bearer tok-2");
        EXPECT_EQ(upload.partFileName, renamed.filename().string());
        EXPECT_EQ(ReadFile(upload.storedFile), ReadFile(renamed)) << "the service received the file's bytes";
        const json documents = ResultOf(lines, "GetPlanDocuments", i);
        ASSERT_TRUE(documents.is_string());
        EXPECT_EQ(json::parse(documents.get<std::string>())[0]["name"], renamed.filename().string());
    }

    // Each file is valid for its kind: three elements have bounds, so three footprints.
    EXPECT_EQ(DxfPolylineCount(Exchange() / "Level 1 dwg.dwg"), 3u);
    EXPECT_TRUE(PngSize(Exchange() / "Level 1 png.png").has_value());
    EXPECT_TRUE(JpegSize(Exchange() / "Level 1 jpg.jpg").has_value());
    // All elements lie at positive coordinates: the paper grows from the origin, 2000 points a metre plus 20.
    const std::optional<PageSize> page = PdfPageSize(Exchange() / "Level 1 pdf.pdf");
    ASSERT_TRUE(page.has_value());
    EXPECT_NEAR(page->width, 10 * 2000 + 20, 0.01);
    EXPECT_NEAR(page->height, 9 * 2000 + 20, 0.01);

    // What the host was asked: the translator's two commands, and the saves with their parameters.
    const Lines commands = With(lines, "addOnCommand");
    ASSERT_EQ(commands.size(), 2u) << Dump(lines);
    EXPECT_EQ(commands[0]["addOnCommand"]["code"], "GDCO");
    EXPECT_EQ(commands[0]["addOnCommand"]["params"]["Mode"], "Default");
    EXPECT_EQ(commands[1]["addOnCommand"]["code"], "SAV2");
    const std::string target = commands[1]["addOnCommand"]["params"]["FileName"];
    EXPECT_EQ(target.substr(0, 7), "file://");
    EXPECT_NE(target.find(Stamp + ".dwg"), std::string::npos);
    const Lines saved = With(lines, "saved");
    ASSERT_EQ(saved.size(), 4u) << Dump(lines);
    EXPECT_EQ(saved[0]["saved"]["translator"], "dwgTranslator");
    EXPECT_EQ(saved[1]["saved"]["colorDepth"], 7);
    EXPECT_EQ(saved[2]["saved"]["colorDepth"], 6);
    EXPECT_EQ(saved[1]["saved"]["view2D"], true);
    EXPECT_EQ(saved[3]["saved"]["sizeX"], 20020.0);
    EXPECT_EQ(saved[3]["saved"]["sizeY"], 18020.0);
    EXPECT_EQ(saved[3]["saved"]["leftMargin"], 10.0);
}

TEST_F(PlanScenario, OtherKindsArgumentsAndThe3DWindowGiveNoPlan) {
    const Lines lines = PlayPlans(Create(2) + Create("2") + Export(Request("Kept")) + Uploaded() + Create(2) +
                                  Create(0) + Export(Request("Lost")) + Create(5) + Create(2.5) +
                                  R"S({"host": {"window": 4}}
)S" + Create(2) + R"S({"host": {"language": "GER"}}
)S" + Create(2));
    for (const std::size_t i : {1, 3, 4, 5, 6, 7})
        EXPECT_EQ(ResultOf(lines, "Create2dPlan", i), "") << i << "\n" << Dump(lines);
    // A text argument stops before the kind: the earlier plan is still the last one and is uploaded.
    EXPECT_TRUE(fs::exists(Exchange() / "Kept.png"));
    // An unknown kind empties it: nothing to export.
    EXPECT_EQ(PageCalls(lines, "FailExportPlan()"), 1);
    EXPECT_EQ(Alerts(lines, "Can't create a 2D Plan."), 4) << "\"2\", 0, 5 and 2.5";
    EXPECT_EQ(Alerts(lines, "Current view isn't 2D view."), 1);
    EXPECT_EQ(Alerts(lines, "Die aktuelle Ansicht ist keine 2D Ansicht."), 1);
    EXPECT_EQ(With(lines, "saved").size(), 2u) << "nothing is saved in the 3D window";
}

TEST_F(PlanScenario, RenamingKeepsFolderAndExtensionAndNeverLosesAFile) {
    const fs::path plan = Exchange() / (Stamp + ".png");
    const Lines lines = PlayPlans(
        Create(2) + Export(Request(Stamp)) + Uploaded() + Export(Request(Stamp)) + Uploaded() + Create(3) +
        Export(Request("Plan")) + Uploaded() + Export(Request("Plan")) + Create(3) + Export(Request("Plan")) +
        Uploaded() + Create(2) + Export(Request("../Outside")) + Export(Request("a/b")) + Export(Request("C:x")) +
        Export(json("[1]")) + Export(json(R"({"token": 1, "projectId": "p", "folderId": "f", "fileName": "n"})")) +
        Export(json("not json")) + Export(Request(".")) + Uploaded());
    // The same base name: the file is uploaded as it is, and stays the last plan for a second upload.
    EXPECT_TRUE(fs::exists(plan));
    // "Plan.jpg" twice: the second finds the plan moved and fails, and the renamed file stays.
    // A later plan of the same name replaces it.
    EXPECT_TRUE(fs::exists(Exchange() / "Plan.jpg"));
    // Names that would leave the folder, and requests that are not objects of strings, fail and move nothing;
    // "." only names the file ".png" in the folder.
    EXPECT_FALSE(fs::exists(home / "Outside.png"));
    EXPECT_TRUE(fs::exists(Exchange() / "..png"));
    EXPECT_EQ(PageCalls(lines, "FailExportPlan()"), 7) << Dump(lines);
    EXPECT_EQ(PageCalls(lines, "CompleteExportPlan()"), 5);
    EXPECT_TRUE(With(lines, "error").empty()) << "no \"Bad cast.\"\n" << Dump(lines);
}

TEST_F(PlanScenario, AMissingOrRefusingTranslatorAFailedSaveAndAnEmptyProjectGiveNoPlan) {
    const Lines lines = PlayPlans(R"S({"host": {"dwgTranslator": "missing"}}
)S" + Create(1) + R"S({"host": {"dwgTranslator": "present"}}
{"host": {"fail": ["SAV2"]}}
)S" + Create(1) + R"S({"host": {"fail": ["GDCO"]}}
)S" + Create(1) + R"S({"host": {"fail": ["saveProject"]}}
)S" + Create(2) + Create(4) + R"S({"host": {"fail": []}}
{"host": {"fail": ["GWIN"]}}
)S" + Create(2));
    for (std::size_t i = 0; i < 5; ++i)
        EXPECT_EQ(ResultOf(lines, "Create2dPlan", i), "") << i << "\n" << Dump(lines);
    EXPECT_EQ(Alerts(lines, "Can't create a 2D Plan."), 5);
    // A window query that fails counts as a 2D view.
    EXPECT_EQ(ResultOf(lines, "Create2dPlan", 5), "<home>/Exchange/" + Stamp + ".png");
    EXPECT_FALSE(fs::exists(Exchange() / (Stamp + ".dwg")));

    const Lines empty = PlayPlans(Create(4), fs::path());
    EXPECT_EQ(ResultOf(empty, "Create2dPlan"), "") << Dump(empty);
    EXPECT_TRUE(With(empty, "saved").empty()) << "no paper without elements: the host is not asked";
}

} // namespace
