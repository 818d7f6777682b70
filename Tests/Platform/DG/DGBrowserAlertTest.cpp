#include "RecordingBackEnd.hpp"

#include "DGAlert.hpp"
#include "DGBrowser.hpp"
#include "DGDialog.hpp"

#include <gtest/gtest.h>

namespace {

int anchor = 0;

GSResModule TestModule() {
    static const GSResModule module = RSInitModuleImageCache(&anchor);
    return module;
}

TEST(BrowserTest, OperationsReachTheHostPageInOrder) {
    RecordingBackEnd backEnd;
    DG::SetUIBackEnd(&backEnd);
    {
        DG::Palette palette(TestModule(), 700, GS::Guid());
        DG::Browser browser(palette, 1);
        browser.LoadURL("http://127.0.0.1/app");
        browser.SetContextMenuMode(DG::BrowserBase::NoContextMenu);
        EXPECT_TRUE(browser.RegisterAsynchJSObject(GS::NewRef<JS::Object>(GS::UniString("QUILAPI"))));
        browser.ExecuteJS("RequestFileName()");
    }
    DG::SetUIBackEnd(nullptr);
    const std::vector<std::string> expected{
        "created Test Palette", "load http://127.0.0.1/app", "menu 2",
        "register QUILAPI",     "js RequestFileName()",      "destroyed Test Palette"};
    EXPECT_EQ(backEnd.log, expected);
}

TEST(BrowserTest, WithoutAHostPageEverythingIsANoOp) {
    DG::Palette palette(TestModule(), 700, GS::Guid());
    DG::Browser browser(palette, 1);
    browser.LoadURL("http://127.0.0.1/app");
    browser.ExecuteJS("x()");
    EXPECT_FALSE(browser.RegisterAsynchJSObject(GS::NewRef<JS::Object>()));
}

TEST(AlertTest, AlertPassesItsTextsAndAnswersTheChosenButton) {
    RecordingBackEnd backEnd;
    DG::SetUIBackEnd(&backEnd);
    backEnd.alertAnswer = 2;
    EXPECT_EQ(DG::InformationAlert("Large", "", "OK", "Cancel"), 2);
    DG::SetUIBackEnd(nullptr);
    ASSERT_EQ(backEnd.log.size(), 1u);
    EXPECT_EQ(backEnd.log[0], "alert Large||OK|Cancel|");
    EXPECT_EQ(DG::InformationAlert("Large", "", "OK"), 1) << "without a back end the first button closes it";
}

} // namespace
