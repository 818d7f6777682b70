#include "HostSimTestSupport.hpp"

#include "AddOnModule.hpp"
#include "HostServices.hpp"

#include <gtest/gtest.h>

#include <dlfcn.h>

namespace {

using namespace HostSimTest;
using HostSim::AddOnModule;

std::string OpenError(const char* path) {
    std::string error;
    EXPECT_EQ(AddOnModule::Open(path, &error), nullptr);
    return error;
}

bool IsMapped(const char* path) {
    void* handle = dlopen(path, RTLD_NOW | RTLD_NOLOAD);
    if (handle == nullptr) return false;
    dlclose(handle);
    return true;
}

TEST(Loader, AcceptsAGoodModuleAndReadsItsRecord) {
    std::string error;
    auto module = AddOnModule::Open(FAKE_ADDON_PATH, &error);
    ASSERT_NE(module, nullptr) << error;
    EXPECT_EQ(module->GetEntryRecord().layout, API_EntryRecordLayout);
    EXPECT_EQ(module->GetEntryRecord().apiVersion, API_HostVersion);
    EXPECT_NE(module->GetAddressInModule(), nullptr);
    EXPECT_TRUE(IsMapped(FAKE_ADDON_PATH));
    EXPECT_TRUE(module->Close()); // its static state must go with it, or the next test sees it
    EXPECT_FALSE(IsMapped(FAKE_ADDON_PATH));
}

TEST(Loader, RefusesWrongLayoutVersionExportsAndEntryPoints) {
    EXPECT_NE(OpenError(FAKE_ADDON_BAD_LAYOUT_PATH).find("layout 0x001C0001"), std::string::npos);
    EXPECT_NE(OpenError(FAKE_ADDON_BAD_VERSION_PATH).find("28000"), std::string::npos);
    EXPECT_NE(OpenError(FAKE_ADDON_NO_SET_EXPORT_PATH).find("SetImportedFuncAddrs"), std::string::npos);
    EXPECT_NE(OpenError(FAKE_ADDON_NO_RELEASE_PATH).find("no release entry point"), std::string::npos);
    EXPECT_NE(OpenError("/nonexistent/Module.apx").find("cannot load"), std::string::npos);
    // A refused module is closed again.
    EXPECT_FALSE(IsMapped(FAKE_ADDON_BAD_LAYOUT_PATH));
}

TEST(Loader, HostStartFailsWithAnErrorLineForARefusedModule) {
    HostSim::Host host(FakeOptions(FAKE_ADDON_BAD_VERSION_PATH));
    EXPECT_FALSE(host.Start());
    EXPECT_FALSE(host.IsLoaded());
    const auto errors = With(host.GetTranscript().GetLines(), "error");
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0]["error"].get<std::string>().find("API version"), std::string::npos);
}

TEST(Loader, EntryPointsBeforeTheTableAreRefusedByTheirGuards) {
    std::string error;
    auto module = AddOnModule::Open(FAKE_ADDON_PATH, &error);
    ASSERT_NE(module, nullptr) << error;
    API_EnvirParams envir;
    EXPECT_EQ(module->Describe(&envir), APIAddon_DontRegister);
    EXPECT_TRUE(envir.addOnInfo.name.IsEmpty());
    int anchor = 0;
    EXPECT_EQ(module->RegisterInterface(&anchor), APIERR_GENERAL);
    EXPECT_EQ(module->Initialize(&anchor), APIERR_GENERAL);
    EXPECT_EQ(module->Release(&anchor), APIERR_GENERAL);
    EXPECT_TRUE(module->Close());
}

TEST(Loader, HostCallsTheEntryPointsInOrderAndShowsWhatEachDid) {
    const Lines lines = RunScenario("{\"quit\": {\"release\": true}}");
    const long describe = IndexOf(lines, json::parse(R"S({"describe": {"name": "Fake",
        "description": "Fake Add-on for the host's tests", "type": 2}})S"));
    const long menu = IndexOf(lines, json::parse(R"S({"menuRegistered": {"id": 32500, "title": "Fake",
        "items": [{"text": "Fake Palette", "icon": 10001}]}})S"));
    const long registered = IndexOf(lines, json{{"registerInterface", 0}});
    const long palette = IndexOf(lines, json::parse(R"S({"paletteRegistered": {"referenceID": 102490078,
        "enableFlags": 1015, "guid": "{0F1E2D3C-4B5A-4978-8695-A4B3C2D1E0F9}"}})S"));
    const long initialized = IndexOf(lines, json{{"initialize", 0}});
    const long released = IndexOf(lines, json{{"release", 0}});
    const long unloaded = IndexOf(lines, json{{"unloaded", "FakeAddOn.apx"}});
    EXPECT_EQ(IndexOf(lines, json{{"loaded", "FakeAddOn.apx"}}), 0) << Dump(lines);
    EXPECT_LT(0, describe);
    EXPECT_LT(describe, menu);
    EXPECT_LT(menu, registered);
    EXPECT_LT(registered, palette);
    EXPECT_LT(palette, initialized);
    EXPECT_LT(initialized, released);
    EXPECT_LT(released, unloaded);
    EXPECT_TRUE(With(lines, "error").empty()) << Dump(lines);
}

TEST(Loader, TheHostKeepsWhatTheAddOnSaidOfItself) {
    HostSim::Host host(FakeOptions());
    ASSERT_TRUE(host.Start());
    EXPECT_EQ(host.GetState().addOnName, "Fake");
    EXPECT_EQ(host.GetState().addOnDescription, "Fake Add-on for the host's tests");
    EXPECT_EQ(host.GetState().addOnType, std::optional<API_AddonType>(APIAddon_Preload));
    ASSERT_EQ(host.GetState().menus.size(), 1u);
    EXPECT_EQ(host.GetState().menus[0].items.at(0).text, "Fake Palette");
    EXPECT_EQ(host.GetState().menuHandlers.count(32500), 1u);
    EXPECT_NE(host.GetState().selectionHandler, nullptr);
    EXPECT_EQ(host.GetState().projectEventMask, APINotify_Open);
}

TEST(Loader, TheTableHasEverySlotTheHostOffersAndItsHeader) {
    auto transcript = std::make_shared<HostSim::Transcript>();
    HostSim::HostServices services(transcript, std::make_shared<HostSim::MainThread>());
    const API_HostFunctionTable full = services.MakeTable();
    EXPECT_EQ(full.tableSize, API_HostFunctionTableSize);
    EXPECT_EQ(full.apiVersion, API_HostVersion);
    const auto* slots = reinterpret_cast<void* const*>(reinterpret_cast<const char*>(&full) + API_HostTableHeaderSize);
    for (std::size_t i = 0; i < static_cast<std::size_t>(API_HostSlot::Count); ++i)
        EXPECT_NE(slots[i], nullptr) << HostSim::GetSlotName(static_cast<API_HostSlot>(i));
    for (std::size_t i = static_cast<std::size_t>(API_HostSlot::Count); i < API_HostTableSlotCapacity; ++i)
        ASSERT_EQ(slots[i], nullptr) << i;

    const API_HostFunctionTable partial = services.MakeTable({API_HostSlot::GetOwnToken});
    EXPECT_EQ(partial.getOwnToken, nullptr);
    EXPECT_NE(partial.getProjectInfo, nullptr);
}

TEST(Loader, AWithheldSlotReachesTheAddOnAsNotSupported) {
    HostSim::HostOptions options = FakeOptions();
    options.withheldSlots = {API_HostSlot::GetProjectInfo};
    const Lines lines = RunScenario(R"S({"menu": 32500}
{"call": "ProjectName"}
{"call": "Language"})S",
                                    options);
    EXPECT_NE(IndexOf(lines, json{{"call", "ProjectName"}, {"result", ""}}), -1) << Dump(lines);
    EXPECT_NE(IndexOf(lines, json{{"call", "Language"}, {"result", "INT"}}), -1) << Dump(lines);
}

TEST(Loader, OnlyOneHostAtATimeHasAModuleLoaded) {
    HostSim::Host first(FakeOptions());
    ASSERT_TRUE(first.Start());
    HostSim::Host second(FakeOptions());
    EXPECT_FALSE(second.Start());
    EXPECT_NE(IndexOf(second.GetTranscript().GetLines(),
                      json{{"error", "another simulated host has a module loaded in this process"}}),
              -1);
    first.Quit(true);
    EXPECT_FALSE(first.IsLoaded());
}

} // namespace
