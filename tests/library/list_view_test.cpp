#include "platform/ui/image_list.h"
#include "platform/ui/list_view.h"

#include <QApplication>
#include <QImage>
#include <gtest/gtest.h>

namespace {

using ui::ListView;
constexpr unsigned kBoth = ListView::kSelected | ListView::kFocused;

TEST(ListView, FocusIsUniqueAndTheMarkFollowsInsertionsAndDeletions)
{
    ListView view;
    for (int i = 0; i < 4; ++i)
        view.InsertItem(i, QString::number(i), -1);
    view.SetItemState(1, kBoth, kBoth);
    view.SetItemState(2, ListView::kFocused, ListView::kFocused);
    EXPECT_EQ(view.GetItemState(1, kBoth), ListView::kSelected);
    EXPECT_EQ(view.GetItemState(2, kBoth), ListView::kFocused);
    view.SetItemState(2, 0, ListView::kFocused);
    EXPECT_EQ(view.GetItemState(2, kBoth), 0u);

    view.SetSelectionMark(2);
    view.InsertItem(0, "new", -1);
    EXPECT_EQ(view.GetSelectionMark(), 3);
    view.DeleteItem(1);
    EXPECT_EQ(view.GetSelectionMark(), 2);
    view.DeleteItem(2);
    EXPECT_EQ(view.GetSelectionMark(), -1);
    view.DeleteAllItems();
    EXPECT_EQ(view.GetItemCount(), 0);
    EXPECT_TRUE(view.PositionRequests().empty());
}

// The list as the dialog shows it: dark, readable, with a visible selection.
TEST(ListView, DarkListWithVisibleSelectionAndNamesUnderThumbnails)
{
    QWidget host;
    host.resize(200, 300);
    ListView view(&host);
    view.setGeometry(11, 10, 139, 279);
    ui::ImageList images(87, 65);
    view.SetImageList(&images);
    view.SetIconSpacing(0, 90);
    images.SetImageCount(3);
    QImage green(87, 65, QImage::Format_RGB32);
    green.fill(QColor(0, 200, 0));
    for (int i = 0; i < 3; ++i) {
        images.Replace(i, green);
        view.InsertItem(i, QString("2024010%1-120000.wmv").arg(i), i);
    }
    view.SetItemState(1, kBoth, kBoth);
    host.show();
    QApplication::processEvents();
    const QImage shot = view.grab().toImage();

    const QRect first = view.visualItemRect(view.item(0));
    const QRect second = view.visualItemRect(view.item(1));
    ASSERT_TRUE(first.isValid() && second.isValid());
    EXPECT_GT(second.top(), first.bottom() - 1); // one column, top to bottom
    const auto luminance = [](QRgb c) { return qGray(c); };

    // Dark background beside the items.
    EXPECT_LT(luminance(shot.pixel(3, shot.height() - 4)), 50);
    // The thumbnail is drawn in its true colours, also when selected.
    const QPoint icon1 = second.center() - QPoint(0, 8);
    EXPECT_GT(qGreen(shot.pixel(icon1)), 150);
    EXPECT_LT(qRed(shot.pixel(icon1)), 80);
    // The selection highlight is the accent blue around the thumbnail.
    const QPoint edge1(second.left() + 3, second.top() + 3);
    EXPECT_GT(qBlue(shot.pixel(edge1)), 150);
    EXPECT_LT(luminance(shot.pixel(first.left() + 3, first.top() + 3)), 60);
    // Light text (the file name) in the lower part of an unselected item.
    int light = 0;
    for (int y = first.bottom() - 16; y <= first.bottom(); ++y)
        for (int x = first.left(); x <= first.right(); ++x)
            light += luminance(shot.pixel(x, y)) > 150 ? 1 : 0;
    EXPECT_GT(light, 10);
}

} // namespace
