// The list box: tab fields, a header that follows them or not, and rows whose texts sit in the fields.

#include "RecordingBackEnd.hpp"

#include "DGListBox.hpp"

#include <gtest/gtest.h>

namespace {

int anchor = 0;

GSResModule TestModule() {
    static const GSResModule module = RSInitModuleImageCache(&anchor);
    return module;
}

class ListBoxTest : public ::testing::Test {
protected:
    void SetUp() override { DG::SetUIBackEnd(&backEnd); }
    void TearDown() override { DG::SetUIBackEnd(nullptr); }

    RecordingBackEnd backEnd;
};

TEST_F(ListBoxTest, RowsKeepOneTextPerFieldAndIgnoreIndicesOutside) {
    DG::ModalDialog dialog(TestModule(), 702);
    DG::SingleSelListBox list(dialog, 1);
    EXPECT_EQ(list.GetItemWidth(), 280) << "the list's width from its resource";
    EXPECT_EQ(list.GetTabFieldCount(), 1);
    EXPECT_EQ(list.GetTabField(1).end, 0) << "no width until it is set";

    list.SetTabFieldCount(2);
    list.SetTabFieldProperties(1, 0, 100, DG::ListBox::Left, DG::ListBox::EndTruncate, true);
    list.SetTabFieldProperties(2, 100, list.GetItemWidth(), DG::ListBox::Right, DG::ListBox::NoTruncate);
    list.SetTabFieldProperties(3, 0, 1, DG::ListBox::Center, DG::ListBox::MiddleTruncate);
    EXPECT_EQ(list.GetTabField(1).truncation, DG::ListBox::EndTruncate);
    EXPECT_TRUE(list.GetTabField(1).hasSeparator);
    EXPECT_EQ(list.GetTabField(2).begin, 100);
    EXPECT_EQ(list.GetTabField(2).end, 280);
    EXPECT_FALSE(list.GetTabField(2).hasSeparator);
    EXPECT_EQ(list.GetTabField(3).end, 0) << "a third field was never made";

    ASSERT_TRUE(list.AppendItem());
    ASSERT_TRUE(list.AppendItem());
    list.SetTabItemText(1, 1, "first");
    list.SetTabItemText(2, 2, "Grüße");
    list.SetTabItemText(3, 1, "no row 3");
    list.SetTabItemText(1, 3, "no field 3");
    list.SetTabItemText(0, 1, "no row 0");
    EXPECT_EQ(list.GetItemCount(), 2);
    EXPECT_EQ(list.GetTabItemText(1, 1), "first");
    EXPECT_EQ(list.GetTabItemText(1, 2), "");
    EXPECT_EQ(list.GetTabItemText(2, 2), "Grüße");
    EXPECT_EQ(list.GetTabItemText(3, 1), "");

    list.SetTabFieldCount(1);
    list.SetTabFieldCount(2);
    EXPECT_EQ(list.GetTabItemText(2, 2), "") << "a field that went took its texts along";
    EXPECT_EQ(list.GetTabItemText(1, 1), "first");
}

TEST_F(ListBoxTest, AHeaderFollowsTheFieldsUntilItIsUnsynchronised) {
    DG::ModalDialog dialog(TestModule(), 702);
    DG::SingleSelListBox list(dialog, 1);
    list.SetTabFieldProperties(1, 10, 90, DG::ListBox::Left, DG::ListBox::NoTruncate);
    list.SetHeaderItemSize(1, 200);
    list.SetHeaderItemText(1, "Name");
    list.SetHeaderItemText(2, "no such item");
    EXPECT_TRUE(list.IsHeaderSynchronized());
    EXPECT_EQ(list.GetHeaderItemSize(1), 80) << "synchronised: the field's width";
    list.SetHeaderSynchronState(false);
    EXPECT_EQ(list.GetHeaderItemSize(1), 200);
    EXPECT_EQ(list.GetHeaderItemText(1), "Name");
    EXPECT_EQ(list.GetHeaderItemText(2), "");
    EXPECT_EQ(list.GetHeaderItemSize(2), 0);
}

} // namespace
