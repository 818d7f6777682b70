#include "HostBinding/AddOnProcess.hpp"
#include "HostBinding/HostOperations.hpp"
#include "KeepInMemory.hpp"
#include "Main.hpp"

#include "APIBinding.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <optional>
#include <vector>

// The add-on's side of the table exchange, driven by a fake host in this process. CTest runs each test in a process
// of its own; run together, they run in this order, so the table is still undelivered where a test relies on it.

namespace {

API_AddOnEntryRecord record;
std::vector<bool> keepCalls;
void* seenToken = nullptr;

GSErrCode FakeKeepInMemory(void* token, bool keep) {
    seenToken = token;
    keepCalls.push_back(keep);
    return NoError;
}

TEST(HostBinding, EntryRecordHasTheLayoutWordEntryPointsAndVersion) {
    std::memset(&record, 0xAB, sizeof record);
    ASSERT_EQ(GetExportedFuncAddrs(&record), NoError);
    EXPECT_EQ(record.layout, API_EntryRecordLayout);
    EXPECT_EQ(record.apiVersion, 29000u);
    EXPECT_NE(record.describeAddOn, nullptr);
    EXPECT_NE(record.registerInterface, nullptr);
    EXPECT_NE(record.initialize, nullptr);
    EXPECT_NE(record.release, nullptr);
    EXPECT_EQ(record.reserved0, 0u) << "the record is zeroed first";
    EXPECT_EQ(record.reserved[71], 0u);
}

void DeliverFakeTable() {
    API_HostFunctionTable table{};
    table.tableSize = API_HostFunctionTableSize;
    table.apiVersion = API_HostVersion;
    table.keepInMemory = FakeKeepInMemory;
    ASSERT_EQ(SetImportedFuncAddrs(&table), NoError);
    std::memset(&table, 0, sizeof table); // the add-on keeps its own copy
}

TEST(HostBinding, BeforeTheTableEntryPointsRefuseAndHostCallsAreNotOffered) {
    ASSERT_EQ(GetExportedFuncAddrs(&record), NoError);
    API_EnvirParams envir;
    EXPECT_EQ(record.describeAddOn(&envir), APIAddon_DontRegister);
    EXPECT_TRUE(envir.addOnInfo.name.IsEmpty());
    EXPECT_EQ(record.registerInterface(nullptr), APIERR_GENERAL);
    EXPECT_EQ(record.initialize(nullptr), APIERR_GENERAL);
    EXPECT_EQ(record.release(nullptr), APIERR_GENERAL);
    EXPECT_EQ(ACAPI_KeepInMemory(true), APIERR_NOTSUPPORTED);
}

TEST(HostBinding, AfterDeliveryEmptySlotsAreNotOfferedAndFilledOnesGetTheToken) {
    ASSERT_EQ(GetExportedFuncAddrs(&record), NoError);
    DeliverFakeTable();
    int token = 0;
    // Initialisation fails at its first step (no menu-handler slot) and returns that code unchanged.
    EXPECT_EQ(record.initialize(&token), APIERR_NOTSUPPORTED);
    EXPECT_EQ(ACAPI_MenuItem_RegisterMenu(32500, 0, 0, 0), APIERR_NOTSUPPORTED);
    EXPECT_EQ(ACAPI_KeepInMemory(true), NoError);
    EXPECT_EQ(seenToken, &token);
    EXPECT_EQ(record.release(&token), NoError);
    keepCalls.clear();
}

TEST(KeepInMemory, TheHostSwitchFollowsTheFirstAndLastRequest) {
    DeliverFakeTable();
    keepCalls.clear();
    {
        KeepInMemoryRequest palette;
        {
            KeepInMemoryRequest job1;
            KeepInMemoryRequest job2;
            EXPECT_EQ(GetKeepInMemoryRequestCount(), 3u);
        }
        EXPECT_EQ(keepCalls, std::vector<bool>{true}) << "jobs ending while the palette holds on change nothing";
    }
    EXPECT_EQ(keepCalls, (std::vector<bool>{true, false}));
    EXPECT_EQ(GetKeepInMemoryRequestCount(), 0u);
}

} // namespace

namespace {

GS::Array<API_Guid> modelElements;
bool listFails = false;

API_Guid ElementGuid(UInt8 n) {
    API_Guid guid;
    guid.node[5] = n;
    return guid;
}

GSErrCode FakeElementList(void*, API_ElemTypeID, const API_Guid*, GSFlags, const API_Guid*,
                          GS::Array<API_Guid>* elements) {
    if (listFails) return APIERR_GENERAL;
    *elements = modelElements;
    return NoError;
}

GSErrCode FakeElementHeader(void*, API_Elem_Head* head) {
    return head->guid == ElementGuid(3) ? APIERR_GENERAL : NoError;
}

GSErrCode FakeBounds(void*, const API_Elem_Head* head, API_Box3D* box) {
    const double n = head->guid.node[5];
    if (n == 4) return APIERR_GENERAL;
    *box = API_Box3D{n, -n, n + 10, n + 1, 0, 2 * n};
    return NoError;
}

void DeliverModelTable() {
    API_HostFunctionTable table{};
    table.getElementList = FakeElementList;
    table.getElementHeader = FakeElementHeader;
    table.getElement3DBounds = FakeBounds;
    ASSERT_EQ(SetImportedFuncAddrs(&table), NoError);
}

TEST(ProjectEvent, ReferenceCentreIsTheCentreOfTheReadableBounds) {
    DeliverModelTable();
    // Element 3 has no header and element 4 no bounds: both are left out.
    modelElements = {ElementGuid(1), ElementGuid(2), ElementGuid(3), ElementGuid(4)};
    listFails = false;
    EXPECT_EQ(ProjectEventHandler(APINotify_Open, 0), NoError);
    const ModelReferenceCentre& centre = GetModelReferenceCentre();
    EXPECT_DOUBLE_EQ(centre.x, (1.0 + 12.0) / 2); // x from 1 to 2 + 10
    EXPECT_DOUBLE_EQ(centre.y, (-2.0 + 3.0) / 2); // y from -2 to 2 + 1
    EXPECT_DOUBLE_EQ(centre.z, (0.0 + 4.0) / 2);

    listFails = true;
    ProjectEventHandler(APINotify_Open, 0);
    EXPECT_DOUBLE_EQ(GetModelReferenceCentre().x, 0.0) << "no element list: the box is all zeros";
    EXPECT_DOUBLE_EQ(GetModelReferenceCentre().z, 0.0);
}

TEST(ProjectEvent, AnEmptyModelGivesTheOrigin) {
    DeliverModelTable();
    modelElements.Clear();
    listFails = false;
    ProjectEventHandler(APINotify_Open, 0);
    EXPECT_DOUBLE_EQ(GetModelReferenceCentre().x, 0.0);
    EXPECT_DOUBLE_EQ(GetModelReferenceCentre().y, 0.0);
}

} // namespace

namespace {

// What the command slot was handed last.
struct CommandCall {
    UInt32 code = 0;
    void* args[4] = {};
    std::optional<bool> modeOnly; // what the second argument of 'CP3D' points to, when it points
};
CommandCall lastCommand;
GSErrCode commandAnswer = NoError;

GSErrCode FakeCommand(void*, UInt32 code, void* arg1, void* arg2, void* arg3, void* arg4) {
    lastCommand = CommandCall{code, {arg1, arg2, arg3, arg4}, std::nullopt};
    if (code == APICmd_Change3DProjection && arg2 != nullptr) lastCommand.modeOnly = *static_cast<bool*>(arg2);
    return commandAnswer;
}

TEST(HostOperations, ViewAndWindowOperationsHandTheirCodeAndRecordsToTheCommandSlot) {
    API_HostFunctionTable table{};
    table.command = FakeCommand;
    ASSERT_EQ(SetImportedFuncAddrs(&table), NoError);

    API_WindowInfo window;
    API_3DProjectionInfo projection;
    API_3DCutPlanesInfo planes;
    API_3DWindowInfo window3D;
    API_Tranmat matrix;
    const GS::Array<API_Guid> elements{ElementGuid(1)};
    const API_Guid element = ElementGuid(2);
    GS::UniString text;
    struct Case {
        char code[5];
        std::function<GSErrCode()> call;
        const void* arg1;
        const void* arg2;
    };
    const Case cases[] = {
        {"GWIN", [&] { return ACAPI_Window_GetActiveWindow(&window); }, &window, nullptr},
        {"CHWD", [&] { return ACAPI_Window_ChangeWindow(&window); }, &window, nullptr},
        {"GP3D", [&] { return ACAPI_View_Get3DProjection(&projection); }, &projection, nullptr},
        {"CP3D", [&] { return ACAPI_View_Change3DProjection(&projection); }, &projection, nullptr},
        {"GC3D", [&] { return ACAPI_View_Get3DCuttingPlanes(&planes); }, &planes, nullptr},
        {"CC3D", [&] { return ACAPI_View_Change3DCuttingPlanes(&planes); }, &planes, nullptr},
        {"GW3D", [&] { return ACAPI_View_Get3DWindowSets(&window3D); }, &window3D, nullptr},
        {"CW3D", [&] { return ACAPI_View_Change3DWindowSets(&window3D); }, &window3D, nullptr},
        {"SA3D", [] { return ACAPI_View_ShowAllIn3D(); }, nullptr, nullptr},
        {"SS3D", [] { return ACAPI_View_ShowSelectionIn3D(); }, nullptr, nullptr},
        {"ZOOM", [] { return ACAPI_View_Zoom(); }, nullptr, nullptr},
        {"ZTEL", [&] { return ACAPI_View_ZoomToElements(&elements); }, &elements, nullptr},
        {"SPTR", [&] { return ACAPI_SurveyPoint_GetSurveyPointTransformation(&matrix); }, &matrix, nullptr},
        {"GEIS", [&] { return ACAPI_Element_GetElementInfoString(&element, &text); }, &element, &text},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        lastCommand = {};
        commandAnswer = APIERR_BADPARS;
        EXPECT_EQ(c.call(), APIERR_BADPARS) << "the host's answer comes back unchanged";
        EXPECT_EQ(lastCommand.code, API_FourCharCode(c.code));
        EXPECT_EQ(lastCommand.args[0], c.arg1);
        EXPECT_EQ(lastCommand.args[1], c.arg2);
        EXPECT_EQ(lastCommand.args[2], nullptr);
        EXPECT_EQ(lastCommand.args[3], nullptr);
    }

    // Only the switch between perspective and parallel tells the host to keep the camera.
    commandAnswer = NoError;
    EXPECT_EQ(ACAPI_View_Change3DProjection(&projection, true), NoError);
    EXPECT_EQ(lastCommand.modeOnly, std::optional<bool>(true));
    EXPECT_EQ(ACAPI_View_Change3DProjection(&projection, false), NoError);
    EXPECT_EQ(lastCommand.args[1], nullptr);

    table.command = nullptr;
    ASSERT_EQ(SetImportedFuncAddrs(&table), NoError);
    EXPECT_EQ(ACAPI_View_Zoom(), APIERR_NOTSUPPORTED) << "a host without the command slot offers none of them";
}

// The program carries the add-on's resources (CMakeLists.txt), as the module does.
TEST(AddOnProcess, SetUpOpensTheProgramsResourcesAndTearDownClosesThem) {
    EXPECT_EQ(GetResourceModule(), InvalidResModule) << "linking the add-on's objects sets up nothing by itself";
    ASSERT_TRUE(SetUpAddOnProcess(reinterpret_cast<const void*>(&FakeCommand)));
    EXPECT_NE(GetResourceModule(), InvalidResModule);

    API_AddOnEntryRecord entries;
    ASSERT_EQ(GetExportedFuncAddrs(&entries), NoError);
    DeliverFakeTable();
    API_EnvirParams envir;
    EXPECT_EQ(entries.describeAddOn(&envir), APIAddon_Preload);
    EXPECT_STREQ(envir.addOnInfo.name.ToCStr().Get(), "Quillmar") << "the name comes from the resources";

    TearDownAddOnProcess();
    EXPECT_EQ(GetResourceModule(), InvalidResModule);
    API_EnvirParams closed;
    EXPECT_EQ(entries.describeAddOn(&closed), APIAddon_Preload);
    EXPECT_TRUE(closed.addOnInfo.name.IsEmpty()) << "closed resources are not read";
}

} // namespace
