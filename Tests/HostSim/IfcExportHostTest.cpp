// The host's side of the IFC export: parameter lists, the IFC add-on's presets, property groups, translators and
// the IFC file the save writes. Called through the table, as an add-on calls them.

#include "HostSimTestSupport.hpp"

#include "HostServices.hpp"
#include "IfcFileWriter.hpp"
#include "Location.hpp"

#include "IFCProperty.hpp"

#include <gtest/gtest.h>

#include "IfcGlobalId.hpp"
#include "ScriptValues.hpp"
#include "Time.hpp"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>

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

constexpr const char* FireGuid = "{BBBBBBBB-0000-0000-0000-000000000001}";
constexpr const char* LoadGuid = "{BBBBBBBB-0000-0000-0000-000000000002}";
constexpr const char* RatingsGuid = "{BBBBBBBB-0000-0000-0000-000000000003}";

// Four walls and a slab with values of three property definitions: W-3 has the values of W-1, W-2 none, W-4 values
// of kinds the mapped types cannot carry.
json ValuedDescription() {
    return json::parse(R"({"name": "Valued", "elements": [
        {"guid": "{11111111-0000-0000-0000-000000000001}", "elementId": "W-1", "ifcType": "IfcWall",
         "bounds": {"xMin": 0, "yMin": 0, "zMin": 0, "xMax": 4, "yMax": 0.25, "zMax": 3},
         "propertyValues": {"{BBBBBBBB-0000-0000-0000-000000000001}": "EI 90",
                            "{bbbbbbbb-0000-0000-0000-000000000002}": 12,
                            "{BBBBBBBB-0000-0000-0000-000000000003}": [1, 2]}},
        {"guid": "{11111111-0000-0000-0000-000000000002}", "elementId": "W-2", "ifcType": "IfcWall"},
        {"guid": "{11111111-0000-0000-0000-000000000003}", "elementId": "W-3", "ifcType": "IfcWall",
         "propertyValues": {"{BBBBBBBB-0000-0000-0000-000000000001}": "EI 90",
                            "{BBBBBBBB-0000-0000-0000-000000000002}": 12.0,
                            "{BBBBBBBB-0000-0000-0000-000000000003}": [1, 2]}},
        {"guid": "{11111111-0000-0000-0000-000000000004}", "elementId": "W-4", "ifcType": "IfcWall",
         "propertyValues": {"{BBBBBBBB-0000-0000-0000-000000000001}": true,
                            "{BBBBBBBB-0000-0000-0000-000000000002}": "heavy",
                            "{BBBBBBBB-0000-0000-0000-000000000003}": 7}},
        {"guid": "{11111111-0000-0000-0000-000000000005}", "elementId": "S-1", "ifcType": "IfcSlab",
         "propertyValues": {"{BBBBBBBB-0000-0000-0000-000000000001}": "REI 60"}}],
      "propertyGroups": [
        {"guid": "{AAAAAAAA-0000-0000-0000-000000000002}", "name": "Mine", "type": 2,
         "definitions": [{"guid": "{BBBBBBBB-0000-0000-0000-000000000001}", "name": "Fire"},
                         {"guid": "{BBBBBBBB-0000-0000-0000-000000000002}", "name": "Load"},
                         {"guid": "{BBBBBBBB-0000-0000-0000-000000000003}", "name": "Ratings"}]}]})");
}

// The top-level arguments of an entity's text "NAME(a,b,...)".
std::vector<std::string> Arguments(const std::string& entity) {
    std::vector<std::string> arguments;
    std::string current;
    int depth = 0;
    bool quoted = false;
    for (std::size_t i = entity.find('(') + 1; i + 1 < entity.size(); ++i) {
        const char ch = entity[i];
        if (ch == '\'') quoted = !quoted;
        if (!quoted && ch == '(') ++depth;
        if (!quoted && ch == ')') --depth;
        if (!quoted && depth == 0 && ch == ',') {
            arguments.push_back(current);
            current.clear();
        } else {
            current += ch;
        }
    }
    arguments.push_back(current);
    return arguments;
}

// The entity numbers of a reference "#5" or a list "(#5,#6)".
std::vector<int> Numbers(const std::string& references) {
    std::vector<int> numbers;
    const std::regex number(R"(#(\d+))");
    for (std::sregex_iterator it(references.begin(), references.end(), number), end; it != end; ++it)
        numbers.push_back(std::stoi((*it)[1]));
    return numbers;
}

std::string TypeOf(const std::string& entity) {
    return entity.substr(0, entity.find('('));
}

// A fixed clock for the export's time stamp.
constexpr GSTime ExportTime = 1765289130123; // 2025-12-09T14:05:30.123Z
GSTime FixedClock() {
    return ExportTime;
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
    // The entity types of the objects a relation relates (its fifth argument).
    static std::vector<std::string> Related(const std::map<int, std::string>& entities, const std::string& relation) {
        std::vector<std::string> types;
        for (int number : Numbers(Arguments(relation).at(4)))
            types.push_back(entities.contains(number) ? TypeOf(entities.at(number)) : "missing");
        return types;
    }
    // Adds a mapping of the property, for that IFC entity type and property definition, to the mapping preset.
    void Map(const char* ifcType, const char* definition, const IFCAPI::Property& property) {
        if (services.GetIfcAddOn().FindPreset(HostSim::MappingPresetType, HostSim::MappingPresetName) == nullptr)
            services.GetIfcAddOn().CreatePreset(HostSim::MappingPresetType, HostSim::MappingPresetName);
        API_MDCLParameterList mapping = NewList();
        AddString(mapping, "ifcType", ifcType);
        AddString(mapping, "schemeItemToMapType", "Property");
        AddString(mapping, "acPropertyGuid", definition);
        AddPointer(mapping, "ifcProperty", const_cast<IFCAPI::Property*>(&property));
        GS::Array<GSHandle> handles{mapping};
        API_MDCLParameterList mappings = NewList();
        AddPointer(mappings, "presetName", &presetName);
        AddPointer(mappings, "newMappings", &handles);
        EXPECT_EQ(CallIfc("AEPM", mappings), NoError);
        table.freeParameterList(token, &mapping);
        table.freeParameterList(token, &mappings);
    }
    static IFCAPI::Property Single(const char* set, const char* name, IFCAPI::Value value) {
        return IFCAPI::Property(set, name, IFCAPI::Property::Kind::SingleValue, GS::Array<IFCAPI::Value>{value}, {});
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
    EXPECT_TRUE(std::regex_match(
        walls[0], std::regex("IFCWALL\\('" + wallGlobalId + "',#\\d+,'W-1',\\$,\\$,#\\d+,\\$,\\$,\\$\\)")))
        << walls[0];
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
    EXPECT_NE(sets[0].find(",'Pset_Q',$,(#"), std::string::npos);
    const auto relations = OfType(entities, "IFCRELDEFINESBYPROPERTIES");
    ASSERT_EQ(relations.size(), 1u);
    // Both walls share the set, not the proxy.
    EXPECT_EQ(Related(entities, relations[0]), (std::vector<std::string>{"IFCWALL", "IFCWALL"}));
    lists.push_back(preset);
    lists.push_back(mappings);
    for (API_MDCLParameterList& list : lists)
        table.freeParameterList(token, &list);
    EXPECT_EQ(services.GetParameterLists().LiveCount(), 0u);
}

// ---- What IFC tools need of the file ----

class IfcFileStructureTest : public IfcExportHostTest {
protected:
    IfcFileStructureTest() { GS::SetTimeSourceForTesting(&FixedClock); }
    ~IfcFileStructureTest() override { GS::SetTimeSourceForTesting(nullptr); }
};

TEST_F(IfcFileStructureTest, SpatialStructureUnitsOwnerHistoryAndTheExportsTime) {
    const auto file = folder / "whole.ifc";
    ASSERT_EQ(Save(API_IFCExportEntireProject, nullptr, file), NoError);
    const std::string text = Read(file);
    const auto entities = Entities(text);

    // The time of the export, in the header and in the owner history (whole seconds).
    EXPECT_NE(text.find("FILE_NAME('whole.ifc','" + HostSim::ToUtf8(TIGetISO8601TimeString(ExportTime, false)) + "',"),
              std::string::npos)
        << text.substr(0, 300);
    const auto histories = OfType(entities, "IFCOWNERHISTORY");
    ASSERT_EQ(histories.size(), 1u);
    EXPECT_EQ(Arguments(histories[0]).back(), "1765289130");
    int history = 0;
    for (const auto& [number, entity] : entities)
        if (entity == histories[0]) history = number;

    // Project > site > building > storey, each one, joined by aggregation.
    std::map<std::string, int> spatial;
    for (const char* type : {"IFCPROJECT", "IFCSITE", "IFCBUILDING", "IFCBUILDINGSTOREY"}) {
        ASSERT_EQ(OfType(entities, type).size(), 1u) << type;
        for (const auto& [number, entity] : entities)
            if (TypeOf(entity) == type) spatial[type] = number;
    }
    std::vector<std::pair<int, int>> aggregates;
    for (const std::string& relation : OfType(entities, "IFCRELAGGREGATES"))
        aggregates.emplace_back(Numbers(Arguments(relation)[4]).at(0), Numbers(Arguments(relation)[5]).at(0));
    EXPECT_EQ(aggregates, (std::vector<std::pair<int, int>>{{spatial["IFCPROJECT"], spatial["IFCSITE"]},
                                                            {spatial["IFCSITE"], spatial["IFCBUILDING"]},
                                                            {spatial["IFCBUILDING"], spatial["IFCBUILDINGSTOREY"]}}));

    // Every element in the storey, each once.
    const auto containment = OfType(entities, "IFCRELCONTAINEDINSPATIALSTRUCTURE");
    ASSERT_EQ(containment.size(), 1u);
    EXPECT_EQ(Numbers(Arguments(containment[0])[5]), std::vector<int>{spatial["IFCBUILDINGSTOREY"]});
    EXPECT_EQ(Related(entities, containment[0]),
              (std::vector<std::string>{"IFCWALL", "IFCWALL", "IFCBUILDINGELEMENTPROXY"}));

    // The project's units: SI length, area, volume and plane angle.
    const std::vector<std::string> project = Arguments(OfType(entities, "IFCPROJECT")[0]);
    const std::vector<int> assignment = Numbers(project[8]);
    ASSERT_EQ(assignment.size(), 1u);
    ASSERT_EQ(TypeOf(entities.at(assignment[0])), "IFCUNITASSIGNMENT");
    std::vector<std::string> units;
    for (int unit : Numbers(entities.at(assignment[0]))) {
        ASSERT_EQ(TypeOf(entities.at(unit)), "IFCSIUNIT");
        units.push_back(Arguments(entities.at(unit))[1] + " " + Arguments(entities.at(unit))[3]);
    }
    EXPECT_EQ(units, (std::vector<std::string>{".LENGTHUNIT. .METRE.", ".AREAUNIT. .SQUARE_METRE.",
                                               ".VOLUMEUNIT. .CUBIC_METRE.", ".PLANEANGLEUNIT. .RADIAN."}));
    EXPECT_EQ(Numbers(project[7]).size(), 1u) << "a representation context";

    // Every rooted object has the owner history and a GlobalId of its own.
    std::set<std::string> globalIds;
    std::size_t rooted = 0;
    for (const auto& [number, entity] : entities) {
        const std::vector<std::string> arguments = Arguments(entity);
        if (arguments.size() < 2 || arguments[1] != "#" + std::to_string(history)) continue;
        ++rooted;
        EXPECT_TRUE(HostSim::IsIfcGlobalId(arguments[0].substr(1, arguments[0].size() - 2))) << entity;
        EXPECT_TRUE(globalIds.insert(arguments[0]).second) << "repeated: " << entity;
    }
    EXPECT_EQ(rooted, 4u + 3u + 1u + 3u) << "spatial structure, aggregations, containment, elements";
}

TEST_F(IfcFileStructureTest, EveryExportMakesNewGlobalIdsButElementsKeepTheirOwn) {
    ASSERT_EQ(Save(API_IFCExportEntireProject, nullptr, folder / "first.ifc"), NoError);
    ASSERT_EQ(Save(API_IFCExportEntireProject, nullptr, folder / "second.ifc"), NoError);
    const auto first = Entities(Read(folder / "first.ifc"));
    const auto second = Entities(Read(folder / "second.ifc"));
    for (const char* type :
         {"IFCPROJECT", "IFCSITE", "IFCBUILDING", "IFCBUILDINGSTOREY", "IFCRELCONTAINEDINSPATIALSTRUCTURE"}) {
        ASSERT_EQ(OfType(first, type).size(), 1u);
        EXPECT_NE(Arguments(OfType(first, type)[0])[0], Arguments(OfType(second, type)[0])[0]) << type;
    }
    EXPECT_EQ(Arguments(OfType(first, "IFCWALL")[0])[0], Arguments(OfType(second, "IFCWALL")[0])[0]);
    EXPECT_EQ(Arguments(OfType(first, "IFCWALL")[0])[0],
              "'" + services.GetState().project.FindElement(Guid(WallGuid))->globalId + "'");
}

TEST_F(IfcFileStructureTest, ElementsArePlacedAtTheirBoundsWithTheirBoxAsShape) {
    services.GetState().project =
        HostSim::LoadProjectDescription(std::string(HOSTSIM_TEST_DATA_DIR) + "/ModelProject.json");
    ASSERT_EQ(Save(API_IFCExportEntireProject, nullptr, folder / "placed.ifc"), NoError);
    const auto entities = Entities(Read(folder / "placed.ifc"));
    const auto proxies = OfType(entities, "IFCBUILDINGELEMENTPROXY");
    ASSERT_EQ(proxies.size(), 4u);
    const auto at = [&entities](const std::string& reference) { return entities.at(Numbers(reference).at(0)); };
    // Slab B: bounds (0, 0, -0.3) to (4, 6, 0).
    const std::vector<std::string> slab = Arguments(proxies[1]);
    const std::string placement = at(slab[5]);
    EXPECT_EQ(at(Arguments(at(Arguments(placement)[1]))[0]), "IFCCARTESIANPOINT((0.,0.,-0.3))");
    EXPECT_EQ(TypeOf(at(Arguments(placement)[0])), "IFCLOCALPLACEMENT") << "relative to the storey's placement";
    const std::string shape = at(Arguments(at(slab[6]))[2]);
    EXPECT_EQ(Arguments(shape)[1] + Arguments(shape)[2], "'Box''BoundingBox'");
    const std::vector<std::string> box = Arguments(at(Arguments(shape)[3]));
    EXPECT_EQ(std::vector<std::string>(box.begin() + 1, box.end()), (std::vector<std::string>{"4.", "6.", "0.3"}));
    // C has no bounds: placed on the storey, without a shape.
    const std::vector<std::string> unbounded = Arguments(proxies[2]);
    EXPECT_EQ(unbounded[6], "$");
    EXPECT_EQ(at(Arguments(at(Arguments(at(unbounded[5]))[1]))[0]), "IFCCARTESIANPOINT((0.,0.,0.))");
}

TEST_F(IfcFileStructureTest, AnElementListedTwiceIsWrittenOnce) {
    GS::Array<API_Guid> listed{Guid(ProxyGuid), Guid(WallGuid), Guid(ProxyGuid)};
    ASSERT_EQ(Save(API_IFCExportElementList, &listed, folder / "listed.ifc"), NoError);
    const auto entities = Entities(Read(folder / "listed.ifc"));
    EXPECT_EQ(OfType(entities, "IFCBUILDINGELEMENTPROXY").size(), 1u);
    const auto containment = OfType(entities, "IFCRELCONTAINEDINSPATIALSTRUCTURE");
    ASSERT_EQ(containment.size(), 1u);
    EXPECT_EQ(Related(entities, containment[0]), (std::vector<std::string>{"IFCBUILDINGELEMENTPROXY", "IFCWALL"}));

    // Nothing listed: a project without elements and without a containment relation, which needs at least one.
    GS::Array<API_Guid> none;
    ASSERT_EQ(Save(API_IFCExportElementList, &none, folder / "empty.ifc"), NoError);
    const auto empty = Entities(Read(folder / "empty.ifc"));
    EXPECT_EQ(OfType(empty, "IFCBUILDINGSTOREY").size(), 1u);
    EXPECT_TRUE(OfType(empty, "IFCRELCONTAINEDINSPATIALSTRUCTURE").empty());
}

TEST_F(IfcFileStructureTest, PropertiesCarryTheElementsOwnValues) {
    services.GetState().project = HostSim::ParseProjectDescription(ValuedDescription());
    const IFCAPI::Property fire = Single("Pset_Q", "Fire", IFCAPI::Value("IfcLabel", GS::UniString("")));
    const IFCAPI::Property load = Single("Pset_Q", "Load", IFCAPI::Value("IfcReal", 0.0));
    const IFCAPI::Property again = Single("Pset_Q", "Fire", IFCAPI::Value("IfcLabel", GS::UniString("second")));
    const IFCAPI::Property ratings("Pset_Q", "Ratings", IFCAPI::Property::Kind::ListValue,
                                   GS::Array<IFCAPI::Value>{IFCAPI::Value("IfcInteger", Int64{0})}, {});
    const IFCAPI::Property range(
        "Pset_Q", "Range", IFCAPI::Property::Kind::BoundedValue,
        GS::Array<IFCAPI::Value>{IFCAPI::Value("IfcReal", 1.0), IFCAPI::Value(), IFCAPI::Value()}, {});
    Map("IfcWall", FireGuid, fire);
    Map("IfcWall", LoadGuid, load);
    Map("IfcWall", LoadGuid, again); // a second "Fire" in the same set: the first one counts
    Map("IFCWALL", RatingsGuid, ratings);
    Map("IfcWall", RatingsGuid, range);
    Map("IfcSlab", FireGuid, fire);

    ASSERT_EQ(Save(API_IFCExportEntireProject, nullptr, folder / "valued.ifc"), NoError);
    const auto entities = Entities(Read(folder / "valued.ifc"));
    // The properties of each set, by the element IDs it is related to.
    std::map<std::string, std::vector<std::string>> setsByElements;
    for (const std::string& relation : OfType(entities, "IFCRELDEFINESBYPROPERTIES")) {
        std::string elements;
        for (int element : Numbers(Arguments(relation)[4]))
            elements += (elements.empty() ? "" : " ") + Arguments(entities.at(element))[2];
        const std::string& set = entities.at(Numbers(Arguments(relation)[5]).at(0));
        EXPECT_EQ(Arguments(set)[2], "'Pset_Q'");
        std::vector<std::string> properties;
        for (int property : Numbers(Arguments(set)[4]))
            properties.push_back(entities.at(property));
        EXPECT_TRUE(setsByElements.emplace(elements, properties).second) << elements;
    }
    const std::string bounded = "IFCPROPERTYBOUNDEDVALUE('Range',$,IFCREAL(1.),$,$,$)";
    EXPECT_EQ(
        setsByElements,
        (std::map<std::string, std::vector<std::string>>{
            {"'W-1' 'W-3'",
             {"IFCPROPERTYSINGLEVALUE('Fire',$,IFCLABEL('EI 90'),$)", "IFCPROPERTYSINGLEVALUE('Load',$,IFCREAL(12.),$)",
              "IFCPROPERTYLISTVALUE('Ratings',$,(IFCINTEGER(1),IFCINTEGER(2)),$)", bounded}},
            {"'W-2'",
             {"IFCPROPERTYSINGLEVALUE('Fire',$,IFCLABEL(''),$)", "IFCPROPERTYSINGLEVALUE('Load',$,IFCREAL(0.),$)",
              "IFCPROPERTYLISTVALUE('Ratings',$,(IFCINTEGER(0)),$)", bounded}},
            {"'W-4'",
             {"IFCPROPERTYSINGLEVALUE('Fire',$,IFCLABEL('true'),$)",
              "IFCPROPERTYSINGLEVALUE('Load',$,IFCLABEL('heavy'),$)",
              "IFCPROPERTYLISTVALUE('Ratings',$,(IFCINTEGER(7)),$)", bounded}},
            {"'S-1'", {"IFCPROPERTYSINGLEVALUE('Fire',$,IFCLABEL('REI 60'),$)"}}}));
}

// ---- The file as an independent IFC reader sees it ----

// Runs the IFC checker (Tools/IfcCheck, web-ifc on Node.js) on a file; its JSON answer, or the reason there is none.
json CheckWithIndependentReader(const std::filesystem::path& file, std::string* failure) {
    const std::string node = IFC_CHECK_NODE;
    if (node.empty() || node.ends_with("-NOTFOUND")) {
        *failure = "no Node.js: scripts/bootstrap.sh installs it";
        return nullptr;
    }
    const std::string command = "'" + node + "' '" + IFC_CHECK_SCRIPT + "' '" + file.string() + "' 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        *failure = "cannot run " + command;
        return nullptr;
    }
    std::string output;
    char buffer[4096];
    while (const std::size_t read = std::fread(buffer, 1, sizeof buffer, pipe))
        output.append(buffer, read);
    pclose(pipe);
    // The answer is the last line; anything before it is the reader's own talk.
    const std::size_t start = output.rfind("\n{");
    const json answer = json::parse(output.substr(start == std::string::npos ? 0 : start + 1), nullptr, false);
    if (answer.is_discarded() || !answer.is_object()) {
        *failure = "the checker gave no answer (scripts/bootstrap.sh installs its packages):\n" + output;
        return nullptr;
    }
    return answer;
}

TEST_F(IfcFileStructureTest, AnIndependentReaderOpensTheFileAsAProject) {
    services.GetState().project = HostSim::ParseProjectDescription(ValuedDescription());
    const IFCAPI::Property fire = Single("Pset_Q", "Fire", IFCAPI::Value("IfcLabel", GS::UniString("")));
    const IFCAPI::Property load = Single("Pset_Q", "Load", IFCAPI::Value("IfcReal", 0.0));
    Map("IfcWall", FireGuid, fire);
    Map("IfcWall", LoadGuid, load);
    Map("IfcWall", FireGuid, fire);
    Map("IfcSlab", FireGuid, fire);
    const auto file = folder / "checked.ifc";
    ASSERT_EQ(Save(API_IFCExportEntireProject, nullptr, file), NoError);

    std::string failure;
    const json found = CheckWithIndependentReader(file, &failure);
    ASSERT_FALSE(found.is_null()) << failure;
    EXPECT_EQ(found["errors"], json::array()) << found.dump();
    EXPECT_EQ(found["opened"], true);
    EXPECT_EQ(found["schema"], "IFC4");
    EXPECT_EQ(found["timeStamp"], HostSim::ToUtf8(TIGetISO8601TimeString(ExportTime, false)));
    EXPECT_EQ(found["spatial"], json::parse(R"({"IfcProject": 1, "IfcSite": 1, "IfcBuilding": 1,
                                                "IfcBuildingStorey": 1})"));
    EXPECT_EQ(found["aggregates"], 3);
    EXPECT_EQ(found["containment"], 1);
    EXPECT_EQ(found["products"], 5);
    EXPECT_EQ(found["uncontained"], 0);
    EXPECT_EQ(found["containedTwice"], 0);
    EXPECT_EQ(found["ownerHistories"], 1);
    EXPECT_EQ(found["siUnits"], json({"AREAUNIT", "LENGTHUNIT", "PLANEANGLEUNIT", "VOLUMEUNIT"}));
    // W-1 and W-3 share a set; W-2, W-4 and the slab have their own.
    EXPECT_EQ(found["propertySets"], 4);
    EXPECT_EQ(found["propertyRelations"], 4);
    EXPECT_EQ(found["repeatedPropertyNames"], 0);
    EXPECT_EQ(found["repeatedGlobalIds"], 0);
}

TEST_F(IfcFileStructureTest, TheIndependentReaderSeesFaultsOfAFile) {
    // The checker is only worth its answers if it reports what is wrong: an element left out of the storey, a line
    // with too few arguments, a repeated GlobalId and a set that names a property twice.
    const auto file = folder / "faulty.ifc";
    WriteFile(file, R"(ISO-10303-21;
HEADER;
FILE_DESCRIPTION(('ViewDefinition [ReferenceView]'),'2;1');
FILE_NAME('faulty.ifc','2025-01-01T00:00:00',(''),(''),'','','');
FILE_SCHEMA(('IFC4'));
ENDSEC;
DATA;
#1=IFCPROJECT('0YvctVUKr0kugbFTf53O9L',$,'P',$,$,$,$,$,$);
#2=IFCBUILDINGSTOREY('1YvctVUKr0kugbFTf53O9L',$,'S',$,$,$,$,$,.ELEMENT.,0.);
#3=IFCWALL('2YvctVUKr0kugbFTf53O9L',$,'W',$,$,$,$,$,$);
#4=IFCWALL('2YvctVUKr0kugbFTf53O9L',$,'W',$,$,$,$,$,$);
#5=IFCRELCONTAINEDINSPATIALSTRUCTURE('3YvctVUKr0kugbFTf53O9L',$,$,$,(#3),#2);
#6=IFCPROPERTYSINGLEVALUE('A',$,IFCLABEL('x'),$);
#7=IFCPROPERTYSINGLEVALUE('A',$,IFCLABEL('y'),$);
#8=IFCPROPERTYSET('4YvctVUKr0kugbFTf53O9L',$,'Pset',$,(#6,#7));
#9=IFCSLAB('5YvctVUKr0kugbFTf53O9L',$);
ENDSEC;
END-ISO-10303-21;
)");
    std::string failure;
    const json found = CheckWithIndependentReader(file, &failure);
    ASSERT_FALSE(found.is_null()) << failure;
    EXPECT_EQ(found["opened"], true);
    EXPECT_EQ(found["spatial"]["IfcSite"], 0);
    EXPECT_EQ(found["uncontained"], 2) << "the second wall and the slab";
    EXPECT_EQ(found["repeatedGlobalIds"], 1);
    EXPECT_EQ(found["repeatedPropertyNames"], 1);
    EXPECT_FALSE(found["errors"].empty()) << "the slab's line is cut short: " << found.dump();

    WriteFile(file, "not an IFC file");
    const json unread = CheckWithIndependentReader(file, &failure);
    ASSERT_FALSE(unread.is_null()) << failure;
    EXPECT_EQ(unread["opened"], false);
}

TEST(StepStringTest, QuotesBackslashesAndNonAsciiAreEscaped) {
    EXPECT_EQ(HostSim::StepString(""), "''");
    EXPECT_EQ(HostSim::StepString("it's"), "'it''s'");
    EXPECT_EQ(HostSim::StepString("a\\b"), "'a\\\\b'");
    EXPECT_EQ(HostSim::StepString("\xC3\xA4\xC3\xB6x"), "'\\X2\\00E400F6\\X0\\x'");
    EXPECT_EQ(HostSim::StepString("x\xE2\x82\xAC"), "'x\\X2\\20AC\\X0\\'");
}

} // namespace
