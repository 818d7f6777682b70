#include "DGFileDialog.hpp"
#include "DGUIBackEnd.hpp"

#include <gtest/gtest.h>

#include <optional>

namespace {

// Answers file dialogs with a preset choice and remembers what it was shown.
class ChoosingBackEnd final : public DG::UIBackEnd {
public:
    bool RunFileDialog(DG::FileDialog& dialog) override {
        ++shown;
        filterCount = dialog.GetFilterCount();
        if (filterCount > 0) firstFilter = dialog.GetFilter(0);
        if (!choice) return false;
        GS::Array<IO::Location> files;
        files.Push(*choice);
        dialog.SetSelection(std::move(files));
        return accept;
    }

    int shown = 0;
    bool accept = true;
    std::optional<IO::Location> choice;
    USize filterCount = 0;
    DG::FileDialog::Filter firstFilter;
};

class FileDialogTest : public ::testing::Test {
protected:
    void SetUp() override { DG::SetUIBackEnd(&backEnd); }
    void TearDown() override { DG::SetUIBackEnd(nullptr); }

    ChoosingBackEnd backEnd;
    FTM::FileTypeManager manager{"FileDialogTest"};
};

TEST_F(FileDialogTest, FiltersCarryTheTypesExtensionOptionAndText) {
    const FTM::TypeID xml = manager.AddType(FTM::FileType("XML file", "xml", 0, 0, 0));
    DG::FileDialog dialog(DG::FileDialog::OpenFile);
    EXPECT_EQ(dialog.GetType(), DG::FileDialog::OpenFile);
    EXPECT_FALSE(dialog.AddFilter(FTM::UnknownType, 1)) << "an unregistered type adds nothing";
    EXPECT_FALSE(dialog.SetFilterText(0, "none yet"));
    ASSERT_TRUE(dialog.AddFilter(xml, 1));
    EXPECT_EQ(dialog.GetFilter(0).text, "XML file") << "the description until a text is set";
    EXPECT_TRUE(dialog.SetFilterText(0, "Property Mapping File"));
    EXPECT_FALSE(dialog.SetFilterText(1, "past the end"));

    backEnd.choice = IO::Location("/data/map.xml");
    ASSERT_TRUE(dialog.Invoke());
    ASSERT_EQ(backEnd.filterCount, 1u);
    EXPECT_EQ(backEnd.firstFilter.text, "Property Mapping File");
    EXPECT_EQ(backEnd.firstFilter.option, 1);
    ASSERT_EQ(backEnd.firstFilter.extensions.GetSize(), 1u);
    EXPECT_EQ(backEnd.firstFilter.extensions[0], "xml");
    EXPECT_EQ(backEnd.firstFilter.typeId, xml);
}

TEST_F(FileDialogTest, AcceptedDialogGivesTheChosenFile) {
    DG::FileDialog dialog(DG::FileDialog::OpenFile);
    backEnd.choice = IO::Location("/data/map.xml");
    ASSERT_TRUE(dialog.Invoke());
    EXPECT_EQ(dialog.GetSelectionCount(), 1u);
    EXPECT_EQ(dialog.GetSelectedFile(0), IO::Location("/data/map.xml"));
    EXPECT_TRUE(dialog.GetSelectedFile(1).IsEmpty()) << "past the selection";
}

TEST_F(FileDialogTest, CancelLeavesNoSelectionEvenAfterAnEarlierChoice) {
    DG::FileDialog dialog(DG::FileDialog::OpenFile);
    backEnd.choice = IO::Location("/data/map.xml");
    ASSERT_TRUE(dialog.Invoke());
    backEnd.accept = false;
    EXPECT_FALSE(dialog.Invoke());
    EXPECT_EQ(dialog.GetSelectionCount(), 0u);
    EXPECT_TRUE(dialog.GetSelectedFile(0).IsEmpty());
    backEnd.choice.reset();
    EXPECT_FALSE(dialog.Invoke());
    EXPECT_EQ(backEnd.shown, 3);
}

TEST(FileDialogWithoutHost, DefaultBackEndAndNoBackEndCancel) {
    DG::FileDialog dialog(DG::FileDialog::OpenFile);
    EXPECT_FALSE(dialog.Invoke()) << "no back end installed";
    DG::UIBackEnd defaults;
    DG::SetUIBackEnd(&defaults);
    EXPECT_FALSE(dialog.Invoke());
    DG::SetUIBackEnd(nullptr);
    EXPECT_EQ(dialog.GetSelectionCount(), 0u);
}

} // namespace
