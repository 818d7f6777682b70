// The host's model operations called as an add-on calls them: selection, element commands, cutting planes, window,
// zoom, the IFC object accessor and the accounting of the memory handles the host gives out.

#include "HostSimTestSupport.hpp"

#include "HostServices.hpp"
#include "ScriptValues.hpp"

#include "Guid.hpp"
#include "IFCObjectAccessor.hpp"
#include "MemoryManager.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <thread>

namespace {

using namespace HostSimTest;
using HostSim::HostServices;

const char* const A = "{11111111-2222-3333-4444-555555555555}";
const char* const B = "{22222222-2222-4222-8222-222222222222}";
const char* const C = "{33333333-3333-4333-8333-333333333333}";
const char* const D = "{44444444-4444-4444-8444-444444444444}";
const char* const Unknown = "{99999999-9999-4999-8999-999999999999}";
const std::string AOwn = "0H4H4H8Y8pCqH4LLLLLLLL";
const std::string BOwn = "2SharedByStoreyAndB000";
const std::string COwn = "0pCpCpCpD3CuCpCpCpCpCp";
const std::string DOwn = "14H4H4H4H4H8H4H4H4H4H4";

API_Guid G(const char* text) {
    return GSGuid2APIGuid(GS::Guid(text));
}

GS::Array<API_Neig> Neigs(std::initializer_list<const char*> guids) {
    GS::Array<API_Neig> neigs;
    for (const char* guid : guids) {
        API_Neig neig;
        neig.guid = G(guid);
        neigs.Push(neig);
    }
    return neigs;
}

// What the add-on's selection handler saw.
std::vector<API_Guid> handlerCalls;
GSErrCode RecordingHandler(const API_Neig* neig) {
    handlerCalls.push_back(neig != nullptr ? neig->guid : APINULLGuid);
    return NoError;
}

class HostModelTest : public ::testing::Test {
protected:
    HostModelTest() : services(transcript, mainThread) {
        services.GetState().project =
            HostSim::LoadProjectDescription(std::string(HOSTSIM_TEST_DATA_DIR) + "/ModelProject.json");
        EXPECT_TRUE(services.Activate());
        table = services.MakeTable();
        token = services.GetHostToken();
        services.SetTokenPhase(HostServices::TokenPhase::Issued);
        services.GetState().selectionHandler = &RecordingHandler;
        handlerCalls.clear();
    }

    GSErrCode Command(UInt32 code, void* arg1, void* arg2 = nullptr) {
        return table.command(token, code, arg1, arg2, nullptr, nullptr);
    }

    std::vector<API_Guid> Selection() const { return services.GetState().selection; }
    Lines Errors() const { return QuillmarTest::With(transcript->GetLines(), "error"); }
    Lines With(const std::string& key) const { return QuillmarTest::With(transcript->GetLines(), key); }

    std::shared_ptr<HostSim::Transcript> transcript = std::make_shared<HostSim::Transcript>();
    std::shared_ptr<HostSim::MainThread> mainThread = std::make_shared<HostSim::MainThread>();
    HostServices services;
    API_HostFunctionTable table{};
    void* token = nullptr;
};

// ---- Selection ----

TEST_F(HostModelTest, SelectAddsInOrderSkipsUnknownAndDuplicatesAndRemoves) {
    const auto first = Neigs({C, Unknown, A, C});
    ASSERT_EQ(table.selectElements(token, &first, true), NoError);
    EXPECT_EQ(Selection(), (std::vector<API_Guid>{G(C), G(A)}));
    const auto more = Neigs({B, A});
    table.selectElements(token, &more, true);
    EXPECT_EQ(Selection(), (std::vector<API_Guid>{G(C), G(A), G(B)}));
    const auto drop = Neigs({A, Unknown, D});
    ASSERT_EQ(table.selectElements(token, &drop, false), NoError);
    EXPECT_EQ(Selection(), (std::vector<API_Guid>{G(C), G(B)}));
    ASSERT_EQ(table.deselectAll(token), NoError);
    EXPECT_TRUE(Selection().empty());
    EXPECT_TRUE(Errors().empty());
    EXPECT_EQ(table.selectElements(token, nullptr, true), APIERR_GENERAL);
    EXPECT_EQ(Errors().size(), 1u);
}

TEST_F(HostModelTest, GetSelectionGivesGuidsOnlyInOrderAndReplacesTheList) {
    API_SelectionInfo info;
    GS::Array<API_Neig> list = Neigs({D, D});
    ASSERT_EQ(table.getSelection(token, &info, &list, false, false, 0), NoError);
    EXPECT_EQ(info.typeID, 0);
    EXPECT_EQ(info.sel_nElem, 0);
    EXPECT_EQ(info.marquee.coords, nullptr);
    EXPECT_TRUE(list.IsEmpty());

    const auto chosen = Neigs({B, A});
    table.selectElements(token, &chosen, true);
    ASSERT_EQ(table.getSelection(token, &info, &list, true, true, 3), NoError);
    EXPECT_EQ(info.typeID, 1);
    EXPECT_EQ(info.sel_nElem, 2);
    ASSERT_EQ(list.GetSize(), 2u);
    EXPECT_EQ(list[0].guid, G(B));
    EXPECT_EQ(list[1].guid, G(A));
    EXPECT_EQ(list[0].neigID, 0);
    // Only the record, no list.
    ASSERT_EQ(table.getSelection(token, &info, nullptr, false, false, 0), NoError);
    EXPECT_EQ(info.sel_nElem, 2);
    EXPECT_EQ(table.getSelection(token, nullptr, &list, false, false, 0), APIERR_GENERAL);
    EXPECT_EQ(services.GetState().handlesGiven, 0u);
}

TEST_F(HostModelTest, MarqueeComesAsAHandleTheCallerOwns) {
    services.GetState().marquee = true;
    API_SelectionInfo info;
    GS::Array<API_Neig> list;
    ASSERT_EQ(table.getSelection(token, &info, &list, false, false, 0), NoError);
    EXPECT_EQ(info.typeID, 2);
    ASSERT_NE(info.marquee.coords, nullptr);
    ASSERT_EQ(info.marquee.nCoords, 5);
    ASSERT_EQ(BMGetHandleSize(info.marquee.coords), static_cast<GSSize>(5 * sizeof(API_Coord)));
    const auto* points = reinterpret_cast<const API_Coord*>(*info.marquee.coords);
    EXPECT_EQ(points[2].x, 10.0);
    EXPECT_EQ(points[2].y, 10.0);
    EXPECT_EQ(points[4].x, points[0].x); // closed
    EXPECT_EQ(services.GetState().handlesGiven, 1u);
    EXPECT_EQ(services.GetLiveGivenHandles(), 1u);

    API_SelectionInfo second;
    table.getSelection(token, &second, &list, false, false, 0);
    EXPECT_NE(second.marquee.coords, info.marquee.coords); // a new handle per query
    EXPECT_EQ(services.GetLiveGivenHandles(), 2u);
    BMKillHandle(&info.marquee.coords);
    BMKillHandle(&second.marquee.coords);
    EXPECT_EQ(services.GetLiveGivenHandles(), 0u);
}

TEST_F(HostModelTest, OnlyEditableLeavesLockedElementsOutOfTheListButNotOutOfTheCount) {
    const auto chosen = Neigs({D, A}); // D is locked
    table.selectElements(token, &chosen, true);
    API_SelectionInfo info;
    GS::Array<API_Neig> list;
    ASSERT_EQ(table.getSelection(token, &info, &list, false, false, 0), NoError);
    ASSERT_EQ(list.GetSize(), 2u);
    EXPECT_EQ(list[0].guid, G(D));
    EXPECT_EQ(info.sel_nElem, 2);
    EXPECT_EQ(info.sel_nElemEdit, 1);

    ASSERT_EQ(table.getSelection(token, &info, &list, true, false, 0), NoError);
    ASSERT_EQ(list.GetSize(), 1u);
    EXPECT_EQ(list[0].guid, G(A));
    EXPECT_EQ(info.typeID, 1);
    EXPECT_EQ(info.sel_nElem, 2);
    EXPECT_EQ(info.sel_nElemEdit, 1);

    // Nothing editable is selected: the list is empty, the selection is not.
    const auto drop = Neigs({A});
    table.selectElements(token, &drop, false);
    ASSERT_EQ(table.getSelection(token, &info, &list, true, false, 0), NoError);
    EXPECT_TRUE(list.IsEmpty());
    EXPECT_EQ(info.typeID, 1);
    EXPECT_EQ(info.sel_nElem, 1);
    EXPECT_EQ(info.sel_nElemEdit, 0);
}

TEST_F(HostModelTest, MarqueeListsTheSelectedElementsItReachesAndIgnorePartialOnlyWholeOnes) {
    // A lies in 0..4 x 0..0.25, B in 0..4 x 0..6; C has no bounds, so no marquee can leave it out.
    const auto chosen = Neigs({B, A, C});
    table.selectElements(token, &chosen, true);
    HostSim::HostState& state = services.GetState();
    state.marquee = true;
    const auto listed = [&](bool ignorePartial) {
        API_SelectionInfo info;
        GS::Array<API_Neig> list;
        EXPECT_EQ(table.getSelection(token, &info, &list, false, ignorePartial, 0), NoError);
        EXPECT_EQ(info.typeID, 2);
        EXPECT_EQ(info.sel_nElem, static_cast<Int32>(list.GetSize()));
        BMKillHandle(&info.marquee.coords);
        std::vector<API_Guid> guids;
        for (const API_Neig& neig : list)
            guids.push_back(neig.guid);
        return guids;
    };
    state.marqueeArea = {0.0, 0.0, 4.0, 1.0};
    EXPECT_EQ(listed(false), (std::vector<API_Guid>{G(B), G(A), G(C)}));
    EXPECT_EQ(listed(true), (std::vector<API_Guid>{G(A), G(C)}));
    // A marquee exactly on A's bounds holds it wholly: the edges belong to it.
    state.marqueeArea = {0.0, 0.0, 4.0, 0.25};
    EXPECT_EQ(listed(true), (std::vector<API_Guid>{G(A), G(C)}));
    // Above A's top edge the marquee does not reach it at all.
    state.marqueeArea = {1.0, 0.5, 10.0, 10.0};
    EXPECT_EQ(listed(false), (std::vector<API_Guid>{G(B), G(C)}));
    EXPECT_EQ(listed(true), (std::vector<API_Guid>{G(C)}));
    state.marqueeArea = {5.0, 0.0, 10.0, 10.0};
    EXPECT_EQ(listed(false), (std::vector<API_Guid>{G(C)}));

    API_SelectionInfo info;
    table.getSelection(token, &info, nullptr, false, false, 0);
    ASSERT_NE(info.marquee.coords, nullptr);
    const auto* points = reinterpret_cast<const API_Coord*>(*info.marquee.coords);
    EXPECT_EQ(points[0].x, 5.0);
    EXPECT_EQ(points[2].x, 10.0);
    EXPECT_EQ(points[2].y, 10.0);
    BMKillHandle(&info.marquee.coords);
}

TEST_F(HostModelTest, HandlesOfOtherCodeDoNotCountAsGiven) {
    GSHandle own = BMAllocateHandle(8, 0, 0);
    EXPECT_EQ(services.GetLiveGivenHandles(), 0u); // nothing given yet
    services.GetState().marquee = true;
    API_SelectionInfo info;
    table.getSelection(token, &info, nullptr, false, false, 0);
    EXPECT_EQ(services.GetLiveGivenHandles(), 1u);
    BMKillHandle(&info.marquee.coords);
    BMKillHandle(&own);
    EXPECT_EQ(services.GetLiveGivenHandles(), 0u);
    // Handles that lived before activation are no growth when they go.
    GSHandle older = BMAllocateHandle(8, 0, 0);
    services.Deactivate();
    ASSERT_TRUE(services.Activate());
    BMKillHandle(&older);
    EXPECT_EQ(services.GetLiveGivenHandles(), 0u);
}

TEST_F(HostModelTest, OneNotificationPerBurstOfChangesAfterTheCall) {
    const auto chosen = Neigs({A, B});
    table.deselectAll(token); // nothing selected: no change
    table.selectElements(token, &chosen, true);
    table.deselectAll(token);
    table.selectElements(token, &chosen, true);
    EXPECT_TRUE(handlerCalls.empty()); // not while the add-on is still in its call
    EXPECT_TRUE(With("selection").empty());
    mainThread->Pump();
    ASSERT_EQ(handlerCalls.size(), 1u);
    EXPECT_EQ(handlerCalls[0], G(B)); // the last selected element
    const Lines lines = With("selection");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], json({{"selection", {AOwn, BOwn}}}));

    // Calls that change nothing notify nothing.
    table.selectElements(token, &chosen, true);
    const auto unknown = Neigs({Unknown});
    table.selectElements(token, &unknown, true);
    table.selectElements(token, &unknown, false);
    mainThread->Pump();
    EXPECT_EQ(handlerCalls.size(), 1u);

    table.deselectAll(token);
    mainThread->Pump();
    ASSERT_EQ(handlerCalls.size(), 2u);
    EXPECT_EQ(handlerCalls[1], APINULLGuid);
    EXPECT_EQ(With("selection").back(), json({{"selection", json::array()}}));
}

TEST_F(HostModelTest, HostSideSelectionAlwaysNotifiesButNotAReleasedAddOn) {
    services.SelectFromHost({G(D), G(Unknown), G(A), G(D)});
    mainThread->Pump();
    EXPECT_EQ(Selection(), (std::vector<API_Guid>{G(D), G(A)}));
    services.SelectFromHost({G(D), G(A)}); // the same again: a click is a click
    mainThread->Pump();
    EXPECT_EQ(handlerCalls.size(), 2u);
    EXPECT_EQ(With("selection").size(), 2u);
    EXPECT_EQ(With("selection")[0], json({{"selection", {DOwn, AOwn}}}));

    services.SelectFromHost({G(B)});
    services.SetTokenPhase(HostServices::TokenPhase::Revoked);
    mainThread->Pump();
    EXPECT_EQ(handlerCalls.size(), 2u); // the line is written, the handler left alone
    EXPECT_EQ(With("selection").size(), 3u);
}

TEST_F(HostModelTest, ANotificationOutlivingTheServicesDoesNothing) {
    auto loop = std::make_shared<HostSim::MainThread>();
    {
        HostServices other(transcript, loop);
        other.GetState().project = services.GetState().project;
        other.SelectFromHost({G(A)});
    }
    EXPECT_EQ(loop->Pump(), 1u);
    EXPECT_TRUE(With("selection").empty());
}

TEST_F(HostModelTest, SelectionOperationsFailOnRequest) {
    const auto chosen = Neigs({A});
    table.selectElements(token, &chosen, true);
    services.GetState().failing = {"getSelection", "deselectAll", "selectElements"};
    API_SelectionInfo info;
    info.sel_nElem = 77;
    GS::Array<API_Neig> list = Neigs({D});
    EXPECT_EQ(table.getSelection(token, &info, &list, false, false, 0), APIERR_GENERAL);
    EXPECT_EQ(info.sel_nElem, 77);
    EXPECT_EQ(list.GetSize(), 1u);
    EXPECT_EQ(table.deselectAll(token), APIERR_GENERAL);
    const auto more = Neigs({B});
    EXPECT_EQ(table.selectElements(token, &more, true), APIERR_GENERAL);
    EXPECT_EQ(Selection(), std::vector<API_Guid>{G(A)});
    EXPECT_EQ(With("failed").size(), 3u);
    EXPECT_TRUE(Errors().empty());
}

// ---- Commands ----

TEST_F(HostModelTest, ElementInfoStringIsTheElementId) {
    API_Guid guid = G(A);
    GS::UniString text = "before";
    ASSERT_EQ(Command(APICmd_ElementInfoString, &guid, &text), NoError);
    EXPECT_EQ(text, "WALL-A");
    guid = G(B);
    ASSERT_EQ(Command(APICmd_ElementInfoString, &guid, &text), NoError);
    EXPECT_TRUE(text.IsEmpty()); // an element without an ID
    guid = G(Unknown);
    text = "kept";
    EXPECT_EQ(Command(APICmd_ElementInfoString, &guid, &text), APIERR_GENERAL);
    EXPECT_EQ(text, "kept");
    EXPECT_TRUE(Errors().empty());
    EXPECT_EQ(Command(APICmd_ElementInfoString, &guid, nullptr), APIERR_GENERAL);
    EXPECT_EQ(Errors().size(), 1u);
    services.GetState().failing = {"GEIS"};
    guid = G(A);
    EXPECT_EQ(Command(APICmd_ElementInfoString, &guid, &text), APIERR_GENERAL);
    EXPECT_EQ(text, "kept");
}

TEST_F(HostModelTest, CuttingPlanesAreCopiedBothWays) {
    API_3DCutPlanesInfo read;
    ASSERT_EQ(Command(APICmd_Get3DCuttingPlanes, &read), NoError);
    EXPECT_FALSE(read.isCutPlanes);
    EXPECT_EQ(read.nShapes, 0);
    EXPECT_EQ(read.shapes, nullptr); // no shapes, no handle
    EXPECT_EQ(services.GetState().handlesGiven, 0u);

    API_3DCutPlanesInfo write;
    write.isCutPlanes = true;
    write.nShapes = 2;
    write.shapes = BMAllocateHandle(2 * sizeof(API_3DCutShapeType), ALLOCATE_CLEAR, 0);
    auto* shapes = reinterpret_cast<API_3DCutShapeType*>(*write.shapes);
    shapes[0].pa = 1.0;
    shapes[0].pd = -2.5;
    shapes[1].pc = 1.0;
    ASSERT_EQ(Command(APICmd_Change3DCuttingPlanes, &write), NoError);
    shapes[0].pa = 99.0; // the host kept its own copy
    BMKillHandle(&write.shapes);
    EXPECT_EQ(services.GetState().cutShapes.at(0).pa, 1.0);
    EXPECT_EQ(
        With("cuttingPlanes").back(),
        json::parse(R"({"cuttingPlanes": {"on": true, "planes": [[1.0, 0.0, 0.0, -2.5], [0.0, 0.0, 1.0, 0.0]]}})"));

    ASSERT_EQ(Command(APICmd_Get3DCuttingPlanes, &read), NoError);
    EXPECT_TRUE(read.isCutPlanes);
    ASSERT_EQ(read.nShapes, 2);
    ASSERT_NE(read.shapes, nullptr);
    EXPECT_EQ(BMGetHandleSize(read.shapes), static_cast<GSSize>(2 * sizeof(API_3DCutShapeType)));
    EXPECT_EQ(reinterpret_cast<const API_3DCutShapeType*>(*read.shapes)[0].pd, -2.5);
    EXPECT_EQ(services.GetLiveGivenHandles(), 1u);

    // Written back unchanged but switched off: the add-on's way of turning them off.
    read.isCutPlanes = false;
    ASSERT_EQ(Command(APICmd_Change3DCuttingPlanes, &read), NoError);
    ASSERT_EQ(Command(APICmd_Change3DCuttingPlanes, &read), NoError); // no change, no line
    BMKillHandle(&read.shapes);
    EXPECT_EQ(services.GetLiveGivenHandles(), 0u);
    EXPECT_FALSE(services.GetState().cutPlanesOn);
    EXPECT_EQ(services.GetState().cutShapes.size(), 2u);
    EXPECT_EQ(With("cuttingPlanes").size(), 2u);
    EXPECT_TRUE(Errors().empty());
}

TEST_F(HostModelTest, CuttingPlaneMisuseAndFailures) {
    API_3DCutPlanesInfo short_;
    short_.nShapes = 3;
    short_.shapes = BMAllocateHandle(2 * sizeof(API_3DCutShapeType), ALLOCATE_CLEAR, 0);
    EXPECT_EQ(Command(APICmd_Change3DCuttingPlanes, &short_), APIERR_GENERAL);
    BMKillHandle(&short_.shapes);
    EXPECT_EQ(Command(APICmd_Change3DCuttingPlanes, &short_), APIERR_GENERAL); // shapes promised, none given
    EXPECT_EQ(Command(APICmd_Get3DCuttingPlanes, nullptr), APIERR_GENERAL);
    EXPECT_EQ(Errors().size(), 3u);
    EXPECT_TRUE(services.GetState().cutShapes.empty());

    services.SetCuttingPlanes(true, {API_3DCutShapeType{}});
    services.GetState().failing = {"GC3D", "CC3D"};
    API_3DCutPlanesInfo read;
    EXPECT_EQ(Command(APICmd_Get3DCuttingPlanes, &read), APIERR_GENERAL);
    EXPECT_EQ(read.shapes, nullptr);
    read.isCutPlanes = false;
    EXPECT_EQ(Command(APICmd_Change3DCuttingPlanes, &read), APIERR_GENERAL);
    EXPECT_TRUE(services.GetState().cutPlanesOn);
    EXPECT_EQ(services.GetState().handlesGiven, 0u);
}

TEST_F(HostModelTest, WindowChangesOnlyWhenItIsAnotherWindow) {
    API_WindowInfo window;
    window.typeID = APIWind_3DModelID;
    ASSERT_EQ(Command(APICmd_ChangeWindow, &window), NoError);
    EXPECT_EQ(services.GetState().activeWindow, APIWind_3DModelID);
    Command(APICmd_ChangeWindow, &window);
    EXPECT_EQ(With("window").size(), 1u);
    EXPECT_EQ(With("window")[0], json({{"window", 4}}));
    window.typeID = 0;
    EXPECT_EQ(Command(APICmd_ChangeWindow, &window), APIERR_GENERAL);
    EXPECT_EQ(Command(APICmd_ChangeWindow, nullptr), APIERR_GENERAL);
    EXPECT_EQ(Errors().size(), 2u);
    services.GetState().failing = {"CHWD"};
    window.typeID = APIWind_FloorPlanID;
    EXPECT_EQ(Command(APICmd_ChangeWindow, &window), APIERR_GENERAL);
    EXPECT_EQ(services.GetState().activeWindow, APIWind_3DModelID);
}

TEST_F(HostModelTest, ZoomNeedsKnownElements) {
    GS::Array<API_Guid> target;
    EXPECT_EQ(Command(APICmd_ZoomToElements, &target), APIERR_GENERAL);
    target = {G(C), G(Unknown)};
    EXPECT_EQ(Command(APICmd_ZoomToElements, &target), APIERR_GENERAL);
    EXPECT_TRUE(services.GetState().zoomTarget.empty());
    EXPECT_TRUE(Errors().empty());
    target = {G(C), G(A)};
    ASSERT_EQ(Command(APICmd_ZoomToElements, &target), NoError);
    EXPECT_EQ(services.GetState().zoomTarget, (std::vector<API_Guid>{G(C), G(A)}));
    EXPECT_EQ(With("zoom"), Lines{json({{"zoom", {COwn, AOwn}}})});
    EXPECT_EQ(Command(APICmd_ZoomToElements, nullptr), APIERR_GENERAL);
    services.GetState().failing = {"ZTEL"};
    target = {G(B)};
    EXPECT_EQ(Command(APICmd_ZoomToElements, &target), APIERR_GENERAL);
    EXPECT_EQ(services.GetState().zoomTarget.size(), 2u);
}

// ---- The IFC object accessor over the host's model ----

class IfcModelTest : public HostModelTest {
protected:
    IfcModelTest() {
        services.GetState().ownToken = AddOnToken;
        auto got = IFCAPI::ObjectAccessor::GetObjectAccessor(AddOnToken);
        EXPECT_TRUE(got.IsOk());
        if (got.IsOk()) accessor.emplace(std::move(got).Unwrap());
    }

    std::vector<std::string> ElementsOf(const std::string& globalId) {
        std::vector<std::string> result;
        const auto objects = accessor->FindElementsByGlobalId(GS::UniString(globalId.c_str()));
        EXPECT_TRUE(objects.IsOk());
        if (objects.IsErr()) return result;
        for (const auto& object : objects.Unwrap()) {
            const auto element = accessor->GetAPIElementID(object);
            result.push_back(element.IsOk() ? HostSim::ToUtf8(APIGuid2GSGuid(element.Unwrap()).ToUniString()) : "-");
        }
        return result;
    }

    IFCAPI::ObjectID ObjectOf(const char* guid) {
        API_Elem_Head head;
        head.guid = G(guid);
        return accessor->CreateElementObjectID(head).Unwrap();
    }

    const API_Guid AddOnToken = G("{12345678-ABCD-EF01-8000-486F7374536D}");
    std::optional<IFCAPI::ObjectAccessor> accessor;
};

TEST_F(IfcModelTest, OnlyTheAddOnsOwnTokenGetsAnAccessor) {
    ASSERT_TRUE(accessor.has_value());
    EXPECT_TRUE(IFCAPI::ObjectAccessor::GetObjectAccessor(G(A)).IsErr());
    EXPECT_TRUE(IFCAPI::ObjectAccessor::GetObjectAccessor(APINULLGuid).IsErr());
    services.SetTokenPhase(HostServices::TokenPhase::Revoked);
    EXPECT_TRUE(IFCAPI::ObjectAccessor::GetObjectAccessor(AddOnToken).IsErr());
    EXPECT_EQ(Errors().size(), 1u);
    services.SetTokenPhase(HostServices::TokenPhase::Issued);
    services.Deactivate(); // no host model installed
    EXPECT_TRUE(IFCAPI::ObjectAccessor::GetObjectAccessor(AddOnToken).IsErr());
    EXPECT_TRUE(services.Activate());
    EXPECT_TRUE(IFCAPI::ObjectAccessor::GetObjectAccessor(AddOnToken).IsOk());
}

TEST_F(IfcModelTest, FindReturnsEveryCarrierOfTheGlobalIdInAStableOrder) {
    // The storey first (no element), then B.
    EXPECT_EQ(ElementsOf(BOwn), (std::vector<std::string>{"-", B}));
    // A by its own GlobalId, D by the same one kept from its IFC file.
    EXPECT_EQ(ElementsOf(AOwn), (std::vector<std::string>{A, D}));
    EXPECT_EQ(ElementsOf("1ExternalGlobalIdOfC01"), std::vector<std::string>{C});
    EXPECT_EQ(ElementsOf(COwn), std::vector<std::string>{C});
    EXPECT_EQ(ElementsOf("3SpaceOnlyNoElement000"), std::vector<std::string>{"-"});
    EXPECT_TRUE(ElementsOf("nothing at all").empty()); // found nothing is no error
    EXPECT_EQ(ElementsOf(BOwn), ElementsOf(BOwn));
}

TEST_F(IfcModelTest, GlobalIdsOfElementsAndObjects) {
    EXPECT_EQ(accessor->GetGlobalId(ObjectOf(C)).Unwrap(), GS::UniString(COwn.c_str()));
    EXPECT_EQ(accessor->GetExternalGlobalId(ObjectOf(C)).Unwrap(), "1ExternalGlobalIdOfC01");
    EXPECT_TRUE(accessor->GetExternalGlobalId(ObjectOf(A)).IsErr());
    const auto storey = accessor->FindElementsByGlobalId(GS::UniString(BOwn.c_str())).Unwrap()[0];
    EXPECT_EQ(accessor->GetGlobalId(storey).Unwrap(), GS::UniString(BOwn.c_str()));
    EXPECT_TRUE(accessor->GetExternalGlobalId(storey).IsErr());
    EXPECT_TRUE(accessor->GetAPIElementID(storey).IsErr());
    EXPECT_TRUE(accessor->GetGlobalId(IFCAPI::ObjectID(0)).IsErr());
    EXPECT_TRUE(accessor->GetAPIElementID(IFCAPI::ObjectID(5)).IsErr());
    API_Elem_Head head;
    head.guid = G(Unknown);
    EXPECT_TRUE(accessor->CreateElementObjectID(head).IsErr());
    head.guid = APINULLGuid;
    EXPECT_TRUE(accessor->CreateElementObjectID(head).IsErr());
    EXPECT_TRUE(Errors().empty());
    EXPECT_TRUE(With("failed").empty());
}

TEST_F(IfcModelTest, EachQueryFailsOnRequest) {
    const IFCAPI::ObjectID c = ObjectOf(C);
    services.GetState().failing = {"FindElementsByGlobalId", "GetAPIElementID", "CreateElementObjectID",
                                   "GetExternalGlobalId", "GetGlobalId"};
    EXPECT_TRUE(accessor->FindElementsByGlobalId(GS::UniString(COwn.c_str())).IsErr());
    EXPECT_TRUE(accessor->GetAPIElementID(c).IsErr());
    API_Elem_Head head;
    head.guid = G(C);
    EXPECT_TRUE(accessor->CreateElementObjectID(head).IsErr());
    EXPECT_TRUE(accessor->GetExternalGlobalId(c).IsErr());
    EXPECT_TRUE(accessor->GetGlobalId(c).IsErr());
    services.GetState().failing = {"GetObjectAccessor"};
    EXPECT_TRUE(IFCAPI::ObjectAccessor::GetObjectAccessor(AddOnToken).IsErr());
    const Lines failed = With("failed");
    ASSERT_EQ(failed.size(), 6u);
    EXPECT_EQ(failed[0], json({{"failed", "FindElementsByGlobalId"}}));
    EXPECT_EQ(failed[5], json({{"failed", "GetObjectAccessor"}}));
    EXPECT_TRUE(Errors().empty());
    for (const char* name : {"GetObjectAccessor", "FindElementsByGlobalId", "GetAPIElementID", "CreateElementObjectID",
                             "GetExternalGlobalId", "GetGlobalId"})
        EXPECT_TRUE(HostSim::IsFailableOperation(name)) << name;
    EXPECT_FALSE(HostSim::IsFailableOperation("GetGlobalIds"));
}

TEST_F(IfcModelTest, QueriesFromAnotherThreadAreRefused) {
    const IFCAPI::ObjectID a = ObjectOf(A);
    std::thread([&] { EXPECT_TRUE(accessor->GetGlobalId(a).IsErr()); }).join();
    const Lines errors = Errors();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0]["error"], "GetGlobalId was called outside the main thread");
}

} // namespace
