#include "AddOnScenario.hpp"
#include "ServiceScenario.hpp"

#include <gtest/gtest.h>

#include <filesystem>

using namespace AddOnScenario;

namespace {

// Runs the real add-on in a fresh home with the export project and the service stand-in on the build's address.
class IfcExportScenario : public ServiceScenario {
protected:
    Lines Play(const std::string& lines) {
        HostSim::HostOptions options = OptionsInHome(QUILLMAR_ADDON_PATH);
        options.project = EXPORT_PROJECT_PATH;
        return RunScenario("{\"menu\": 32500, \"item\": 1}\n" + lines, options);
    }

    static std::string LoadMapping() {
        return std::string("{\"answer\": {\"file\": \"") + MAPPING_FILE_PATH +
               "\"}}\n{\"call\": \"OpenMappingFile\"}\n";
    }

    static std::string Export(const json& request) {
        return json{{"call", "ExportIFCModel"}, {"arg", request.dump()}}.dump() + "\n";
    }

    static json Request(const char* fileName, bool onlyVisible) {
        return json{{"token", "tok-1"},
                    {"projectId", "p1"},
                    {"folderId", "f&1"},
                    {"fileName", fileName},
                    {"onlyVisible", onlyVisible}};
    }

    static std::vector<std::string> Codes(const Lines& lines) {
        std::vector<std::string> codes;
        for (const json& line : With(lines, "addOnCommand"))
            codes.push_back(line["addOnCommand"]["code"]);
        return codes;
    }
};

TEST_F(IfcExportScenario, TheRoadOfOneExportWithTheMappingPreset) {
    json request = Request("House", true);
    request["useMapFile"] = true;
    const Lines lines = Play(LoadMapping() + Export(request) +
                             R"S({"wait": "CompleteExportModel()", "timeout": 20}
{"call": "GetIfcDocuments"})S");
    EXPECT_EQ(Codes(lines), (std::vector<std::string>{"HAPR", "CRPR", "AEPM"})) << Dump(lines);
    EXPECT_EQ(ResultOf(lines, "ExportIFCModel"), true);
    const json mappings = With(lines, "addOnCommand").back()["addOnCommand"]["params"]["newMappings"];
    ASSERT_EQ(mappings.size(), 6u) << "every buildable property, the unknown data type left out";
    const std::vector<std::string> kinds{"single", "single", "enumerated", "bounded", "list", "table"};
    for (std::size_t i = 0; i < mappings.size(); ++i) {
        EXPECT_EQ(mappings[i]["ifcProperty"]["kind"], kinds[i]) << i;
        EXPECT_EQ(mappings[i]["acPropertyGuid"], "{B0000000-0000-4000-8000-0000000000B1}")
            << "the first definition of the first custom group";
        EXPECT_EQ(mappings[i]["schemeItemToMapType"], "Property");
    }
    EXPECT_EQ(mappings[0]["ifcType"], "IfcWall");
    EXPECT_EQ(mappings[2]["ifcType"], "IfcSlab");
    const std::filesystem::path file = home / "Exchange" / "House.ifc";
    ASSERT_TRUE(std::filesystem::exists(file));
    const std::string ifc = ReadFile(file);
    EXPECT_NE(ifc.find("FILE_SCHEMA(('IFC4'))"), std::string::npos);
    EXPECT_NE(ifc.find("'Quillmar_Common'"), std::string::npos) << "the mapped property set is in the file";
    EXPECT_NE(ifc.find("'FireRating'"), std::string::npos);
    EXPECT_EQ(ifc.find("'Odd'"), std::string::npos) << "a property of an unknown data type is left out";
    EXPECT_EQ(ifc.find("HIDDEN-1"), std::string::npos) << "only the elements shown in 3D";

    ASSERT_EQ(service.RequestCount(), 1u) << Dump(lines);
    const ServiceStandIn::RequestRecord upload = service.Requests().at(0);
    EXPECT_EQ(upload.path, "/api/document");
    EXPECT_EQ(upload.query, "folderId=f%261") << "the folder id reaches the service exactly as given";
    EXPECT_EQ(upload.clientId, "Quillmar Plugin Archicad");
    EXPECT_EQ(upload.authorization, "bearer tok-1");
    EXPECT_EQ(upload.partName, "file");
    EXPECT_EQ(upload.partFileName, "House.ifc");
    EXPECT_EQ(ReadFile(upload.storedFile), ifc) << "the service received the file's bytes";
    const json documents = ResultOf(lines, "GetIfcDocuments");
    ASSERT_TRUE(documents.is_string());
    EXPECT_EQ(json::parse(documents.get<std::string>())[0]["name"], "House.ifc");
}

TEST_F(IfcExportScenario, AnExistingPresetIsClearedAndAFailedClearKeepsTheOldOne) {
    json request = Request("House", false);
    request["useMapFile"] = true;
    const Lines lines = Play(LoadMapping() + Export(request) + Export(request) + R"S({"host": {"fail": ["CLPR"]}}
)S" + Export(request));
    const std::vector<std::string> expected{"HAPR", "CRPR", "AEPM", "HAPR", "CLPR", "CRPR", "AEPM", "HAPR", "AEPM"};
    EXPECT_EQ(Codes(lines), expected) << "a failed clear sends no create, yet the mappings" << Dump(lines);
}

TEST_F(IfcExportScenario, WholeProjectWithoutMappingWhenNotAsked) {
    const Lines lines = Play(LoadMapping() + Export(Request("House.ifc", false)) +
                             R"S({"wait": "CompleteExportModel()", "timeout": 20})S");
    EXPECT_TRUE(Codes(lines).empty()) << "useMapFile absent: no preset step\n" << Dump(lines);
    const Lines saved = With(lines, "saved");
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_TRUE(std::filesystem::exists(home / "Exchange" / "House.ifc.ifc")) << "the extension is always appended";
    EXPECT_EQ(saved[0]["saved"]["elements"], 3) << "onlyVisible false: the whole project";
    EXPECT_EQ(ReadFile(home / "Exchange" / "House.ifc.ifc").find("Quillmar_Common"), std::string::npos);
}

TEST_F(IfcExportScenario, NoPresetWithoutALoadedMappingAndAnEmptyNameGivesDotIfc) {
    json request = Request("", false);
    request["useMapFile"] = true;
    const Lines lines = Play(Export(request) + R"S({"wait": "CompleteExportModel()", "timeout": 20})S");
    EXPECT_TRUE(Codes(lines).empty()) << Dump(lines);
    EXPECT_TRUE(std::filesystem::exists(home / "Exchange" / ".ifc"));
}

TEST_F(IfcExportScenario, UnreadableOrUnsafeRequestsFailWithoutWritingAnything) {
    json missing = Request("House", true);
    missing.erase("onlyVisible");
    missing["useMapFile"] = true;
    json wrongType = Request("House", true);
    wrongType["onlyVisible"] = "yes";
    std::string scenario = LoadMapping() + Export(missing);
    for (const char* name : {"../House", "sub/House", "C:\\\\House"})
        scenario += Export(Request(name, false));
    scenario += Export(wrongType);
    scenario += R"S({"call": "ExportIFCModel", "arg": "not json"}
{"call": "ExportIFCModel", "arg": "[1, 2]"}
)S";
    const Lines lines = Play(scenario);
    std::size_t fails = 0;
    for (const json& line : With(lines, "page"))
        if (line["page"] == "FailExportModel()") ++fails;
    EXPECT_EQ(fails, 7u) << Dump(lines);
    EXPECT_TRUE(With(lines, "saved").empty());
    EXPECT_EQ(Codes(lines), (std::vector<std::string>{"HAPR", "CRPR", "AEPM"}))
        << "the preset goes in before the other keys are checked";
    for (std::size_t i = 0; i < 7; ++i)
        EXPECT_EQ(ResultOf(lines, "ExportIFCModel", i), true);
    EXPECT_EQ(service.RequestCount(), 0u);
    EXPECT_FALSE(std::filesystem::exists(home / "House.ifc"));
}

TEST_F(IfcExportScenario, DotNamesStayInTheExchangeFolderOnceTheExtensionIsAppended) {
    const Lines lines = Play(Export(Request(".", false)) + Export(Request("..", false)) +
                             R"S({"wait": "CompleteExportModel()", "timeout": 20}
{"wait": "CompleteExportModel()", "timeout": 20})S");
    EXPECT_TRUE(With(lines, "error").empty()) << Dump(lines);
    EXPECT_TRUE(std::filesystem::is_regular_file(home / "Exchange" / "..ifc"));
    EXPECT_TRUE(std::filesystem::is_regular_file(home / "Exchange" / "...ifc"));
    EXPECT_EQ(service.RequestCount(), 2u);
}

TEST_F(IfcExportScenario, HostFailuresBeforeTheUploadRunFailExportModel) {
    const Lines lines = Play(R"S({"host": {"fail": ["getIFCExportTranslators"]}}
)S" + Export(Request("A", false)) +
                             R"S({"host": {"fail": ["saveProject"]}}
)S" + Export(Request("B", false)));
    std::size_t fails = 0;
    for (const json& line : With(lines, "page"))
        if (line["page"] == "FailExportModel()") ++fails;
    EXPECT_EQ(fails, 2u) << Dump(lines);
    EXPECT_EQ(service.RequestCount(), 0u);
    const Lines quit = With(lines, "quit");
    ASSERT_EQ(quit.size(), 1u);
    EXPECT_EQ(quit[0]["quit"]["liveHandles"], 0) << "translator handles and their copies are released";
}

TEST_F(IfcExportScenario, AnErrorAnswerKeepsTheBodyButFails) {
    service.InjectFault(ServiceStandIn::Fault::AnswerStatus(403, "{\"error\":\"no access\"}", "application/json"), 1);
    const Lines lines = Play(Export(Request("House", true)) + R"S({"wait": "FailExportModel()", "timeout": 20}
{"call": "GetIfcDocuments"})S");
    EXPECT_TRUE(With(lines, "error").empty()) << Dump(lines);
    EXPECT_EQ(ResultOf(lines, "GetIfcDocuments"), "{\"error\":\"no access\"}");
}

} // namespace
