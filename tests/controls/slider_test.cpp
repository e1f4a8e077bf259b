#include "controls/my_slider_control.h"
#include "tests/controls/widget_pixels.h"

#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>
#include <gtest/gtest.h>

using namespace controls_test;

namespace {

// Channels chosen so that each of A, B and A AND B differs from the others.
const QColor kFirst(0xF0, 0x0F, 0xFF);
const QColor kSecond(0x3C, 0xFF, 0x00);
const QColor kAnded(0x30, 0x0F, 0x00);

struct SliderFixture : ::testing::Test {
    SolidParent parent{kFirst};
    CMySliderControl *slider = new CMySliderControl(&parent);

    void SetUp() override
    {
        slider->setGeometry(20, 30, 90, 20);
        slider->setRange(0, 7);
        slider->setValue(0);
        parent.show();
    }
    // A point of the control outside the channel's edge and the thumb.
    QPoint PlainPoint() const
    {
        const QRect channel = slider->ChannelRect();
        const QRect thumb = slider->ThumbRect();
        for (int y = 0; y < slider->height(); ++y)
            for (int x = slider->width() - 1; x >= 0; --x)
                if (!channel.contains(x, y) && !thumb.contains(x, y))
                    return QPoint(x, y);
        return QPoint(-1, -1);
    }
    QColor WindowAt(QPoint inSlider) { return At(Grab(parent), 20 + inSlider.x(), 30 + inSlider.y()); }
};

} // namespace

TEST_F(SliderFixture, ChannelShowsTheParentBehindIt)
{
    const QPoint plain = PlainPoint();
    ASSERT_GE(plain.x(), 0);
    EXPECT_EQ(WindowAt(plain), kFirst);
    ASSERT_FALSE(slider->BackgroundCopy().isNull());
    EXPECT_EQ(slider->BackgroundCopy().pixelColor(plain), kFirst);
}

TEST_F(SliderFixture, BackgroundCopyIsNeverRefreshedAndIsAndedWithThePixelsBeneath)
{
    const QPoint plain = PlainPoint();
    ASSERT_GE(plain.x(), 0);
    EXPECT_EQ(WindowAt(plain), kFirst); // first paint takes the copy
    parent.SetColour(kSecond);
    slider->update();
    EXPECT_EQ(WindowAt(plain), kAnded);
    EXPECT_EQ(slider->BackgroundCopy().pixelColor(plain), kFirst);
    // Outside the control the parent shows its new colour.
    EXPECT_EQ(At(Grab(parent), 5, 5), kSecond);
}

TEST_F(SliderFixture, ChannelGetsASunkenEdge)
{
    const QRect channel = slider->ChannelRect();
    ASSERT_TRUE(QRect(QPoint(0, 0), slider->size()).contains(channel));
    // The channel runs along the slider: taller by two pixels at each side.
    EXPECT_GT(channel.width(), channel.height());
    const QPalette &palette = slider->palette();
    const QImage shot = Grab(parent);
    const QPoint origin(20, 30);
    // Away from the thumb, which sits at the left end.
    const int x = channel.right() - 4;
    EXPECT_EQ(shot.pixelColor(origin + QPoint(x, channel.top())), palette.color(QPalette::Dark));
    EXPECT_EQ(shot.pixelColor(origin + QPoint(x, channel.top() + 1)), palette.color(QPalette::Shadow));
    EXPECT_EQ(shot.pixelColor(origin + QPoint(x, channel.bottom())), palette.color(QPalette::Light));
    EXPECT_EQ(shot.pixelColor(origin + QPoint(x, channel.bottom() - 1)), palette.color(QPalette::Midlight));
    EXPECT_EQ(shot.pixelColor(origin + QPoint(x, channel.center().y())), kFirst);
}

TEST_F(SliderFixture, ThumbIsFilledWithThePressedOrIdleColour)
{
    const QPoint centre = slider->ThumbRect().center();
    EXPECT_EQ(WindowAt(centre), slider->palette().color(QPalette::Button));
    slider->setSliderDown(true);
    EXPECT_EQ(WindowAt(centre), slider->palette().color(QPalette::Light));
    EXPECT_NE(slider->palette().color(QPalette::Light), slider->palette().color(QPalette::Button));

    slider->SetPressedThumbColour(QColor(200, 10, 10));
    slider->SetThumbColour(QColor(10, 200, 10));
    EXPECT_EQ(WindowAt(centre), QColor(200, 10, 10));
    slider->setSliderDown(false);
    EXPECT_EQ(WindowAt(centre), QColor(10, 200, 10));
}

TEST_F(SliderFixture, ThumbFollowsThePosition)
{
    const QRect atStart = slider->ThumbRect();
    slider->setValue(7);
    const QRect atEnd = slider->ThumbRect();
    EXPECT_GT(atEnd.left(), atStart.right());
    EXPECT_EQ(WindowAt(atEnd.center()), slider->palette().color(QPalette::Button));
    EXPECT_EQ(WindowAt(atStart.center()), kFirst);
}

// A person's change ends with exactly one notification; the program's own
// setValue sends none.
TEST_F(SliderFixture, EveryCapturedPressKeyAndWheelTurnEndsWithOneNotification)
{
    QSignalSpy released(slider, &CMySliderControl::ReleasedCapture);
    QSignalSpy ended(slider, &CMySliderControl::EndTrack);
    slider->setValue(3);
    EXPECT_EQ(released.count() + ended.count(), 0);
    EXPECT_EQ(slider->pageStep(), 1) << "a fifth of 0..7";

    const QRect thumb = slider->ThumbRect();
    const QPoint y(0, thumb.center().y());
    QTest::mousePress(slider, Qt::LeftButton, Qt::NoModifier, QPoint(thumb.right() + 4, 0) + y);
    EXPECT_EQ(slider->value(), 4) << "a press on the track pages toward it";
    EXPECT_EQ(released.count(), 0) << "not before the release";
    QTest::mouseRelease(slider, Qt::LeftButton, Qt::NoModifier, QPoint(thumb.right() + 4, 0) + y);
    EXPECT_EQ(released.count(), 1);

    QTest::mousePress(slider, Qt::LeftButton, Qt::NoModifier, slider->ThumbRect().center());
    QTest::mouseMove(slider, slider->ThumbRect().center() + QPoint(-25, 0));
    QTest::mouseRelease(slider, Qt::LeftButton, Qt::NoModifier, slider->ThumbRect().center());
    EXPECT_EQ(released.count(), 2) << "a drag of the thumb";
    EXPECT_LT(slider->value(), 4);

    QTest::mouseClick(slider, Qt::RightButton, Qt::NoModifier, slider->ThumbRect().center());
    EXPECT_EQ(released.count(), 2) << "a button the slider does not take";

    slider->setFocus();
    QTest::keyClick(slider, Qt::Key_End);
    QTest::keyClick(slider, Qt::Key_End); // at the end already: still a person's touch
    QTest::keyClick(slider, Qt::Key_A);   // not a slider key
    EXPECT_EQ(ended.count(), 2);
    EXPECT_EQ(slider->value(), 7);

    QWheelEvent down(QPointF(slider->ThumbRect().center()), QPointF(slider->mapToGlobal(slider->ThumbRect().center())),
                     QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(slider, &down);
    EXPECT_EQ(slider->value(), 6) << "one step per notch";
    EXPECT_EQ(ended.count(), 3);
    EXPECT_EQ(released.count(), 2);
}
