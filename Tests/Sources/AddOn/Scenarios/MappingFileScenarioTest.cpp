#include "AddOnScenario.hpp"
#include "TempFolder.hpp"

#include <gtest/gtest.h>

#include <filesystem>

using namespace AddOnScenario;

namespace {

class MappingFileScenario : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(home / "Maps");
        WriteFile(home / "Maps/map.xml",
                  "<SchemeItemList><SchemeProperty IFCEntityType=\"IfcWall\" PropertySetName=\"Pset\">"
                  "<ACPropertyValue PropertyDefinitionGroupName=\"G\" PropertyDefinitionName=\"D\"/><PropertyDef>"
                  "<Name>N</Name><PropertyType><TypePropertySingleValue/></PropertyType><DataType type=\"IfcLabel\"/>"
                  "</PropertyDef></SchemeProperty></SchemeItemList>");
        WriteFile(home / "Maps/doctype.xml", "<?xml version=\"1.0\"?>\n<!DOCTYPE SchemeItemList>\n<SchemeItemList/>");
        WriteFile(home / "Maps/entity.xml", "<!DOCTYPE SchemeItemList [<!ENTITY a \"aaaa\">]><SchemeItemList>&a;"
                                            "</SchemeItemList>");
        WriteFile(home / "Maps/external.xml", "<!DOCTYPE SchemeItemList SYSTEM \"http://127.0.0.1:9/x.dtd\">"
                                              "<SchemeItemList/>");
        WriteFile(home / "Maps/other.xml", "<Project/>");
        WriteFile(home / "Maps/broken.xml", "<SchemeItemList>");
    }

    Lines Run(const std::string& scenario) {
        HostSim::HostOptions options = Options();
        options.home = home.Path();
        return RunScenario(scenario, options);
    }

    TempFolder home;
};

TEST_F(MappingFileScenario, AnsweredFileGivesItsPathAndTheDialogAsksForXml) {
    const Lines lines = Run(R"({"menu": 32500, "item": 1}
{"answer": {"file": "<home>/Maps/map.xml"}}
{"call": "OpenMappingFile"})");
    EXPECT_EQ(ResultOf(lines, "OpenMappingFile"), "<home>/Maps/map.xml") << Dump(lines);
    const Lines dialogs = With(lines, "fileDialog");
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0]["fileDialog"]["type"], 0);
    EXPECT_EQ(dialogs[0]["fileDialog"]["filters"],
              (json::array({{{"text", "Property Mapping File"}, {"extensions", {"xml"}}, {"option", 1}}})));
    EXPECT_EQ(dialogs[0]["answer"], "<home>/Maps/map.xml");
}

TEST_F(MappingFileScenario, CancelOrNoAnswerGivesEmptyText) {
    const Lines lines = Run(R"({"menu": 32500, "item": 1}
{"answer": {"file": null}}
{"call": "OpenMappingFile"}
{"call": "OpenMappingFile"}
{"answer": {"file": "<home>/Maps/map.xml"}}
{"call": "OpenMappingFile"})");
    EXPECT_EQ(ResultOf(lines, "OpenMappingFile", 0), "") << Dump(lines);
    EXPECT_EQ(ResultOf(lines, "OpenMappingFile", 1), "") << "without an answer the dialog is cancelled";
    EXPECT_EQ(ResultOf(lines, "OpenMappingFile", 2), "<home>/Maps/map.xml") << "answers are used once, in order";
    const Lines dialogs = With(lines, "fileDialog");
    ASSERT_EQ(dialogs.size(), 3u);
    EXPECT_TRUE(dialogs[0]["answer"].is_null());
    EXPECT_TRUE(dialogs[1]["answer"].is_null());
}

TEST_F(MappingFileScenario, FilesThatAreNoMappingFilesGiveEmptyText) {
    const Lines lines = Run(R"({"menu": 32500, "item": 1}
{"answer": {"file": "<home>/Maps/other.xml"}}
{"call": "OpenMappingFile"}
{"answer": {"file": "<home>/Maps/broken.xml"}}
{"call": "OpenMappingFile"}
{"answer": {"file": "<home>/Maps/absent.xml"}}
{"call": "OpenMappingFile"})");
    EXPECT_EQ(ResultOf(lines, "OpenMappingFile", 0), "") << Dump(lines);
    EXPECT_EQ(ResultOf(lines, "OpenMappingFile", 1), "");
    EXPECT_EQ(ResultOf(lines, "OpenMappingFile", 2), "");
    EXPECT_EQ(With(lines, "error").size(), 0u);
}

TEST_F(MappingFileScenario, AHarmlessDocumentTypeIsAcceptedEntitiesAndExternalOnesAreNot) {
    const Lines lines = Run(R"({"menu": 32500, "item": 1}
{"answer": {"file": "<home>/Maps/doctype.xml"}}
{"call": "OpenMappingFile"}
{"answer": {"file": "<home>/Maps/entity.xml"}}
{"call": "OpenMappingFile"}
{"answer": {"file": "<home>/Maps/external.xml"}}
{"call": "OpenMappingFile"})");
    EXPECT_EQ(ResultOf(lines, "OpenMappingFile", 0), "<home>/Maps/doctype.xml") << Dump(lines);
    EXPECT_EQ(ResultOf(lines, "OpenMappingFile", 1), "") << "an entity declaration";
    EXPECT_EQ(ResultOf(lines, "OpenMappingFile", 2), "") << "an external document type";
}

} // namespace
