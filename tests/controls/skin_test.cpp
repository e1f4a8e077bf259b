// The embedded skin: every bitmap the window asks for exists, has a size the
// layout can take, and the faces are cut so they sit seamlessly on the skin.
#include "controls/hover_button.h"
#include "tests/controls/widget_pixels.h"

#include <QFile>
#include <gtest/gtest.h>

// The skin lives in a static library; its resources register on request.
static void InitSkin()
{
    Q_INIT_RESOURCE(skin);
}

namespace {

QImage Skin(int id)
{
    InitSkin();
    return QImage(QStringLiteral(":/skin/%1.png").arg(id)).convertToFormat(QImage::Format_RGB32);
}

int DifferingPixels(const QImage &a, const QImage &b)
{
    int count = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            count += a.pixel(x, y) != b.pixel(x, y) ? 1 : 0;
    return count;
}

struct Pair {
    int normal;
    int pressed;
    QPoint at; // where the window puts the button
};

const Pair kButtons[] = {
    {300, 162, {215, 10}}, {301, 148, {285, 10}}, {303, 168, {425, 10}}, {302, 166, {355, 10}},
    {155, 156, {495, 10}}, {146, 145, {170, 375}}, {164, 163, {200, 375}}, {158, 210, {260, 375}},
    {178, 179, {290, 375}}, {160, 159, {230, 375}}, {154, 153, {470, 375}}, {150, 149, {360, 375}},
    {141, 177, {510, 365}}, {143, 144, {560, 365}}, {170, 208, {335, 375}},
};

} // namespace

TEST(Skin, EveryBitmapTheWindowLoadsIsEmbedded)
{
    for (int id : {300, 301, 302, 303, 155, 158, 146, 164, 178, 160, 154, 150, 186, 141, 143, 169, 139, 207,
                   170, 209, 140, 162, 148, 166, 168, 156, 145, 163, 159, 210, 179, 153, 149, 177, 144, 208})
        EXPECT_FALSE(Skin(id).isNull()) << id;
}

TEST(Skin, SizesFitTheWindowLayout)
{
    EXPECT_EQ(Skin(140).size(), QSize(628, 447));
    EXPECT_EQ(Skin(169).size(), QSize(336, 252));
    // Mode buttons: 70-pixel pitch, ending above the captions at y 60.
    for (int id : {300, 301, 302, 303, 155}) {
        EXPECT_LE(Skin(id).width(), 70) << id;
        EXPECT_LE(10 + Skin(id).height(), 60) << id;
    }
    for (int id : {146, 164, 160, 158, 178})
        EXPECT_EQ(Skin(id).size(), QSize(28, 28)) << id;
    // Backdrop at (160, 368) holds the transport row (x 170..318, y 375..403).
    const QImage backdrop = Skin(139);
    EXPECT_GE(160 + backdrop.width(), 318);
    EXPECT_GE(368 + backdrop.height(), 403);
    // The volume row: mute, "-", slider 380..470, "+" without overlaps.
    EXPECT_LE(335 + Skin(170).width(), 360);
    EXPECT_LE(360 + Skin(150).width(), 380);
    EXPECT_LE(510 + Skin(141).width(), 560);
    EXPECT_LE(560 + Skin(143).width(), 628);
    // The logo stays clear of the video area (x 160, y 80) and the list (y 116).
    const QImage logo = Skin(209);
    EXPECT_TRUE(33 + logo.width() <= 160 || 5 + logo.height() <= 80);
}

TEST(Skin, PressedFacesShareTheSizeAndLookDifferent)
{
    for (const Pair &pair : kButtons) {
        const QImage normal = Skin(pair.normal);
        const QImage pressed = Skin(pair.pressed);
        ASSERT_EQ(normal.size(), pressed.size()) << pair.normal;
        EXPECT_GT(DifferingPixels(normal, pressed), normal.width() * normal.height() / 5) << pair.normal;
    }
}

TEST(Skin, FacesAreCutFromTheSkinBeneathThem)
{
    const QImage window = Skin(140);
    const QImage backdrop = Skin(139);
    for (const Pair &pair : kButtons) {
        const QImage face = Skin(pair.normal);
        const bool onBackdrop = pair.at.y() == 375 && pair.at.x() < 330;
        const QColor under = onBackdrop ? backdrop.pixelColor(pair.at - QPoint(160, 368))
                                        : window.pixelColor(pair.at);
        EXPECT_EQ(face.pixelColor(0, 0), under) << pair.normal;
    }
}

TEST(Skin, ButtonLoadsItsFacesFromTheSkin)
{
    InitSkin();
    controls_test::SolidParent parent(Qt::black);
    CHoverButton button(&parent, QStringLiteral("Solo"));
    ASSERT_TRUE(button.LoadBitmaps(300, 300, 162));
    EXPECT_EQ(button.size(), Skin(300).size());
    button.SetLatched(true);
    EXPECT_EQ(button.CurrentFace().convertToFormat(QImage::Format_RGB32), Skin(162));
    EXPECT_FALSE(button.LoadBitmaps(99999, 99999, 99999));
    EXPECT_EQ(button.size(), Skin(300).size());
}
