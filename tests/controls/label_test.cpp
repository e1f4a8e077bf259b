#include "controls/label.h"
#include "platform/shell/shell.h"
#include "tests/controls/widget_pixels.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <gtest/gtest.h>

using namespace controls_test;

namespace {

const QColor kGrey(128, 128, 128);

// Bounding box of the pixels of one colour (or of all pixels that differ
// from it when invert is set).
QRect Extent(const QImage &image, const QColor &colour, bool invert = false)
{
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if ((image.pixelColor(x, y) == colour) != invert)
                box |= QRect(x, y, 1, 1);
    return box;
}

struct LabelFixture : ::testing::Test {
    SolidParent parent{QColor(0, 160, 0)};
    CLabel *label = nullptr;

    void SetUp() override
    {
        // Aliased text so every text pixel has the text colour exactly.
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(14);
        font.setStyleStrategy(QFont::NoAntialias);
        parent.setFont(font);
        label = new CLabel(&parent);
        label->setGeometry(10, 10, 120, 60);
        parent.show();
    }
    QImage Shot() { return Grab(*label); }
};

} // namespace

TEST(LabelColours, ColourReferencesAreBlueGreenRed)
{
    EXPECT_EQ(CLabel::FromColorRef(0x00FF0000), QColor(0, 0, 255));
    EXPECT_EQ(CLabel::FromColorRef(0x000000FF), QColor(255, 0, 0));
    EXPECT_EQ(CLabel::FromColorRef(0x00123456), QColor(0x56, 0x34, 0x12));
}

TEST_F(LabelFixture, NarrowGradientHasOneBandPerPixel)
{
    label->setGeometry(10, 10, 50, 8);
    label->SetBackground(QColor(0, 0, 0), QColor(100, 200, 50), true);
    const QImage shot = Shot();
    for (int x = 0; x < 50; ++x) {
        ASSERT_EQ(At(shot, x, 0), QColor(2 * x, 4 * x, x)) << x;
        ASSERT_EQ(At(shot, x, 7), QColor(2 * x, 4 * x, x)) << x; // down to the bottom row
    }
}

TEST_F(LabelFixture, WideGradientHasAHundredIntegerBands)
{
    // Steps of (0 - 255) * 256 / 100 = -652 and +652 in 1/256 units: the
    // colours never quite reach the end colour.
    label->setGeometry(10, 10, 250, 6);
    label->SetBackground(QColor(255, 0, 40), QColor(0, 255, 40), true);
    const QImage shot = Shot();
    const QColor band0(255, 0, 40), band1(252, 2, 40), band50(127, 127, 40), band99(2, 252, 40);
    EXPECT_EQ(At(shot, 0, 3), band0);
    EXPECT_EQ(At(shot, 1, 3), band0);
    EXPECT_EQ(At(shot, 2, 3), band1);
    EXPECT_EQ(At(shot, 100, 3), band50);
    EXPECT_EQ(At(shot, 101, 3), band50);
    EXPECT_EQ(At(shot, 198, 3), band99);
    EXPECT_EQ(At(shot, 249, 3), band99); // the last band reaches the right edge

    // 130 pixels: 99 one-pixel bands, then one band of 31 pixels.
    label->setGeometry(10, 10, 130, 6);
    const QImage narrow = Shot();
    EXPECT_NE(At(narrow, 98, 3), band99);
    EXPECT_EQ(At(narrow, 99, 3), band99);
    EXPECT_EQ(At(narrow, 129, 3), band99);
}

TEST_F(LabelFixture, TextFormatFollowsTheStaticStyle)
{
    label->SetLabelText(QStringLiteral("Video Tracing"));
    const struct {
        int style;
        int format;
    } cases[] = {
        {CLabel::SS_LEFT, 0x10},
        {CLabel::SS_CENTER, 0x11},
        {CLabel::SS_RIGHT, 0x12},
        {CLabel::SS_LEFTNOWORDWRAP, 0x00},
        {0x3, 0x10}, // any other type wraps on the left
        {CLabel::SS_RIGHT | CLabel::SS_CENTERIMAGE, 0x25},
    };
    for (const auto &c : cases) {
        label->SetStaticStyle(c.style);
        EXPECT_EQ(label->TextFormat(), c.format) << c.style;
    }
    label->SetLabelText(QStringLiteral("Video\r\nTracing"));
    EXPECT_EQ(label->TextFormat(), CLabel::DT_CENTER);

    EXPECT_EQ(CLabel::QtTextFlags(0x25) & (Qt::AlignHorizontal_Mask | Qt::AlignVertical_Mask | Qt::TextSingleLine),
              Qt::AlignHCenter | Qt::AlignVCenter | Qt::TextSingleLine);
    EXPECT_TRUE(CLabel::QtTextFlags(0x12) & Qt::TextWordWrap);
    EXPECT_TRUE(CLabel::QtTextFlags(0x12) & Qt::AlignRight);
    EXPECT_FALSE(CLabel::QtTextFlags(0x00) & Qt::TextWordWrap);
}

TEST_F(LabelFixture, CentreImageCentresVerticallyOnlyWithoutALineBreak)
{
    label->SetBackground(kGrey).SetTextColour(QColor(0, 0, 0));
    label->SetStaticStyle(CLabel::SS_CENTERIMAGE);
    label->SetLabelText(QStringLiteral("Ab"));
    const QRect single = Extent(Shot(), kGrey, true);
    label->SetLabelText(QStringLiteral("Ab\r\nCd"));
    const QRect twoLines = Extent(Shot(), kGrey, true);
    ASSERT_FALSE(single.isEmpty());
    ASSERT_FALSE(twoLines.isEmpty());
    EXPECT_GT(single.top(), 15);  // centred in 60 pixels
    EXPECT_LT(twoLines.top(), 6); // from the top
    EXPECT_NEAR(single.center().x(), 60, 3);
    EXPECT_NEAR(twoLines.center().x(), 60, 3);
}

TEST_F(LabelFixture, RaisedTextAddsAnOffsetCopyInTheRaisedColour)
{
    label->SetBackground(kGrey).SetTextColour(QColor(0, 0, 0)).SetRaisedColour(QColor(255, 255, 255));
    label->SetStaticStyle(CLabel::SS_CENTER | CLabel::SS_CENTERIMAGE);
    label->SetLabelText(QStringLiteral("Raised"));
    const QRect plain = Extent(Shot(), QColor(0, 0, 0));
    ASSERT_FALSE(plain.isEmpty());
    EXPECT_TRUE(Extent(Shot(), QColor(255, 255, 255)).isEmpty());

    label->SetRaisedText(true, 0);
    EXPECT_EQ(Extent(Shot(), QColor(255, 255, 255)), plain.translated(-1, -1));
    label->SetRaisedText(true, 1);
    EXPECT_EQ(Extent(Shot(), QColor(255, 255, 255)), plain.translated(1, 1));
}

TEST_F(LabelFixture, TextBlinkingHidesTheTextInTheFirstPhase)
{
    const QColor red(220, 0, 0);
    label->SetBackground(kGrey).SetTextColour(red).SetLabelText(QStringLiteral("Blink"));
    label->SetTextFlash(true);
    EXPECT_TRUE(label->IsBlinkTimerActive());
    EXPECT_EQ(label->FlashPhase(), 0);
    EXPECT_TRUE(Extent(Shot(), kGrey, true).isEmpty()); // text in the background colour

    label->OnTimer();
    EXPECT_EQ(label->FlashPhase(), 1);
    EXPECT_FALSE(Extent(Shot(), red).isEmpty());
    label->OnTimer();
    EXPECT_TRUE(Extent(Shot(), kGrey, true).isEmpty());

    // Turning it off in the hidden phase leaves the text visible.
    label->SetTextFlash(false);
    EXPECT_FALSE(label->IsBlinkTimerActive());
    EXPECT_EQ(label->FlashPhase(), 0);
    EXPECT_FALSE(Extent(Shot(), red).isEmpty());
}

TEST_F(LabelFixture, BlinkTimerTogglesThePhase)
{
    label->SetTextFlash(true);
    QElapsedTimer waited;
    waited.start();
    while (label->FlashPhase() == 0 && waited.elapsed() < 5000)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    EXPECT_EQ(label->FlashPhase(), 1);
}

TEST_F(LabelFixture, BackgroundBlinkingKeepsTheTextVisible)
{
    const QColor red(220, 0, 0);
    label->SetBackground(kGrey).SetTextColour(red).SetLabelText(QStringLiteral("Blink"));
    label->SetBackgroundFlash(true);
    EXPECT_EQ(label->GetFlashKind(), CLabel::FlashBackground);
    EXPECT_FALSE(Extent(Shot(), red).isEmpty());
    label->SetBackgroundFlash(false);
    EXPECT_EQ(label->GetFlashKind(), CLabel::FlashBackground); // left as it was
    EXPECT_FALSE(label->IsBlinkTimerActive());
}

TEST_F(LabelFixture, TransparentLabelLeavesTheParentPixels)
{
    const QColor blue = CLabel::FromColorRef(0x00FF0000);
    label->SetLabelText(QStringLiteral("Solo")).SetTransparent(true).SetTextColour(blue);
    const QImage window = Grab(parent);
    const QImage inside = window.copy(label->geometry());
    EXPECT_FALSE(Extent(inside, blue).isEmpty());
    // Every pixel is either the parent's green or the text's blue.
    for (int y = 0; y < inside.height(); ++y)
        for (int x = 0; x < inside.width(); ++x) {
            const QColor c = inside.pixelColor(x, y);
            ASSERT_TRUE(c == blue || c == QColor(0, 160, 0)) << x << "," << y;
        }

    // Opaque, the label fills its rectangle with the button-face colour.
    label->SetTransparent(false);
    EXPECT_EQ(At(Grab(parent), label->x() + 118, label->y() + 58), label->DefaultBrushColour());
}

TEST_F(LabelFixture, PaletteChangeRecreatesTheDefaultBrush)
{
    label->SetLabelText(QString());
    QPalette palette = label->palette();
    palette.setColor(QPalette::Button, QColor(10, 20, 30));
    label->setPalette(palette);
    EXPECT_EQ(label->DefaultBrushColour(), QColor(10, 20, 30));
    EXPECT_EQ(At(Shot(), 5, 5), QColor(10, 20, 30));
}

TEST_F(LabelFixture, ClicksArriveOnlyInLinkMode)
{
    label->SetLabelText(QStringLiteral("/tmp/some file.txt"));
    const QPoint inside = label->geometry().center();
    EXPECT_EQ(parent.childAt(inside), nullptr); // a plain static lets clicks through

    QStringList opened;
    shell::SetOpenHook([&opened](const QString &path) {
        opened << path;
        return true;
    });
    label->SetLinkMode(true, false);
    EXPECT_TRUE(label->GetStaticStyle() & CLabel::SS_NOTIFY);
    EXPECT_EQ(parent.childAt(inside), label);
    SendMouse(*label, QEvent::MouseButtonPress, QPoint(5, 5));
    EXPECT_EQ(opened, QStringList{QStringLiteral("/tmp/some file.txt")});

    int notified = 0;
    QObject::connect(label, &CLabel::LinkNotify, [&](CLabel *sender, int code) {
        EXPECT_EQ(sender, label);
        EXPECT_EQ(code, 0x8200);
        ++notified;
    });
    label->SetLinkMode(true, true);
    SendMouse(*label, QEvent::MouseButtonPress, QPoint(5, 5));
    EXPECT_EQ(notified, 1);
    EXPECT_EQ(opened.size(), 1);
    shell::SetOpenHook(nullptr);

    label->SetLinkMode(false, false);
    EXPECT_EQ(parent.childAt(inside), nullptr);
}

TEST_F(LabelFixture, FontSettersEditTheFont)
{
    label->SetBold(true).SetItalic(true).SetUnderline(true).SetPointSize(15);
    label->SetFaceName(QString(40, QLatin1Char('F')), 0);
    const QFont &font = label->PaintFont();
    EXPECT_EQ(font.weight(), QFont::Bold);
    EXPECT_TRUE(font.italic());
    EXPECT_TRUE(font.underline());
    EXPECT_EQ(font.pointSize(), 15);
    EXPECT_EQ(font.families().value(0).size(), 31);
    EXPECT_EQ(label->FontCharSet(), 0);
    label->SetPointSize(0); // nonsense keeps the size
    EXPECT_EQ(label->PaintFont().pointSize(), 15);
}

TEST_F(LabelFixture, RotatedTextIsDrawnAroundTheCentre)
{
    label->setGeometry(10, 10, 100, 100);
    label->SetBackground(kGrey).SetTextColour(QColor(0, 0, 0)).SetLabelText(QStringLiteral("HHHHHH"));
    label->SetRotation(90, true);
    EXPECT_EQ(label->FontEscapement(), 900);
    const QRect text = Extent(Shot(), QColor(0, 0, 0));
    ASSERT_FALSE(text.isEmpty());
    EXPECT_GT(text.height(), 2 * text.width()); // upright run of letters
    EXPECT_NEAR(text.center().y(), 50, 3);
    // Turned counter-clockwise, the baseline (at the centre) is on the right.
    EXPECT_LE(text.right(), 51);
}

TEST_F(LabelFixture, FramesShrinkTheClientArea)
{
    label->SetBackground(kGrey);
    label->SetBorder(true);
    EXPECT_EQ(label->contentsRect(), QRect(1, 1, 118, 58));
    label->SetSunkenEdge(true);
    EXPECT_EQ(label->contentsRect(), QRect(2, 2, 116, 56));
    const QImage shot = Shot();
    EXPECT_NE(At(shot, 0, 30), kGrey);
    EXPECT_NE(At(shot, 1, 30), kGrey);
    EXPECT_EQ(At(shot, 2, 30), kGrey);
}
