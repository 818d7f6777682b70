// The host's operations, called through the table as an add-on calls them (the test's thread is the host's main
// thread).

#include "HostSimTestSupport.hpp"

#include "HostServices.hpp"
#include "Location.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

namespace {

using namespace HostSimTest;
using HostSim::HostServices;

class HostServicesTest : public ::testing::Test {
protected:
    HostServicesTest() : services(transcript, std::make_shared<HostSim::MainThread>()) {
        EXPECT_TRUE(services.Activate());
        table = services.MakeTable();
        token = services.GetHostToken();
        services.SetTokenPhase(HostServices::TokenPhase::Issued);
    }

    Lines Errors() const { return With(transcript->GetLines(), "error"); }

    std::shared_ptr<HostSim::Transcript> transcript = std::make_shared<HostSim::Transcript>();
    HostServices services;
    API_HostFunctionTable table{};
    void* token = nullptr;
};

TEST_F(HostServicesTest, KeepInMemoryCountsRequestsAndNeverGoesBelowZero) {
    EXPECT_EQ(table.keepInMemory(token, false), NoError);
    EXPECT_EQ(services.GetState().keepInMemoryCount, 0);
    table.keepInMemory(token, true);
    table.keepInMemory(token, true);
    table.keepInMemory(token, false);
    EXPECT_EQ(services.GetState().keepInMemoryCount, 1);
    table.keepInMemory(token, false);
    table.keepInMemory(token, false);
    EXPECT_EQ(services.GetState().keepInMemoryCount, 0);
}

TEST_F(HostServicesTest, RefusesForeignTokensOtherThreadsAndCallsAfterRelease) {
    int other = 0;
    EXPECT_EQ(table.keepInMemory(&other, true), APIERR_GENERAL);
    std::thread([&] { EXPECT_EQ(table.keepInMemory(token, true), APIERR_GENERAL); }).join();
    services.SetTokenPhase(HostServices::TokenPhase::Revoked);
    EXPECT_EQ(table.keepInMemory(token, true), APIERR_GENERAL);
    EXPECT_EQ(services.GetState().keepInMemoryCount, 0);
    const Lines errors = Errors();
    ASSERT_EQ(errors.size(), 3u);
    EXPECT_EQ(errors[0]["error"], "keepInMemory was called with a token that is not the host's");
    EXPECT_EQ(errors[1]["error"], "keepInMemory was called outside the main thread");
    EXPECT_EQ(errors[2]["error"], "keepInMemory was called after the add-on was released");
}

TEST_F(HostServicesTest, BeforeInitializeANullTokenIsTheAddOnsOnly) {
    services.SetTokenPhase(HostServices::TokenPhase::NotIssued);
    EXPECT_EQ(table.keepInMemory(nullptr, true), NoError);
    services.SetTokenPhase(HostServices::TokenPhase::Issued);
    EXPECT_EQ(table.keepInMemory(nullptr, true), APIERR_GENERAL);
}

TEST_F(HostServicesTest, InactiveServicesAnswerNothing) {
    services.Deactivate();
    EXPECT_EQ(table.keepInMemory(token, true), APIERR_GENERAL);
    EXPECT_TRUE(transcript->GetLines().empty());
    EXPECT_TRUE(services.Activate());
}

TEST_F(HostServicesTest, PlannedFailuresByNameOrCommandCode) {
    services.GetState().failing = {"getProjectInfo", "GEIS"};
    API_ProjectInfo info;
    info.projectName = "kept";
    EXPECT_EQ(table.getProjectInfo(token, &info), APIERR_GENERAL);
    EXPECT_EQ(info.projectName, "kept"); // out-parameters untouched on failure
    EXPECT_EQ(table.command(token, API_FourCharCode("GEIS"), nullptr, nullptr, nullptr, nullptr), APIERR_GENERAL);
    EXPECT_EQ(table.command(token, API_FourCharCode("ABCD"), nullptr, nullptr, nullptr, nullptr), APIERR_NOTSUPPORTED);
    const Lines lines = transcript->GetLines();
    EXPECT_NE(IndexOf(lines, json{{"failed", "getProjectInfo"}}), -1);
    EXPECT_NE(IndexOf(lines, json{{"failed", "GEIS"}}), -1);
    EXPECT_TRUE(Errors().empty());

    EXPECT_TRUE(HostSim::IsFailableOperation("getElementList"));
    EXPECT_TRUE(HostSim::IsFailableOperation("GEIS"));
    EXPECT_FALSE(HostSim::IsFailableOperation("getProjectInfos"));
    EXPECT_FALSE(HostSim::IsFailableOperation("ABC"));
}

TEST_F(HostServicesTest, CommandsAreNotSupportedUnlessAddedAndUnknownOnesAreRecorded) {
    EXPECT_EQ(table.command(token, API_FourCharCode("XyZ1"), nullptr, nullptr, nullptr, nullptr), APIERR_NOTSUPPORTED);
    int seen = 0;
    services.RegisterCommand(API_FourCharCode("OKAY"), [&seen](void* a, void*, void*, void*) {
        seen = *static_cast<int*>(a);
        return NoError;
    });
    int argument = 42;
    EXPECT_EQ(table.command(token, API_FourCharCode("OKAY"), &argument, nullptr, nullptr, nullptr), NoError);
    EXPECT_EQ(seen, 42);
    EXPECT_EQ(services.GetState().unknownCommands, std::vector<UInt32>{API_FourCharCode("XyZ1")});
    EXPECT_NE(IndexOf(transcript->GetLines(), json{{"command", "XyZ1"}, {"supported", false}}), -1);
}

TEST_F(HostServicesTest, LanguageAndProjectInfo) {
    API_ServerApplicationInfo app;
    ASSERT_EQ(table.getApplicationInfo(token, &app), NoError);
    EXPECT_EQ(app.language, "INT");
    services.GetState().language = "GER";
    table.getApplicationInfo(token, &app);
    EXPECT_EQ(app.language, "GER");

    API_ProjectInfo info;
    info.untitled = false;
    info.projectName = "stale";
    ASSERT_EQ(table.getProjectInfo(token, &info), NoError);
    EXPECT_TRUE(info.untitled);
    EXPECT_TRUE(info.projectName.IsEmpty());
    services.GetState().project.name = "Villa";
    table.getProjectInfo(token, &info);
    EXPECT_FALSE(info.untitled);
    EXPECT_EQ(info.projectName, "Villa");
    EXPECT_EQ(table.getProjectInfo(token, nullptr), APIERR_GENERAL);
}

TEST_F(HostServicesTest, SpecialFoldersFiveAndSevenOnly) {
    services.GetState().userDataFolder = IO::Location(GS::UniString("/data/GRAPHISOFT/Archicad 29"));
    services.GetState().exchangeFolder = IO::Location(GS::UniString("/data/Exchange"));
    IO::Location location;
    GS::UniString path;
    ASSERT_EQ(table.getSpecialFolder(token, API_UserDataFolderID, &location), NoError);
    location.ToPath(&path);
    EXPECT_EQ(path, "/data/GRAPHISOFT/Archicad 29");
    ASSERT_EQ(table.getSpecialFolder(token, API_ExchangeFolderID, &location), NoError);
    location.ToPath(&path);
    EXPECT_EQ(path, "/data/Exchange");
    EXPECT_EQ(table.getSpecialFolder(token, 3, &location), APIERR_GENERAL);
    EXPECT_EQ(Errors().size(), 1u);
}

TEST_F(HostServicesTest, ElementsComeFromTheProjectDescription) {
    services.GetState().project =
        HostSim::LoadProjectDescription(std::string(HOSTSIM_SCENARIO_DIR) + "/SampleProject.json");
    const auto& elements = services.GetState().project.elements;
    GS::Array<API_Guid> list;
    list.Push(APINULLGuid); // replaced, not appended to
    ASSERT_EQ(table.getElementList(token, API_AnyElemTypeID, &APINULLGuid, 0, &APINULLGuid, &list), NoError);
    ASSERT_EQ(list.GetSize(), elements.size());
    EXPECT_EQ(list[0], elements[0].guid);
    ASSERT_EQ(table.getElementList(token, 2, nullptr, 0, nullptr, &list), NoError);
    ASSERT_EQ(list.GetSize(), 1u);
    EXPECT_EQ(list[0], elements[1].guid);

    API_Elem_Head head;
    head.guid = elements[1].guid;
    ASSERT_EQ(table.getElementHeader(token, &head), NoError);
    EXPECT_EQ(head.typeID, 2);
    API_Box3D box;
    ASSERT_EQ(table.getElement3DBounds(token, &head, &box), NoError);
    EXPECT_EQ(box.zMin, -0.25);
    head.guid = elements[2].guid; // no bounds in the description
    EXPECT_EQ(table.getElement3DBounds(token, &head, &box), APIERR_GENERAL);
    head.guid = APINULLGuid;
    EXPECT_EQ(table.getElementHeader(token, &head), APIERR_GENERAL);
}

TEST_F(HostServicesTest, OwnTokenOnlyForTheRegistrationValue) {
    const API_Guid expected = GSGuid2APIGuid(GS::Guid("{01234567-89AB-CDEF-0123-456789ABCDEF}"));
    services.GetState().ownToken = expected;
    API_Guid got;
    ASSERT_EQ(table.getOwnToken(token, services.GetRegistrationValue(), &got), NoError);
    EXPECT_EQ(got, expected);
    int other = 0;
    EXPECT_EQ(table.getOwnToken(token, &other, &got), APIERR_GENERAL);
}

TEST_F(HostServicesTest, MenusOnlyDuringInterfaceRegistration) {
    EXPECT_EQ(table.registerMenu(token, 32500, 0, 0, 0), APIERR_GENERAL);
    services.SetRegisteringInterface(true);
    // Without the module's resources there is no string list to read.
    EXPECT_EQ(table.registerMenu(token, 32500, 0, 0, 0), APIERR_GENERAL);
    const Lines errors = Errors();
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_NE(errors[0]["error"].get<std::string>().find("only allowed while"), std::string::npos);
    EXPECT_NE(errors[1]["error"].get<std::string>().find("string list 32500"), std::string::npos);
}

TEST_F(HostServicesTest, MenuItemFlagsOfUnknownItemsFail) {
    const API_MenuItemRef item{32500, 1};
    GSFlags flags = 0;
    EXPECT_EQ(table.getMenuItemFlags(token, &item, &flags), APIERR_GENERAL);
    EXPECT_EQ(table.setMenuItemFlags(token, &item, API_MenuItemChecked), APIERR_GENERAL);
}

} // namespace
