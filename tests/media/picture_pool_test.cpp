// The reused pictures behind the video views: a picture still held by the
// window must never be written again.
#include "platform/media/picture_pool.h"

#include <gtest/gtest.h>

using media::PicturePool;

TEST(PicturePool, WritesAgainOnlyWhatNobodyHolds)
{
    PicturePool pool;
    const QSize size(32, 24);
    QImage *first = pool.Free(size);
    first->fill(Qt::red);
    const uchar *firstBits = first->constBits();
    QImage held = *first; // the window paints it
    QImage *second = pool.Free(size);
    const uchar *secondBits = second->constBits();
    EXPECT_NE(secondBits, firstBits);
    second->fill(Qt::green);
    EXPECT_EQ(held.pixel(0, 0), QColor(Qt::red).rgb());

    held = QImage(); // let go: memory already made comes back, nothing new is allocated
    const uchar *again = pool.Free(size)->constBits();
    EXPECT_TRUE(again == firstBits || again == secondBits);

    // Every picture held: a fresh one, and the held ones keep their frames.
    std::vector<QImage> holders;
    for (int i = 0; i < 4; ++i) {
        QImage *p = pool.Free(size);
        p->fill(QColor(i * 60, 0, 0));
        holders.push_back(*p);
    }
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(holders[i].pixel(5, 5), QColor(i * 60, 0, 0).rgb()) << i;
    // Another size or format is a picture of its own.
    EXPECT_EQ(pool.Free(QSize(8, 8))->size(), QSize(8, 8));
    EXPECT_EQ(pool.Free(size, QImage::Format_ARGB32)->format(), QImage::Format_ARGB32);
}
