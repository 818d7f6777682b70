// The preset installation and MDCLParams against the simulated host's services, in-process: the add-on's code
// calls the host's table before initialize, with the null token the host accepts then.

#include "Mapping/MappingExportPreset.hpp"
#include "HostBinding/MDCLParams.hpp"
#include "HostServices.hpp"
#include "Mapping/MappingState.hpp"

#include <gtest/gtest.h>

namespace {

using HostSim::HostServices;
using nlohmann::json;

class MappingExportPresetTest : public ::testing::Test {
protected:
    MappingExportPresetTest() : services(transcript, std::make_shared<HostSim::MainThread>()) {
        EXPECT_TRUE(services.Activate());
        const API_HostFunctionTable table = services.MakeTable();
        EXPECT_EQ(SetImportedFuncAddrs(&table), NoError);
        services.SetTokenPhase(HostServices::TokenPhase::NotIssued);
        services.GetState().project = HostSim::ParseProjectDescription(json::parse(R"({"name": null,
            "propertyGroups": [{"guid": "{AAAAAAAA-0000-0000-0000-000000000001}", "name": "Built", "type": 0},
                               {"guid": "{AAAAAAAA-0000-0000-0000-000000000002}", "name": "Mine", "type": 2,
                                "definitions": [{"guid": "{BBBBBBBB-0000-0000-0000-000000000001}", "name": "A"}]}]})"));
    }

    std::vector<json> Commands() const {
        std::vector<json> commands;
        for (const json& line : transcript->GetLines())
            if (line.contains("addOnCommand")) commands.push_back(line["addOnCommand"]);
        return commands;
    }
    std::vector<std::string> Codes() const {
        std::vector<std::string> codes;
        for (const json& command : Commands())
            codes.push_back(command["code"]);
        return codes;
    }

    std::shared_ptr<HostSim::Transcript> transcript = std::make_shared<HostSim::Transcript>();
    HostServices services;
    MappingState mapping;
};

TEST_F(MappingExportPresetTest, MDCLParamsAddsChangesAndKeepsOtherKinds) {
    {
        GSAPI::MDCLParams params;
        ASSERT_NE(params.GetHandle(), nullptr);
        int target = 0;
        EXPECT_EQ(params.SetCString("a", "one"), NoError);
        EXPECT_EQ(params.SetCString("a", "two"), NoError);          // same kind: changed
        EXPECT_EQ(params.SetPointer("a", &target), APIERR_BADPARS); // other kind: left as it is
        const HostSim::StoredParameterList* list = services.GetParameterLists().Find(params.GetHandle());
        ASSERT_NE(list, nullptr);
        ASSERT_EQ(list->size(), 1u);
        EXPECT_EQ((*list)[0].type, MDCLPar_string);
        EXPECT_EQ((*list)[0].stringValue, "two");
        EXPECT_EQ(services.GetParameterLists().LiveCount(), 1u);
    }
    EXPECT_EQ(services.GetParameterLists().LiveCount(), 0u); // freed by the destructor
}

TEST_F(MappingExportPresetTest, NewPresetIsCreatedAndAnEmptyMappingListStillSent) {
    InstallMappingExportPreset(mapping);
    EXPECT_EQ(Codes(), (std::vector<std::string>{"HAPR", "CRPR", "AEPM"}));
    const std::vector<json> commands = Commands();
    for (const json& command : commands) {
        EXPECT_EQ(command["version"], 1);
        EXPECT_EQ(command["silent"], true);
    }
    EXPECT_EQ(commands[0]["params"], json::parse(R"({"presetType": "PropertyMappingExportPreset",
        "presetName": "Quillmar Ifc Property Mapping Export Preset Name"})"));
    EXPECT_EQ(commands[2]["params"], json::parse(R"({"presetName": "Quillmar Ifc Property Mapping Export Preset Name",
        "newMappings": []})"));
    EXPECT_EQ(services.GetParameterLists().LiveCount(), 0u);
}

TEST_F(MappingExportPresetTest, ExistingPresetIsClearedAndAFailingClearStopsTheCreationOnly) {
    services.GetIfcAddOn().CreatePreset(HostSim::MappingPresetType, HostSim::MappingPresetName);
    InstallMappingExportPreset(mapping);
    EXPECT_EQ(Codes(), (std::vector<std::string>{"HAPR", "CLPR", "CRPR", "AEPM"}));

    services.GetState().failing = {"CLPR"};
    const std::size_t before = Codes().size();
    InstallMappingExportPreset(mapping);
    const std::vector<std::string> codes = Codes();
    EXPECT_EQ(std::vector<std::string>(codes.begin() + static_cast<long>(before), codes.end()),
              (std::vector<std::string>{"HAPR", "AEPM"})); // the failed 'CLPR' is refused before it reaches the add-on
    EXPECT_EQ(services.GetParameterLists().LiveCount(), 0u);
}

TEST_F(MappingExportPresetTest, WithoutACustomGroupOrItsDefinitionNoMappingsAreSent) {
    services.GetState().project.propertyGroups[1].definitions.clear();
    InstallMappingExportPreset(mapping);
    EXPECT_EQ(Codes(), (std::vector<std::string>{"HAPR", "CRPR"}));
    services.GetState().project.propertyGroups.pop_back();
    InstallMappingExportPreset(mapping);
    EXPECT_EQ(Codes(), (std::vector<std::string>{"HAPR", "CRPR", "HAPR", "CLPR", "CRPR"}));
    services.GetState().failing = {"HAPR"};
    InstallMappingExportPreset(mapping);
    EXPECT_EQ(Codes().size(), 5u);
    EXPECT_EQ(services.GetParameterLists().LiveCount(), 0u);
}

} // namespace
