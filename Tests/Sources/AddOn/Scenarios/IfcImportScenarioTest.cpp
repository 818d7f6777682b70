// Models of the service come into the host: downloaded on worker threads, opened one after another and merged into
// the project of the last; one model's text opened as the project; the open project read back as IFC text.

#include "ViewpointScenario.hpp"

#include <gtest/gtest.h>

#include "IfcGlobalId.hpp"

#include <filesystem>

using namespace ViewpointScenario;

namespace {

std::string GlobalId(const std::string& prefix, std::size_t i) {
    std::string id = prefix + std::to_string(i);
    return id + std::string(22 - id.size(), 'x');
}

// A small IFC4 file: a storey holding one wall per name, with the GlobalIds "<prefix>" + a counter.
std::string IfcModel(const std::string& prefix, const std::vector<std::string>& names) {
    std::string data =
        "#1=IFCPROJECT('0YvctVUKr0kugbFTf53O9L',$,'P',$,$,$,$,$,$);\n"
        "#10=IFCCARTESIANPOINT((0.,0.,0.));\n#11=IFCAXIS2PLACEMENT3D(#10,$,$);\n#12=IFCLOCALPLACEMENT($,#11);\n"
        "#20=IFCBUILDINGSTOREY('2hBCIXRnHAPOKiAkyVCiKn',$,'Level 1',$,$,#12,$,$,.ELEMENT.,0.);\n";
    std::string related;
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::string id = std::to_string(100 + i);
        data += "#" + id + "=IFCWALL('" + GlobalId(prefix, i) + "',$,'" + names[i] + "',$,$,#12,$,$,$);\n";
        related += (related.empty() ? "#" : ",#") + id;
    }
    data += "#90=IFCRELCONTAINEDINSPATIALSTRUCTURE('0Ii8xYOVn5dv7BH5GZDvG1',$,$,$,(" + related + "),#20);\n";
    return "ISO-10303-21;\r\nHEADER;\r\nFILE_DESCRIPTION((''),'2;1');\r\nFILE_NAME('m.ifc','',(''),(''),'','','');\r\n"
           "FILE_SCHEMA(('IFC4'));\r\nENDSEC;\r\nDATA;\r\n" +
           data + "ENDSEC;\r\nEND-ISO-10303-21;\r\n";
}

class IfcImportScenario : public Fixture {
protected:
    static API_Guid Guid(const char* text) { return GSGuid2APIGuid(GS::Guid(text)); }
    static std::string Call(const char* name, const json& argument) {
        return json{{"call", name}, {"arg", argument}}.dump() + "\n";
    }
    static std::string WaitFor(const char* script) { return json{{"wait", script}, {"timeout", 30}}.dump() + "\n"; }
    static json Model(const char* id, const char* name, int version) {
        return json{{"id", id}, {"name", name}, {"version", version}, {"extension", "ifc"}};
    }
    static std::string Import(const json& models) {
        return Call("ImportIfcFiles", json{{"token", "tok-1"}, {"modelInfos", models}}.dump());
    }
    static long Reports(const Lines& lines, const char* script) { return Count(lines, json{{"page", script}}); }

    // The add-on's resources folder, as GetResourceFolder names it in a run.
    std::filesystem::path Resources() const {
        const Lines lines = const_cast<IfcImportScenario*>(this)->Play(Call("GetResourceFolder", nullptr));
        std::string folder = ResultOf(lines, "GetResourceFolder").get<std::string>();
        folder.replace(0, std::string("<home>").size(), home.Path().string());
        return folder;
    }
    // The names GetElementNames gave, in order.
    static std::vector<std::string> Names(const json& result) {
        std::vector<std::string> names;
        if (!result.is_array()) return names;
        for (const json& descriptor : result)
            names.push_back(json::parse(descriptor.get<std::string>())["name"]);
        return names;
    }
};

TEST_F(IfcImportScenario, ThreeModelsAreDownloadedOpenedAndMergedIntoTheLast) {
    service.AddResource("m1", IfcModel("A", {"Wall A1", "Wall A2"}));
    service.AddResource("m2", IfcModel("B", {"Wall B1"}));
    service.AddResource("m3", IfcModel("C", {"Wall C1", "Wall C2"}));
    const Lines lines =
        Play(Import(json::array({Model("m1", "Tower", 3), Model("m2", "Annex", 1), Model("m3", "Site", 7)})) +
             WaitFor("CompleteImportModels()") + Call("OpenIfcModels", nullptr) +
             Call("GetElementNames", json::array({GlobalId("A", 0), GlobalId("B", 0), GlobalId("C", 1)})));

    EXPECT_TRUE(With(lines, "error").empty()) << Dump(lines);
    EXPECT_EQ(Reports(lines, "CompleteImportModels()"), 1);
    EXPECT_EQ(service.RequestCount(), 3u);
    for (const char* file : {"Tower-V3.ifc", "Annex-V1.ifc", "Site-V7.ifc"})
        EXPECT_TRUE(std::filesystem::exists(Resources() / file)) << file;
    const Lines alerts = With(lines, "alert");
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0]["alert"]["large"],
              "Model is downloaded. Now Archicad is going to load the model. It will take several minutes.");
    EXPECT_EQ(With(lines, "opened").size(), 3u);
    const Lines steps = With(lines, "undoStep");
    ASSERT_EQ(steps.size(), 3u) << "one step for each element of the first two models";
    for (const json& step : steps)
        EXPECT_EQ(step["undoStep"], "Create Element");
    EXPECT_EQ(steps.back()["elements"], 5);
    EXPECT_EQ(Names(ResultOf(lines, "GetElementNames")), (std::vector<std::string>{"Wall A1", "Wall B1", "Wall C2"}));
}

TEST_F(IfcImportScenario, AModelAskedForAgainIsOpenedFromTheResourcesFolder) {
    service.AddResource("m1", IfcModel("A", {"Wall A1"}));
    const std::string import = Import(json::array({Model("m1", "Tower", 3)}));
    const Lines lines = Play(import + WaitFor("CompleteImportModels()") + Call("OpenIfcModels", nullptr) + import +
                             WaitFor("CompleteImportModels()") + Call("OpenIfcModels", nullptr));
    EXPECT_EQ(service.RequestCount(), 1u) << "the cached file is opened, nothing is downloaded again";
    EXPECT_EQ(With(lines, "opened").size(), 2u) << Dump(lines);
    EXPECT_TRUE(With(lines, "undoStep").empty()) << "one model: nothing is merged";
}

TEST_F(IfcImportScenario, AFailedDownloadLeavesNoFileAndTheOthersAreStillMerged) {
    service.AddResource("m1", IfcModel("A", {"Wall A1"}));
    service.AddResource("m3", IfcModel("C", {"Wall C1"}));
    const Lines lines =
        Play(Import(json::array({Model("m1", "One", 1), Model("missing", "Two", 1), Model("m3", "Three", 1)})) +
             WaitFor("CompleteImportModels()") + Call("OpenIfcModels", nullptr) +
             Call("GetElementNames", json::array({GlobalId("A", 0)})));
    EXPECT_EQ(Reports(lines, "CompleteImportModels()"), 1) << Dump(lines);
    EXPECT_FALSE(std::filesystem::exists(Resources() / "Two-V1.ifc")) << "a 404 never becomes a model";
    EXPECT_EQ(With(lines, "undoStep").size(), 1u);
    EXPECT_EQ(Names(ResultOf(lines, "GetElementNames")), std::vector<std::string>{"Wall A1"});

    const Lines dropped = Play(json{{"service", {{"drop", true}}}}.dump() + "\n" +
                               Import(json::array({Model("m1", "Dropped", 1)})) + WaitFor("CompleteImportModels()"));
    EXPECT_EQ(Reports(dropped, "CompleteImportModels()"), 1) << Dump(dropped);
    EXPECT_FALSE(std::filesystem::exists(Resources() / "Dropped-V1.ifc")) << "a half-received model is not kept";
}

TEST_F(IfcImportScenario, ArgumentsThatNameNoModelEndTheFlowAtOnce) {
    const json unsafe = json::array({Model("a/b", "n", 1), Model("id", "../up", 1), Model("id", "..", 1),
                                     json{{"id", "id"}, {"name", "n"}, {"version", 1}, {"extension", "i/fc"}}});
    const json wrongTypes =
        json::array({7, json{{"id", "i"}, {"name", "n"}, {"version", "1"}, {"extension", "ifc"}},
                     json{{"id", "i"}, {"name", "n"}, {"version", 1.5}, {"extension", "ifc"}},
                     json{{"id", "i"}, {"name", "n"}, {"version", 4294967296.0}, {"extension", "ifc"}},
                     json{{"id", 5}, {"name", "n"}, {"version", 1}, {"extension", "ifc"}}});
    const Lines lines =
        Play(Import(json::array()) + Call("OpenIfcModels", nullptr) + Import(unsafe) + Import(wrongTypes) +
             Call("ImportIfcFiles", "not json") + Call("ImportIfcFiles", "[1]") +
             Call("ImportIfcFiles", json{{"token", "t"}, {"modelInfos", "x"}}.dump()) +
             Call("ImportIfcFiles", json{{"token", ""}, {"modelInfos", json::array({Model("m", "n", 1)})}}.dump()));
    EXPECT_TRUE(With(lines, "error").empty()) << Dump(lines);
    EXPECT_EQ(Reports(lines, "CompleteImportModels()"), 7) << "each flow ends, none with \"Bad cast.\"";
    EXPECT_TRUE(With(lines, "alert").empty()) << "nothing to open: no alert";
    EXPECT_EQ(service.RequestCount(), 0u);
    EXPECT_FALSE(std::filesystem::exists(Resources().parent_path() / "up-V1.ifc"));
}

TEST_F(IfcImportScenario, OneModelsTextIsWrittenUnderTheRegisteredNameAndOpened) {
    const std::string text = IfcModel("U", {"Wand \\X2\\00FC\\X0\\ber", "Mur 東京"});
    const Lines lines = Play(Call("ImportIfcModel", text) + Call("RegisterIfcFileName", "../escape.ifc") +
                             Call("ImportIfcModel", text) + Call("RegisterIfcFileName", "Grüße.ifc") +
                             Call("ImportIfcModel", text) + Call("GetElementNames", json::array({GlobalId("U", 0)})));
    EXPECT_TRUE(With(lines, "error").empty()) << Dump(lines);
    ASSERT_EQ(With(lines, "opened").size(), 1u) << "before a registration, and for a name that is no plain name, "
                                                   "nothing is written or opened";
    EXPECT_FALSE(std::filesystem::exists(Resources().parent_path() / "escape.ifc"));
    EXPECT_EQ(ReadFile(Resources() / "Grüße.ifc"), text);
    EXPECT_EQ(Names(ResultOf(lines, "GetElementNames")), std::vector<std::string>{"Wand über"});
    const Lines second = Play(Call("RegisterIfcFileName", "Grüße.ifc") + Call("ImportIfcModel", text) +
                              Call("GetElementNames", json::array({GlobalId("U", 1)})));
    EXPECT_EQ(Names(ResultOf(second, "GetElementNames")), std::vector<std::string>{"Mur 東京"})
        << "UTF-8 text reads back equal\n"
        << Dump(second);
}

TEST_F(IfcImportScenario, TheOpenProjectComesBackAsTextThatOpensWithTheSameGlobalIds) {
    const Lines exported = Play(Call("GetIfcFile", "model") + Call("GetIfcFile", "") + Call("GetIfcFile", "a/b"));
    const json text = ResultOf(exported, "GetIfcFile", 0);
    ASSERT_TRUE(text.is_string()) << Dump(exported);
    EXPECT_EQ(text, ReadFile(home / "Exchange" / "model.ifc"));
    EXPECT_NE(text.get<std::string>().find("IFCPROJECT"), std::string::npos);
    EXPECT_EQ(ResultOf(exported, "GetIfcFile", 1), "");
    EXPECT_EQ(ResultOf(exported, "GetIfcFile", 2), "");

    const Lines reopened = Play(
        Call("RegisterIfcFileName", "again.ifc") + Call("ImportIfcModel", text) +
        Call("GetElementNames", json::array({HostSim::MakeIfcGlobalId(Guid(W1)), HostSim::MakeIfcGlobalId(Guid(S1))})));
    ASSERT_EQ(With(reopened, "opened").size(), 1u) << Dump(reopened);
    const std::vector<std::string> names = Names(ResultOf(reopened, "GetElementNames"));
    EXPECT_EQ(names.size(), 2u) << "the elements are found by the GlobalIds they had\n" << Dump(reopened);
    for (const std::string& name : names)
        EXPECT_EQ(name.find("xxx"), std::string::npos);
}

} // namespace
