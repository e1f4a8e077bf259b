#include "controls/hover_button.h"
#include "tests/controls/widget_pixels.h"

#include <gtest/gtest.h>

using namespace controls_test;

namespace {

const QColor kNormal(200, 0, 0);
const QColor kHover(0, 200, 0);
const QColor kPressed(0, 0, 200);
const QColor kDisabled(90, 90, 90);

struct ButtonFixture : ::testing::Test {
    SolidParent parent{QColor(255, 255, 0)};
    CHoverButton *button = new CHoverButton(&parent, QStringLiteral("Record"));

    void SetUp() override
    {
        ASSERT_TRUE(button->LoadImages(Solid(20, 16, kNormal), Solid(20, 16, kHover), Solid(20, 16, kPressed)));
        button->SetDisabledImage(Solid(20, 16, kDisabled));
        button->move(30, 40);
        parent.show();
    }
    QColor Face() { return At(Grab(*button), 10, 8); }
    QPoint Centre() const { return QPoint(10, 8); }
};

} // namespace

TEST_F(ButtonFixture, LoadingSizesTheButtonWithoutMovingIt)
{
    EXPECT_EQ(button->size(), QSize(20, 16));
    EXPECT_EQ(button->pos(), QPoint(30, 40));
    EXPECT_EQ(button->accessibleName(), QStringLiteral("Record"));
    EXPECT_FALSE(button->LoadImages(QImage(), Solid(5, 5, kHover), Solid(5, 5, kPressed)));
    EXPECT_EQ(button->size(), QSize(20, 16));
    EXPECT_EQ(Face(), kNormal);
}

TEST_F(ButtonFixture, FaceFollowsHoverAndPress)
{
    QEnterEvent enter{QPointF(Centre()), QPointF(Centre()), QPointF(button->mapToGlobal(Centre()))};
    QApplication::sendEvent(button, &enter);
    EXPECT_TRUE(button->IsHovered());
    EXPECT_EQ(Face(), kHover);

    SendMouse(*button, QEvent::MouseButtonPress, Centre());
    EXPECT_TRUE(button->isDown());
    EXPECT_EQ(Face(), kPressed);
    SendMouse(*button, QEvent::MouseButtonRelease, Centre());
    EXPECT_EQ(Face(), kHover);

    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(button, &leave);
    EXPECT_FALSE(button->IsHovered());
    EXPECT_EQ(Face(), kNormal);
}

TEST_F(ButtonFixture, LatchedButtonStaysPressedThroughAClick)
{
    int clicks = 0;
    QObject::connect(button, &QAbstractButton::clicked, [&clicks] { ++clicks; });
    button->SetLatched(true);
    EXPECT_EQ(Face(), kPressed);
    SendMouse(*button, QEvent::MouseButtonPress, Centre());
    SendMouse(*button, QEvent::MouseButtonRelease, Centre());
    EXPECT_EQ(clicks, 1);
    EXPECT_TRUE(button->IsLatched());
    EXPECT_EQ(Face(), kPressed);
    button->SetLatched(false);
    EXPECT_EQ(Face(), kNormal);
}

TEST_F(ButtonFixture, EnabledFlagZeroShowsTheDisabledFaceEvenWhenLatched)
{
    button->SetLatched(true);
    button->SetEnabledFlag(false);
    EXPECT_EQ(Face(), kDisabled);
    button->SetEnabledFlag(true);
    EXPECT_EQ(Face(), kPressed);
    // A disabled window (the transport backdrop) keeps its normal face.
    button->SetLatched(false);
    button->setEnabled(false);
    EXPECT_EQ(Face(), kNormal);
}

TEST_F(ButtonFixture, PressedFaceOfAnotherSizeIsCopiedAtTheNormalSize)
{
    // A larger pressed face: only its top-left 20 x 16 may show.
    QImage big = Solid(40, 30, QColor(255, 0, 255));
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 20; ++x)
            big.setPixelColor(x, y, kPressed);
    ASSERT_TRUE(button->LoadImages(Solid(20, 16, kNormal), Solid(20, 16, kHover), big));
    button->SetLatched(true);
    const QImage shot = Grab(*button);
    ASSERT_EQ(shot.size(), QSize(20, 16));
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x)
            ASSERT_EQ(At(shot, x, y), kPressed) << x << "," << y;

    // The parent around the button is untouched by the larger face.
    const QImage window = Grab(parent);
    EXPECT_EQ(At(window, 30 + 25, 40 + 5), QColor(255, 255, 0));
    EXPECT_EQ(At(window, 30 + 5, 40 + 20), QColor(255, 255, 0));
}
