#include "library/media_library.h"
#include "platform/ui/message_box.h"
#include "tests/library/library_fixtures.h"

#include <gtest/gtest.h>

namespace {

using ui::ListView;
constexpr unsigned kBoth = ListView::kSelected | ListView::kFocused;

class Selection : public ::testing::Test {
protected:
    void Fill(int n)
    {
        list.view.DeleteAllItems();
        for (int i = 0; i < n; ++i)
            list.view.InsertItem(i, QString("item%1.jpg").arg(i), -1);
    }
    void ExpectSelectedOnly(int index)
    {
        EXPECT_EQ(list.view.GetSelectionMark(), index);
        EXPECT_EQ(list.view.GetItemState(index, kBoth), kBoth);
        EXPECT_EQ(list.view.GetNextSelectedItem(-1), index);
        EXPECT_EQ(list.view.GetNextSelectedItem(index), -1);
    }
    libtest::BoundList list;
};

TEST_F(Selection, FirstItemOnlyWhenThereIsOne)
{
    list.library.SelectFirstItem();
    EXPECT_EQ(list.view.GetSelectionMark(), -1);
    Fill(3);
    list.library.SelectFirstItem();
    ExpectSelectedOnly(0);
}

TEST_F(Selection, NextAndPreviousMoveOneItemAndScrollByNinety)
{
    Fill(8);
    list.library.SelectFirstItem();
    list.library.SelectNextItem(0);
    ExpectSelectedOnly(1);
    EXPECT_EQ(list.view.ScrolledTotal(), 0);
    list.library.SelectNextItem(1); // new index 2: no scroll
    ExpectSelectedOnly(2);
    EXPECT_EQ(list.view.ScrolledTotal(), 0);
    list.library.SelectNextItem(2); // new index 3: scroll
    ExpectSelectedOnly(3);
    EXPECT_EQ(list.view.ScrolledTotal(), 90);

    list.library.SelectPreviousItem(8, 3); // 8 - 3 >= 3: scroll back
    ExpectSelectedOnly(2);
    EXPECT_EQ(list.view.ScrolledTotal(), 0);
    list.library.SelectNextItem(2);
    list.library.SelectNextItem(3);
    list.library.SelectNextItem(4);
    list.library.SelectNextItem(5);
    EXPECT_EQ(list.view.ScrolledTotal(), 360);
    list.library.SelectPreviousItem(8, 6); // 8 - 6 = 2: no scroll
    ExpectSelectedOnly(5);
    EXPECT_EQ(list.view.ScrolledTotal(), 360);

    // Out-of-range moves (the callers guard them) change nothing.
    list.library.SelectNextItem(7);
    list.library.SelectPreviousItem(8, 0);
    ExpectSelectedOnly(5);
}

TEST_F(Selection, LastItemScrollsOnlyBeyondThree)
{
    Fill(3);
    list.library.SelectLastItem();
    ExpectSelectedOnly(2);
    EXPECT_EQ(list.view.ScrolledTotal(), 0);
    Fill(5);
    list.library.SelectLastItem();
    ExpectSelectedOnly(4);
    EXPECT_EQ(list.view.ScrolledTotal(), 450);
    Fill(0);
    list.library.SelectLastItem();
    EXPECT_EQ(list.view.GetSelectionMark(), -1);
}

TEST_F(Selection, RemoveListItemsDeletesFromTheTopDownAndSelectsTheOneBefore)
{
    Fill(8);
    list.library.RemoveListItems(2, {2, 5});
    ASSERT_EQ(list.view.GetItemCount(), 6);
    EXPECT_EQ(list.view.GetItemText(2), "item3.jpg");
    EXPECT_EQ(list.view.GetItemText(4), "item6.jpg");
    ExpectSelectedOnly(1);

    Fill(3);
    list.library.RemoveListItems(1, {0});
    EXPECT_EQ(list.view.GetItemText(0), "item1.jpg");
    ExpectSelectedOnly(0);
}

TEST_F(Selection, SelectedPathNeedsASelection)
{
    ui::RecordingPresenter box;
    list.library.modeFolders[1] = "/media/AudioConference/";
    Fill(2);
    QString path = "unchanged";
    EXPECT_FALSE(list.library.GetSelectedFilePath(1, &path, nullptr));
    EXPECT_EQ(box.Texts(), QStringList{"No item is selected!!"});
    EXPECT_EQ(path, "unchanged");
    libtest::SelectOnly(list.view, {1});
    EXPECT_TRUE(list.library.GetSelectedFilePath(1, &path, nullptr));
    EXPECT_EQ(path, "/media/AudioConference/item1.jpg");
}

} // namespace
