// The host's side of the IFC export: parameter lists, the IFC add-on's presets, property groups, translators and
// the IFC file the save writes. Called through the table, as an add-on calls them.

#include "HostSimTestSupport.hpp"

#include "HostServices.hpp"
#include "IfcFileWriter.hpp"
#include "Location.hpp"

#include "IFCProperty.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>

namespace {

using namespace HostSimTest;
using HostSim::HostServices;

constexpr const char* WallGuid = "{11111111-2222-3333-4444-555555555551}";
constexpr const char* HiddenGuid = "{11111111-2222-3333-4444-555555555552}";
constexpr const char* ProxyGuid = "{11111111-2222-3333-4444-555555555553}";
constexpr const char* CustomGroupGuid = "{AAAAAAAA-0000-0000-0000-000000000002}";

API_Guid Guid(const char* text) {
    GS::Guid guid;
    EXPECT_TRUE(GS::Guid::TryParse(GS::UniString(text), guid));
    return GSGuid2APIGuid(guid);
}

json Description() {
    return json::parse(R"({"name": "Hall 'A'", "elements": [
        {"guid": "{11111111-2222-3333-4444-555555555551}", "elementId": "W-1", "ifcType": "IfcWall"},
        {"guid": "{11111111-2222-3333-4444-555555555552}", "elementId": "W-2", "ifcType": "IfcWall", "shownIn3D": false},
        {"guid": "{11111111-2222-3333-4444-555555555553}", "elementId": "Ä\\B"}],
      "propertyGroups": [
        {"guid": "{AAAAAAAA-0000-0000-0000-000000000001}", "name": "General", "type": 0},
        {"guid": "{AAAAAAAA-0000-0000-0000-000000000002}", "name": "Mine", "type": 2,
         "definitions": [{"guid": "{BBBBBBBB-0000-0000-0000-000000000001}", "name": "Fire"}]}]})");
}

class IfcExportHostTest : public ::testing::Test {
protected:
    IfcExportHostTest() : services(transcript, std::make_shared<HostSim::MainThread>()) {
        EXPECT_TRUE(services.Activate());
        table = services.MakeTable();
        token = services.GetHostToken();
        services.SetTokenPhase(HostServices::TokenPhase::Issued);
        services.GetState().project = HostSim::ParseProjectDescription(Description());
    }

    API_MDCLParameterList NewList() {
        API_MDCLParameterList list = nullptr;
        EXPECT_EQ(table.newParameterList(token, &list), NoError);
        return list;
    }
    GSErrCode AddString(API_MDCLParameterList list, const char* name, const char* value) {
        API_MDCLParameter parameter;
        parameter.name = name;
        parameter.type = MDCLPar_string;
        parameter.string_par = value;
        return table.addParameter(token, list, &parameter);
    }
    GSErrCode AddPointer(API_MDCLParameterList list, const char* name, void* value) {
        API_MDCLParameter parameter;
        parameter.name = name;
        parameter.type = MDCLPar_pointer;
        parameter.ptr_par = value;
        return table.addParameter(token, list, &parameter);
    }
    GSErrCode CallIfc(const char* code, API_MDCLParameterList list, void* result = nullptr) {
        const API_ModulID module{HostSim::IfcAddOnDeveloperID, HostSim::IfcAddOnLocalID};
        UInt32 value = 0;
        for (int i = 0; i < 4; ++i)
            value = (value << 8) | static_cast<unsigned char>(code[i]);
        return table.callAddOnCommand(token, &module, value, 1, list, result, true);
    }
    API_MDCLParameterList PresetList() {
        API_MDCLParameterList list = NewList();
        AddString(list, "presetType", HostSim::MappingPresetType);
        AddPointer(list, "presetName", &presetName);
        return list;
    }
    GSErrCode Save(API_IFCExportScope scope, GS::Array<API_Guid>* elements, const std::filesystem::path& file) {
        GS::Array<API_IFCTranslatorIdentifier> translators;
        EXPECT_EQ(table.getIFCExportTranslators(token, &translators), NoError);
        IO::Location location = IO::Location::FromFileSystemPath(file);
        API_FileSavePars params;
        params.fileTypeID = APIFType_IfcFile;
        params.file = &location;
        API_SavePars_Ifc ifc;
        ifc.translatorIdentifier = translators[0];
        ifc.elementsToIfcExport = scope;
        ifc.elementsSet = elements;
        const GSErrCode result = table.saveProject(token, &params, &ifc, nullptr);
        for (API_IFCTranslatorIdentifier& translator : translators)
            BMKillHandle(&translator.innerReference);
        return result;
    }
    static std::string Read(const std::filesystem::path& file) {
        std::ifstream in(file, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    // The DATA section's entities: number -> "NAME(args)".
    static std::map<int, std::string> Entities(const std::string& text) {
        std::map<int, std::string> entities;
        const std::regex entity(R"(#(\d+)=([A-Z0-9]+\(.*\));)");
        for (std::sregex_iterator it(text.begin(), text.end(), entity), end; it != end; ++it)
            entities[std::stoi((*it)[1])] = (*it)[2];
        return entities;
    }
    static std::vector<std::string> OfType(const std::map<int, std::string>& entities, const std::string& type) {
        std::vector<std::string> found;
        for (const auto& [number, text] : entities)
            if (text.rfind(type + "(", 0) == 0) found.push_back(text);
        return found;
    }

    std::shared_ptr<HostSim::Transcript> transcript = std::make_shared<HostSim::Transcript>();
    HostServices services;
    API_HostFunctionTable table{};
    void* token = nullptr;
    TempFolder folder;
    GS::UniString presetName{HostSim::MappingPresetName};
};

TEST_F(IfcExportHostTest, ParameterListsAddGetChangeAndFreeByTheirRules) {
    API_MDCLParameterList list = NewList();
    ASSERT_NE(list, nullptr);
    char text[] = "first";
    EXPECT_EQ(AddString(list, "a", text), NoError);
    text[0] = 'X'; // the host keeps its own copy
    EXPECT_EQ(AddString(list, "a", "again"), APIERR_BADNAME);
    int target = 0;
    EXPECT_EQ(AddPointer(list, "p", &target), NoError);

    API_MDCLParameter got;
    got.name = "a";
    ASSERT_EQ(table.getParameter(token, list, &got), NoError);
    EXPECT_EQ(got.type, MDCLPar_string);
    EXPECT_STREQ(got.string_par, "first");
    EXPECT_EQ(got.index, 1);
    API_MDCLParameter byIndex;
    byIndex.index = 2;
    ASSERT_EQ(table.getParameter(token, list, &byIndex), NoError);
    EXPECT_STREQ(byIndex.name, "p");
    EXPECT_EQ(byIndex.ptr_par, &target);
    byIndex.name = nullptr;
    byIndex.index = 3;
    EXPECT_EQ(table.getParameter(token, list, &byIndex), APIERR_BADNAME);

    API_MDCLParameter change;
    change.name = "a";
    change.type = MDCLPar_pointer;
    change.ptr_par = &target;
    EXPECT_EQ(table.changeParameter(token, list, &change), APIERR_BADNAME); // the kind stays
    change.type = MDCLPar_string;
    change.string_par = "second";
    EXPECT_EQ(table.changeParameter(token, list, &change), NoError);
    ASSERT_EQ(table.getParameter(token, list, &got), NoError);
    EXPECT_STREQ(got.string_par, "second");

    EXPECT_EQ(services.GetParameterLists().LiveCount(), 1u);
    EXPECT_EQ(services.GetLiveGivenHandles(), 1u); // a list left alive shows at quit like a handle
    EXPECT_EQ(table.freeParameterList(token, &list), NoError);
    EXPECT_EQ(list, nullptr);
    EXPECT_EQ(services.GetLiveGivenHandles(), 0u);
    GSHandle stranger = BMAllocateHandle(8, 0, 0);
    EXPECT_EQ(AddString(stranger, "a", "b"), APIERR_BADPARS);
    EXPECT_EQ(table.freeParameterList(token, &stranger), APIERR_BADPARS);
    BMKillHandle(&stranger);
}

TEST_F(IfcExportHostTest, IfcAddOnKeepsPresetsAndRecordsEveryCommand) {
    API_MDCLParameterList list = PresetList();
    bool exists = true;
    EXPECT_EQ(CallIfc("HAPR", list, &exists), NoError);
    EXPECT_FALSE(exists);
    EXPECT_EQ(CallIfc("CLPR", list), APIERR_GENERAL);
    EXPECT_EQ(CallIfc("CRPR", list), NoError);
    EXPECT_EQ(CallIfc("CRPR", list), APIERR_GENERAL);
    EXPECT_EQ(CallIfc("HAPR", list, &exists), NoError);
    EXPECT_TRUE(exists);
    EXPECT_EQ(CallIfc("NOPE", list), APIERR_MODULCMDNOTSUPPORTED);

    const Lines commands = With(transcript->GetLines(), "addOnCommand");
    ASSERT_EQ(commands.size(), 6u);
    EXPECT_EQ(commands[0]["addOnCommand"], json::parse(R"({"code": "HAPR", "version": 1, "silent": true, "params":
                  {"presetType": "PropertyMappingExportPreset",
                   "presetName": "Quillmar Ifc Property Mapping Export Preset Name"}})"));
    EXPECT_EQ(commands[5]["addOnCommand"]["code"], "NOPE");

    services.GetState().failing = {"CLPR"};
    EXPECT_EQ(CallIfc("CLPR", list), APIERR_GENERAL);
    EXPECT_NE(IndexOf(transcript->GetLines(), json{{"failed", "CLPR"}}), -1);
    EXPECT_NE(services.GetIfcAddOn().FindPreset(HostSim::MappingPresetType, HostSim::MappingPresetName), nullptr);

    const API_ModulID other{1, 2};
    EXPECT_EQ(table.callAddOnCommand(token, &other, API_FourCharCode("HAPR"), 1, list, &exists, true),
              APIERR_MODULNOTINSTALLED);
    table.freeParameterList(token, &list);
}

TEST_F(IfcExportHostTest, MappingsAreCopiedIntoThePresetAndRecordedWithTheirProperties) {
    API_MDCLParameterList preset = PresetList();
    ASSERT_EQ(CallIfc("CRPR", preset), NoError);
    const IFCAPI::Property property("Pset_Quillmar", "Rating", IFCAPI::Property::Kind::SingleValue,
                                    GS::Array<IFCAPI::Value>{IFCAPI::Value("IfcLabel", GS::UniString("x"))}, {});
    API_MDCLParameterList mapping = NewList();
    AddString(mapping, "ifcType", "IfcWall");
    AddString(mapping, "schemeItemToMapType", "Property");
    AddString(mapping, "acPropertyGuid", "{BBBBBBBB-0000-0000-0000-000000000001}");
    AddPointer(mapping, "ifcProperty", const_cast<IFCAPI::Property*>(&property));
    GS::Array<GSHandle> handles{mapping};
    API_MDCLParameterList mappings = NewList();
    AddPointer(mappings, "presetName", &presetName);
    AddPointer(mappings, "newMappings", &handles);
    EXPECT_EQ(CallIfc("AEPM", mappings), NoError);

    const auto* stored = services.GetIfcAddOn().FindPreset(HostSim::MappingPresetType, HostSim::MappingPresetName);
    ASSERT_NE(stored, nullptr);
    ASSERT_EQ(stored->size(), 1u);
    EXPECT_EQ((*stored)[0].ifcType, "IfcWall");
    ASSERT_TRUE((*stored)[0].property);
    EXPECT_EQ((*stored)[0].property->GetName(), GS::UniString("Rating"));

    const Lines commands = With(transcript->GetLines(), "addOnCommand");
    const json sent = commands.back()["addOnCommand"]["params"]["newMappings"];
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0]["ifcProperty"],
              json::parse(R"({"propertySet": "Pset_Quillmar", "name": "Rating", "kind": "single",
                              "values": [{"type": "IfcLabel", "value": "x"}]})"));
    for (API_MDCLParameterList* list : {&preset, &mapping, &mappings})
        table.freeParameterList(token, list);
}

TEST_F(IfcExportHostTest, PropertyGroupsAndDefinitionsComeFromTheDescription) {
    GS::Array<API_PropertyGroup> groups;
    ASSERT_EQ(table.getPropertyGroups(token, &groups), NoError);
    ASSERT_EQ(groups.GetSize(), 2u);
    EXPECT_EQ(groups[0].groupType, API_PropertyStaticBuiltInGroupType);
    EXPECT_EQ(groups[1].groupType, API_PropertyCustomGroupType);
    EXPECT_EQ(groups[1].name, GS::UniString("Mine"));
    GS::Array<API_PropertyDefinition> definitions;
    ASSERT_EQ(table.getPropertyDefinitions(token, &groups[1].guid, &definitions), NoError);
    ASSERT_EQ(definitions.GetSize(), 1u);
    EXPECT_EQ(definitions[0].groupGuid, Guid(CustomGroupGuid));
    EXPECT_EQ(definitions[0].name, GS::UniString("Fire"));
    ASSERT_EQ(table.getPropertyDefinitions(token, &groups[0].guid, &definitions), NoError);
    EXPECT_TRUE(definitions.IsEmpty());
    const API_Guid unknown = Guid(WallGuid);
    EXPECT_EQ(table.getPropertyDefinitions(token, &unknown, &definitions), APIERR_BADPARS);
}

TEST_F(IfcExportHostTest, TranslatorsDefaultEmptyAndCopiedHandles) {
    GS::Array<API_IFCTranslatorIdentifier> translators;
    ASSERT_EQ(table.getIFCExportTranslators(token, &translators), NoError);
    ASSERT_EQ(translators.GetSize(), 1u);
    EXPECT_EQ(translators[0].name, GS::UniString("General Translator"));
    GSHandle copy = nullptr;
    ASSERT_EQ(table.copyHandle(token, translators[0].innerReference, &copy), NoError);
    ASSERT_NE(copy, translators[0].innerReference);
    EXPECT_EQ(BMGetHandleSize(copy), BMGetHandleSize(translators[0].innerReference));
    EXPECT_EQ(std::memcmp(*copy, *translators[0].innerReference, 4), 0);
    BMKillHandle(&copy);
    BMKillHandle(&translators[0].innerReference);
    EXPECT_EQ(services.GetLiveGivenHandles(), 0u);

    services.GetState().project.ifcTranslators.clear();
    ASSERT_EQ(table.getIFCExportTranslators(token, &translators), NoError);
    EXPECT_TRUE(translators.IsEmpty());
    services.GetState().failing = {"getIFCExportTranslators"};
    EXPECT_EQ(table.getIFCExportTranslators(token, &translators), APIERR_GENERAL);
}

TEST_F(IfcExportHostTest, ElementListWithFlag8LeavesOutWhatIsNotShownIn3D) {
    GS::Array<API_Guid> elements;
    ASSERT_EQ(table.getElementList(token, API_AnyElemTypeID, &APINULLGuid, APIFilt_In3D, &APINULLGuid, &elements),
              NoError);
    EXPECT_EQ(elements, (GS::Array<API_Guid>{Guid(WallGuid), Guid(ProxyGuid)}));
    ASSERT_EQ(table.getElementList(token, API_AnyElemTypeID, &APINULLGuid, 0, &APINULLGuid, &elements), NoError);
    EXPECT_EQ(elements.GetSize(), 3u);
}

TEST_F(IfcExportHostTest, SaveWritesTheWholeProjectOrTheListedElements) {
    const auto whole = folder / "whole.ifc";
    ASSERT_EQ(Save(API_IFCExportEntireProject, nullptr, whole), NoError);
    const std::string text = Read(whole);
    EXPECT_EQ(text.rfind("ISO-10303-21;\nHEADER;\n", 0), 0u);
    EXPECT_NE(text.find("FILE_SCHEMA(('IFC4'));"), std::string::npos);
    const auto entities = Entities(text);
    ASSERT_EQ(OfType(entities, "IFCPROJECT").size(), 1u);
    EXPECT_NE(OfType(entities, "IFCPROJECT")[0].find("'Hall ''A'''"), std::string::npos);
    const auto walls = OfType(entities, "IFCWALL");
    ASSERT_EQ(walls.size(), 2u);
    const std::string wallGlobalId = services.GetState().project.FindElement(Guid(WallGuid))->globalId;
    EXPECT_EQ(walls[0], "IFCWALL('" + wallGlobalId + "',$,'W-1',$,$,$,$,$,$)");
    const auto proxies = OfType(entities, "IFCBUILDINGELEMENTPROXY");
    ASSERT_EQ(proxies.size(), 1u);
    EXPECT_NE(proxies[0].find(R"(,'\X2\00C4\X0\\\B',)"), std::string::npos); // "Ä\B" escaped
    EXPECT_TRUE(OfType(entities, "IFCPROPERTYSET").empty());

    const auto listed = folder / "listed.ifc";
    GS::Array<API_Guid> only{Guid(ProxyGuid)};
    ASSERT_EQ(Save(API_IFCExportElementList, &only, listed), NoError);
    const auto listedEntities = Entities(Read(listed));
    EXPECT_TRUE(OfType(listedEntities, "IFCWALL").empty());
    EXPECT_EQ(OfType(listedEntities, "IFCBUILDINGELEMENTPROXY").size(), 1u);
    EXPECT_EQ(Save(API_IFCExportElementList, nullptr, listed), APIERR_BADPARS);

    services.GetState().failing = {"saveProject"};
    EXPECT_EQ(Save(API_IFCExportEntireProject, nullptr, folder / "failed.ifc"), APIERR_GENERAL);
    EXPECT_FALSE(std::filesystem::exists(folder / "failed.ifc"));
    EXPECT_EQ(services.GetLiveGivenHandles(), 0u);
}

TEST_F(IfcExportHostTest, SaveAddsTheMappedPropertySetsToMatchingEntities) {
    services.GetIfcAddOn().CreatePreset(HostSim::MappingPresetType, HostSim::MappingPresetName);
    const IFCAPI::Property rating("Pset_Q", "Rating", IFCAPI::Property::Kind::SingleValue,
                                  GS::Array<IFCAPI::Value>{IFCAPI::Value("IfcReal", 0.0)}, {});
    const IFCAPI::Property bounded("Pset_Q", "Range", IFCAPI::Property::Kind::BoundedValue,
                                   GS::Array<IFCAPI::Value>{IFCAPI::Value(), IFCAPI::Value(), IFCAPI::Value()}, {});
    API_MDCLParameterList preset = PresetList();
    GS::Array<GSHandle> handles;
    std::vector<API_MDCLParameterList> lists;
    for (const IFCAPI::Property* property : {&rating, &bounded}) {
        API_MDCLParameterList mapping = NewList();
        AddString(mapping, "ifcType", "IFCWALL");
        AddPointer(mapping, "ifcProperty", const_cast<IFCAPI::Property*>(property));
        handles.Push(mapping);
        lists.push_back(mapping);
    }
    API_MDCLParameterList mappings = NewList();
    AddPointer(mappings, "presetName", &presetName);
    AddPointer(mappings, "newMappings", &handles);
    ASSERT_EQ(CallIfc("AEPM", mappings), NoError);

    const auto file = folder / "mapped.ifc";
    ASSERT_EQ(Save(API_IFCExportEntireProject, nullptr, file), NoError);
    const auto entities = Entities(Read(file));
    EXPECT_EQ(OfType(entities, "IFCPROPERTYSINGLEVALUE"),
              std::vector<std::string>{"IFCPROPERTYSINGLEVALUE('Rating',$,IFCREAL(0.),$)"});
    EXPECT_EQ(OfType(entities, "IFCPROPERTYBOUNDEDVALUE"),
              std::vector<std::string>{"IFCPROPERTYBOUNDEDVALUE('Range',$,$,$,$,$)"});
    const auto sets = OfType(entities, "IFCPROPERTYSET");
    ASSERT_EQ(sets.size(), 1u);
    EXPECT_NE(sets[0].find(",$,'Pset_Q',$,(#"), std::string::npos);
    const auto relations = OfType(entities, "IFCRELDEFINESBYPROPERTIES");
    ASSERT_EQ(relations.size(), 1u);
    // Both walls, not the proxy: entities #2 and #3 (the project is #1).
    EXPECT_NE(relations[0].find(",$,$,$,(#2,#3),#"), std::string::npos);
    lists.push_back(preset);
    lists.push_back(mappings);
    for (API_MDCLParameterList& list : lists)
        table.freeParameterList(token, &list);
    EXPECT_EQ(services.GetParameterLists().LiveCount(), 0u);
}

TEST(StepStringTest, QuotesBackslashesAndNonAsciiAreEscaped) {
    EXPECT_EQ(HostSim::StepString(""), "''");
    EXPECT_EQ(HostSim::StepString("it's"), "'it''s'");
    EXPECT_EQ(HostSim::StepString("a\\b"), "'a\\\\b'");
    EXPECT_EQ(HostSim::StepString("\xC3\xA4\xC3\xB6x"), "'\\X2\\00E400F6\\X0\\x'");
    EXPECT_EQ(HostSim::StepString("x\xE2\x82\xAC"), "'x\\X2\\20AC\\X0\\'");
}

} // namespace
