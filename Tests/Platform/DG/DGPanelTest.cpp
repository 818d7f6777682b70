#include "RecordingBackEnd.hpp"

#include "DGButton.hpp"
#include "DGCompoundItemObserver.hpp"
#include "DGDialog.hpp"
#include "DGEditControl.hpp"

#include <gtest/gtest.h>

namespace {

int anchor = 0;

GSResModule TestModule() {
    static const GSResModule module = RSInitModuleImageCache(&anchor);
    return module;
}

const GS::Guid PaletteGuid("{7498d1c2-c932-48ec-b06c-98fb0cc9c1ee}");

class PanelTest : public ::testing::Test {
protected:
    void SetUp() override { DG::SetUIBackEnd(&backEnd); }
    void TearDown() override { DG::SetUIBackEnd(nullptr); }

    RecordingBackEnd backEnd;
};

struct CloseObserver : DG::PanelObserver {
    bool accept = false;
    int closeRequests = 0;
    Int32 dx = 0, dy = 0;
    DG::Panel* detachOnClose = nullptr;
    void PanelCloseRequested(const DG::PanelCloseRequestEvent&, bool* accepted) override {
        ++closeRequests;
        if (accept) *accepted = true;
        if (detachOnClose != nullptr) detachOnClose->Detach(*this);
    }
    void PanelResized(const DG::PanelResizeEvent& ev) override {
        dx += ev.GetHorizontalChange();
        dy += ev.GetVerticalChange();
    }
};

TEST_F(PanelTest, PaletteTakesTitleSizeAndItemsFromItsResource) {
    ASSERT_NE(TestModule(), InvalidResModule);
    DG::Palette palette(TestModule(), 700, PaletteGuid);
    EXPECT_TRUE(palette.IsValid());
    EXPECT_EQ(palette.GetTitle(), GS::UniString("Test Palette"));
    EXPECT_EQ(palette.GetWidth(), 300);
    EXPECT_EQ(palette.GetHeight(), 450);
    EXPECT_EQ(palette.GetItemName(1), GS::UniString("Browser_0"));
    EXPECT_EQ(palette.GetItemRect(1).height, 450);
    EXPECT_EQ(palette.GetItemRect(2).width, 0) << "no second item";
    EXPECT_EQ(palette.GetGuid(), PaletteGuid);
}

TEST_F(PanelTest, MissingResourceGivesAnEmptyInvalidPanel) {
    DG::Palette palette(TestModule(), 999, PaletteGuid);
    EXPECT_FALSE(palette.IsValid());
    EXPECT_EQ(palette.GetWidth(), 0);
    DG::Palette closed(InvalidResModule, 700, PaletteGuid);
    EXPECT_FALSE(closed.IsValid());
}

TEST_F(PanelTest, BackEndSeesCreationVisibilityEnablingAndDestruction) {
    {
        DG::Palette palette(TestModule(), 700, PaletteGuid);
        palette.Show(DG::ModelessBase::DefaultPosition);
        EXPECT_TRUE(palette.IsVisible());
        palette.DisableItems();
        EXPECT_FALSE(palette.AreItemsEnabled());
        palette.EnableItems();
        palette.Hide();
        EXPECT_FALSE(palette.IsVisible());
    }
    const std::vector<std::string> expected{"created Test Palette", "shown -32768",          "disabled", "enabled",
                                            "hidden -32768",        "destroyed Test Palette"};
    EXPECT_EQ(backEnd.log, expected);
}

TEST_F(PanelTest, CloseRequestIsAcceptedOnlyWhenAnObserverSaysSo) {
    DG::Palette palette(TestModule(), 700, PaletteGuid);
    CloseObserver observer;
    EXPECT_FALSE(palette.RequestClose()) << "nobody attached";
    palette.Attach(observer);
    palette.Attach(observer); // attaching twice notifies once
    EXPECT_FALSE(palette.RequestClose());
    observer.accept = true;
    EXPECT_TRUE(palette.RequestClose());
    EXPECT_EQ(observer.closeRequests, 2);
    palette.Detach(observer);
    EXPECT_FALSE(palette.RequestClose());
    EXPECT_EQ(observer.closeRequests, 2);
}

TEST_F(PanelTest, ObserverMayDetachItselfWhileNotified) {
    DG::Palette palette(TestModule(), 700, PaletteGuid);
    CloseObserver first, second;
    first.detachOnClose = &palette;
    palette.Attach(first);
    palette.Attach(second);
    palette.RequestClose();
    palette.RequestClose();
    EXPECT_EQ(first.closeRequests, 1);
    EXPECT_EQ(second.closeRequests, 2);
}

TEST_F(PanelTest, ResizeReportsTheChangeAndItemsResizeByExactlyIt) {
    DG::Palette palette(TestModule(), 700, PaletteGuid);
    CloseObserver observer;
    palette.Attach(observer);
    palette.Resize(25, -40);
    EXPECT_EQ(observer.dx, 25);
    EXPECT_EQ(observer.dy, -40);
    EXPECT_EQ(palette.GetWidth(), 325);
    EXPECT_EQ(palette.GetHeight(), 410);

    DG::Browser browser(palette, 1);
    browser.Resize(25, -40);
    EXPECT_EQ(browser.GetWidth(), 325);
    EXPECT_EQ(browser.GetHeight(), 410);
    browser.Move(3, 4);
    EXPECT_EQ(browser.GetRect().left, 3);
    EXPECT_EQ(browser.GetWidth(), 325);
}

TEST_F(PanelTest, ItemsRegisterWithTheirPanelForTheirLifetime) {
    DG::Palette palette(TestModule(), 700, PaletteGuid);
    {
        DG::Browser browser(palette, 1);
        ASSERT_EQ(palette.GetItems().size(), 1u);
        EXPECT_EQ(palette.GetItems()[0], &browser);
    }
    EXPECT_TRUE(palette.GetItems().empty());
}

TEST_F(PanelTest, ModalDialogReportsAcceptanceFromTheBackEnd) {
    DG::ModalDialog dialog(TestModule(), 701);
    EXPECT_FALSE(dialog.Invoke());
    backEnd.acceptModal = true;
    EXPECT_TRUE(dialog.Invoke());
    EXPECT_EQ(dialog.GetItemText(1), GS::UniString("Create"));

    DG::SetUIBackEnd(nullptr);
    EXPECT_FALSE(dialog.Invoke()) << "without a back end a dialog is cancelled";
}

// A dialog that observes its own items, as add-on dialogs do: Create closes unless vetoed, Cancel cancels.
class ObservingDialog : public DG::ModalDialog,
                        public DG::PanelObserver,
                        public DG::ButtonItemObserver,
                        public DG::CompoundItemObserver {
public:
    ObservingDialog() : DG::ModalDialog(TestModule(), 701), create(*this, 1), cancel(*this, 2), edit(*this, 3) {
        Attach(*this);
        AttachToAllItems(*this);
    }
    void ButtonClicked(const DG::ButtonClickEvent& ev) override {
        PostCloseRequest(ev.GetSource() == &create ? Accept : Cancel);
    }
    void PanelCloseRequested(const DG::PanelCloseRequestEvent& ev, bool* accepted) override {
        closeRequests.push_back(ev.IsAccepted());
        if (veto) *accepted = false;
    }

    DG::Button create;
    DG::Button cancel;
    DG::TextEdit edit;
    bool veto = false;
    std::vector<bool> closeRequests;
};

TEST_F(PanelTest, ItemObserversSeeClicksAndMayRefuseTheClose) {
    ObservingDialog dialog;
    EXPECT_EQ(dialog.create.GetText(), GS::UniString("Create"));
    dialog.veto = true;
    EXPECT_TRUE(dialog.create.Click());
    EXPECT_FALSE(dialog.IsCloseRequested()) << "the observer refused";
    dialog.veto = false;
    dialog.DisableItems();
    EXPECT_FALSE(dialog.cancel.Click()) << "disabled items take no clicks";
    dialog.EnableItems();
    EXPECT_TRUE(dialog.cancel.Click());
    EXPECT_TRUE(dialog.IsCloseRequested());
    EXPECT_EQ(dialog.GetResponse(), DG::ModalDialog::Cancel);
    EXPECT_EQ(dialog.closeRequests, (std::vector<bool>{true, false}));

    dialog.DetachFromAllItems(dialog);
    dialog.create.Click();
    EXPECT_EQ(dialog.closeRequests.size(), 2u) << "detached from its items";
}

TEST_F(PanelTest, TextEditKeepsToItsLengthLimitWithoutSplittingACharacter) {
    ObservingDialog dialog;
    EXPECT_EQ(dialog.edit.GetMaxLength(), 4u);
    dialog.edit.SetText("abcdef");
    EXPECT_EQ(dialog.edit.GetText(), GS::UniString("abcd"));
    dialog.edit.SetText(GS::UniString(u"abc\U0001F600"));
    EXPECT_EQ(dialog.edit.GetText(), GS::UniString("abc")) << "the emoji's two units do not both fit";
    dialog.edit.SetText(GS::UniString(u"ab\U0001F600"));
    EXPECT_EQ(dialog.edit.GetText().GetLength(), 4u);
}

} // namespace
