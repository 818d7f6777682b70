#include "AddOnScenario.hpp"
#include "ServiceAddress.hpp"

#include <gtest/gtest.h>

using namespace AddOnScenario;

namespace {

const json Checked{{"menu", "Quillmar Palette"}, {"checked", true}};
const json Unchecked{{"menu", "Quillmar Palette"}, {"checked", false}};
const json Created{{"panel", "created"}, {"id", 32500}, {"title", "Quillmar"}};
const json Destroyed{{"panel", "destroyed"}, {"id", 32500}, {"title", "Quillmar"}};
const json Shown{{"palette", "shown"}, {"title", "Quillmar"}, {"position", -32768}};
const json Hidden{{"palette", "hidden"}, {"title", "Quillmar"}};

TEST(PaletteLifecycle, MenuCommandsToggleOnePaletteThatLoadsThePageOnce) {
    const Lines lines = RunScenario(R"({"menu": 32500, "item": 1}
{"palette": 7}
{"menu": 32500, "item": 1}
{"palette": 7}
{"menu": 32500, "item": 1}
{"palette": 7})");
    EXPECT_EQ(Count(lines, Created), 1) << Dump(lines);
    EXPECT_EQ(With(lines, "load").size(), 1u);
    EXPECT_EQ(With(lines, "load")[0]["load"], WebApplicationUrl);
    EXPECT_EQ(Count(lines, Shown), 2);
    EXPECT_EQ(Count(lines, Hidden), 1);
    const Lines marks = With(lines, "checked");
    ASSERT_EQ(marks.size(), 3u);
    EXPECT_EQ(marks[0], Checked);
    EXPECT_EQ(marks[1], Unchecked);
    EXPECT_EQ(marks[2], Checked);
    const Lines visible = With(lines, "visible");
    ASSERT_EQ(visible.size(), 3u);
    EXPECT_EQ(visible[0]["visible"], true);
    EXPECT_EQ(visible[1]["visible"], false);
    EXPECT_EQ(visible[2]["visible"], true);
    EXPECT_EQ(Count(lines, Destroyed), 1) << "release then unload destroys the palette exactly once";
}

TEST(PaletteLifecycle, AMenuCommandOfAnotherResourceChangesNothing) {
    const Lines lines = RunScenario(R"({"menu": 32000, "item": 1}
{"menu": 32501, "item": 2}
{"palette": 7})");
    EXPECT_EQ(Count(lines, Created), 0) << Dump(lines);
    EXPECT_TRUE(With(lines, "checked").empty());
    EXPECT_EQ(With(lines, "visible")[0]["visible"], false);
}

TEST(PaletteLifecycle, PaletteMessagesFollowTheHostsPaletteManagement) {
    const Lines lines = RunScenario(R"({"palette": 7}
{"palette": 4}
{"palette": 1}
{"palette": 6}
{"palette": 6}
{"palette": 4}
{"palette": 5}
{"palette": 2}
{"palette": 4}
{"palette": 5}
{"palette": 3}
{"palette": 7}
{"palette": 1}
{"palette": 7}
{"palette": 9})");
    EXPECT_EQ(Count(lines, Created), 1) << Dump(lines);
    const Lines visible = With(lines, "visible");
    ASSERT_EQ(visible.size(), 3u);
    EXPECT_EQ(visible[0]["visible"], false) << "no palette yet";
    EXPECT_EQ(visible[1]["visible"], true) << "message 3 shows it again";
    EXPECT_EQ(visible[2]["visible"], false) << "message 1 hides it";
    // Items are disabled and enabled once: messages 4 and 5 do nothing while the palette is hidden.
    const Lines items = With(lines, "items");
    ASSERT_EQ(items.size(), 2u) << Dump(lines);
    EXPECT_EQ(items[0]["items"], "disabled");
    EXPECT_EQ(items[1]["items"], "enabled");
    EXPECT_EQ(Count(lines, Shown), 3) << "two opens and the end of the hidden period";
}

TEST(PaletteLifecycle, MessageThreeShowsAPaletteTheUserHadClosed) {
    const Lines lines = RunScenario(R"({"menu": 32500, "item": 1}
{"ui": "close"}
{"palette": 2}
{"palette": 3}
{"palette": 7})");
    const Lines visible = With(lines, "visible");
    ASSERT_EQ(visible.size(), 1u) << Dump(lines);
    EXPECT_EQ(visible[0]["visible"], true);
    EXPECT_EQ(With(lines, "checked").back(), Checked);
}

TEST(PaletteLifecycle, TheCloseBoxHidesAndTheNextMenuCommandShowsTheSamePage) {
    const Lines lines = RunScenario(R"({"menu": 32500, "item": 1}
{"ui": "close"}
{"palette": 7}
{"menu": 32500, "item": 1}
{"palette": 7})");
    const json closed{{"ui", "close"}, {"accepted", true}};
    EXPECT_EQ(Count(lines, closed), 1) << Dump(lines);
    const Lines marks = With(lines, "checked");
    ASSERT_EQ(marks.size(), 3u);
    EXPECT_EQ(marks[1], Unchecked);
    EXPECT_EQ(marks[2], Checked);
    EXPECT_EQ(Count(lines, Created), 1);
    EXPECT_EQ(With(lines, "load").size(), 1u);
}

TEST(PaletteLifecycle, ResizingThePaletteResizesTheBrowserByExactlyTheChange) {
    const Lines lines = RunScenario(R"({"menu": 32500, "item": 1}
{"ui": "resize", "dx": 37, "dy": -120}
{"ui": "resize", "dx": -7, "dy": 20})");
    const Lines resizes = With(lines, "browser");
    ASSERT_EQ(resizes.size(), 2u) << Dump(lines);
    EXPECT_EQ(resizes[0]["browser"], (json{{"width", 337}, {"height", 330}}));
    EXPECT_EQ(resizes[1]["browser"], (json{{"width", 330}, {"height", 350}}));
}

TEST(PaletteLifecycle, UnloadWithoutReleaseWritesTheDebugLineAndStillDestroysThePalette) {
    const Lines lines = RunScenario(R"({"menu": 32500, "item": 1}
{"quit": {"release": false}})");
    const Lines debug = With(lines, "debug");
    ASSERT_EQ(debug.size(), 1u) << Dump(lines);
    EXPECT_EQ(debug[0]["debug"], "Abnormal add-on termination (\"<module>\")\n");
    EXPECT_EQ(Count(lines, Destroyed), 1);
}

TEST(PaletteLifecycle, ReleaseThenUnloadWritesNoDebugLine) {
    const Lines lines = RunScenario(R"({"quit": {"release": true}})");
    EXPECT_TRUE(With(lines, "debug").empty()) << Dump(lines);
    EXPECT_TRUE(With(lines, "error").empty()) << Dump(lines);
}

TEST(PaletteLifecycle, EveryFunctionIsRegisteredInTableOrder) {
    const Lines lines = RunScenario(R"({"menu": 32500, "item": 1})");
    const Lines registered = With(lines, "registered");
    ASSERT_EQ(registered.size(), 1u) << Dump(lines);
    EXPECT_EQ(registered[0]["registered"], "QUILAPI");
    const json expected = {"GetResourceFolder",  "HighlightElements",     "ZoomToElement",         "GetElementNames",
                           "AlertAPI",           "SelectViewpoint",       "GetSelectedElements",   "AddComponent",
                           "AddViewpoint",       "ImportIfcModel",        "RegisterIfcFileName",   "RequestFileName",
                           "GetIfcFile",         "GetApplicationInfo",    "ImportIfcFiles",        "OpenIfcModels",
                           "ExportIFCModel",     "GetIfcDocuments",       "Create2dPlan",          "Export2dPlan",
                           "ExportSnapshot",     "GetExportHistory",      "SaveExportHistoryData", "GetPlanDocuments",
                           "OpenMappingFile",    "SetNewPropertyName",    "GetPublishSetHeaders",  "GetPublishSetItems",
                           "HandlePublishSets",  "CompleteExportPublish", "PreparePublishDocs",    "GetPublishHistory",
                           "SavePublishHistory", "SetPublishHistory",     "GetPublishItems"};
    EXPECT_EQ(registered[0]["functions"], expected);
    const Lines contextMenu = With(lines, "contextMenu");
    ASSERT_EQ(contextMenu.size(), 1u);
    EXPECT_EQ(contextMenu[0]["contextMenu"], 2);
}

TEST(PaletteLifecycle, RegistrationWithTheHostUsesTheGuidSumAsReferenceNumber) {
    const Lines lines = RunScenario("");
    const Lines registration = With(lines, "paletteRegistered");
    ASSERT_EQ(registration.size(), 1u) << Dump(lines);
    // The four words of the GUID as stored (Data1, then Data2|Data3, then Data4 in two), summed modulo 2^32.
    const UInt32 words[4] = {0x7498d1c2u, 0x48ecc932u, 0xfb986cb0u, 0xeec1c90cu};
    UInt32 sum = 0;
    for (UInt32 w : words)
        sum += w;
    EXPECT_EQ(registration[0]["paletteRegistered"]["referenceID"], static_cast<Int32>(sum));
    EXPECT_EQ(registration[0]["paletteRegistered"]["enableFlags"], 1015);
    EXPECT_EQ(registration[0]["paletteRegistered"]["guid"], "{7498D1C2-C932-48EC-B06C-98FB0CC9C1EE}");
}

TEST(PaletteLifecycle, AddOnDescribesItselfAndRegistersItsMenu) {
    const Lines lines = RunScenario("");
    const Lines describe = With(lines, "describe");
    ASSERT_EQ(describe.size(), 1u) << Dump(lines);
    EXPECT_EQ(describe[0]["describe"], (json{{"name", "Quillmar"}, {"description", "Quillmar Add-on"}, {"type", 2}}));
    const Lines menu = With(lines, "menuRegistered");
    ASSERT_EQ(menu.size(), 1u);
    EXPECT_EQ(menu[0]["menuRegistered"]["title"], "Quillmar");
    EXPECT_EQ(menu[0]["menuRegistered"]["items"][0]["text"], "Quillmar Palette");
    EXPECT_EQ(menu[0]["menuRegistered"]["items"][0]["icon"], 10001);
}

TEST(PaletteLifecycle, InitialisationStopsAtTheFirstFailingStep) {
    HostSim::HostOptions options = Options();
    options.withheldSlots = {API_HostSlot::RegisterModelessPalette};
    const Lines lines = RunScenario("", options);
    const Lines init = With(lines, "initialize");
    ASSERT_EQ(init.size(), 1u) << Dump(lines);
    EXPECT_EQ(init[0]["initialize"], "0x81060387");
    EXPECT_TRUE(With(lines, "paletteRegistered").empty());
}

} // namespace

namespace {

TEST(HostTableExchange, BeforeTheTableTheModulesEntryPointsRefuse) {
    HostSim::Host host(Options());
    ASSERT_TRUE(host.Load());
    HostSim::AddOnModule* module = host.GetModule();
    ASSERT_NE(module, nullptr);
    API_EnvirParams envir;
    EXPECT_EQ(module->GetEntryRecord().describeAddOn(&envir), APIAddon_DontRegister);
    EXPECT_TRUE(envir.addOnInfo.name.IsEmpty());
    EXPECT_EQ(module->GetEntryRecord().registerInterface(nullptr), APIERR_GENERAL);
    EXPECT_EQ(module->GetEntryRecord().initialize(nullptr), APIERR_GENERAL);
    EXPECT_EQ(module->GetEntryRecord().release(nullptr), APIERR_GENERAL);
    ASSERT_TRUE(host.DeliverTable());
    EXPECT_EQ(host.Describe(), APIAddon_Preload);
    host.Quit(false);
}

} // namespace
