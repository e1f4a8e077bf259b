// The picture display: photos loaded from files and drawn scaled and upright,
// the error box texts, and files that are not photos or are far too large.
#include "imaging/picture.h"
#include "platform/ui/message_box.h"
#include "tests/support/test_environment.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>
#include <QPainter>

namespace {

// Four quadrants: red, green over blue, yellow.
QImage Quadrants(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    QPainter p(&image);
    p.fillRect(0, 0, w / 2, h / 2, Qt::red);
    p.fillRect(w / 2, 0, w - w / 2, h / 2, Qt::green);
    p.fillRect(0, h / 2, w / 2, h - h / 2, Qt::blue);
    p.fillRect(w / 2, h / 2, w - w / 2, h - h / 2, Qt::yellow);
    return image;
}

QString SavePhoto(const QImage &image, const QString &name, const char *format = "JPEG")
{
    const QString path = testenv::MakeTempFolder(QStringLiteral("Photo")) + QLatin1Char('/') + name;
    return image.save(path, format, 95) ? path : QString();
}

bool Near(QRgb a, QRgb b, int tolerance = 30)
{
    return std::abs(qRed(a) - qRed(b)) <= tolerance && std::abs(qGreen(a) - qGreen(b)) <= tolerance
        && std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

// A real JPEG whose frame header claims another size (SOF0 height and width).
QByteArray JpegClaimingSize(int w, int h)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    Quadrants(16, 16).save(&buffer, "JPEG");
    const qsizetype sof = bytes.indexOf(QByteArray("\xFF\xC0", 2));
    if (sof < 0)
        return {};
    bytes[sof + 5] = char(h >> 8);
    bytes[sof + 6] = char(h & 0xFF);
    bytes[sof + 7] = char(w >> 8);
    bytes[sof + 8] = char(w & 0xFF);
    return bytes;
}

class PictureTest : public ::testing::Test {
protected:
    ui::RecordingPresenter boxes;
    CPicture picture;
};

} // namespace

TEST_F(PictureTest, PhotoLoadsWithItsPixelSizeAndDrawsScaledAndUpright)
{
    const QString path = SavePhoto(Quadrants(320, 240), QStringLiteral("20261208-101500.jpg"));
    ASSERT_TRUE(picture.LoadFromFile(path));
    EXPECT_EQ(picture.Size(), QSize(320, 240));
    EXPECT_EQ(picture.DataSize(), QFile(path).size());
    EXPECT_EQ(picture.HimetricSize(), QSize(8467, 6350)); // 0.01 mm at 96 per inch

    QImage target(400, 300, QImage::Format_RGB32);
    target.fill(Qt::black);
    const QRect rect(20, 10, 336, 252);
    ASSERT_TRUE(picture.Draw(&target, rect));
    EXPECT_TRUE(Near(target.pixel(rect.left() + 3, rect.top() + 3), qRgb(255, 0, 0)));
    EXPECT_TRUE(Near(target.pixel(rect.right() - 3, rect.top() + 3), qRgb(0, 255, 0)));
    EXPECT_TRUE(Near(target.pixel(rect.left() + 3, rect.bottom() - 3), qRgb(0, 0, 255)));
    EXPECT_TRUE(Near(target.pixel(rect.right() - 3, rect.bottom() - 3), qRgb(255, 255, 0)));
    // Nothing outside the rectangle.
    EXPECT_EQ(target.pixel(rect.left() - 2, rect.top()), qRgb(0, 0, 0));
    EXPECT_EQ(target.pixel(rect.right() + 2, rect.bottom()), qRgb(0, 0, 0));
    EXPECT_TRUE(boxes.Texts().isEmpty());

    // Measured for a device of twice the screen's density.
    QImage dense(10, 10, QImage::Format_RGB32);
    dense.setDotsPerMeterX(7559); // 192 per inch
    dense.setDotsPerMeterY(7559);
    ASSERT_TRUE(picture.MeasureForDevice(&dense));
    EXPECT_EQ(picture.Size(), QSize(640, 480));
}

TEST_F(PictureTest, NothingLoadedDrawsAndMeasuresNothing)
{
    QImage target(50, 50, QImage::Format_RGB32);
    EXPECT_FALSE(picture.Draw(&target, target.rect()));
    EXPECT_FALSE(picture.Draw(nullptr, QRect(0, 0, 10, 10)));
    EXPECT_FALSE(picture.MeasureForDevice(&target));
    EXPECT_EQ(picture.Size(), QSize(0, 0));
    EXPECT_TRUE(boxes.Texts().isEmpty());
}

TEST_F(PictureTest, OpenFailuresShowTheSystemTextAndLeaveTheControlEmpty)
{
    const QString good = SavePhoto(Quadrants(64, 48), QStringLiteral("photo ü \"q\".jpg"));
    ASSERT_TRUE(picture.LoadFromFile(good));
    const QString missing = testenv::MakeTempFolder() + QStringLiteral("/gone.jpg");
    EXPECT_FALSE(picture.LoadFromFile(missing));
    EXPECT_EQ(boxes.Texts(), QStringList{QStringLiteral("No such file or directory")});
    EXPECT_EQ(boxes.LastTitle(), QStringLiteral("CPicture Error"));
    EXPECT_FALSE(picture.HasPicture());
    EXPECT_EQ(picture.Size(), QSize(0, 0));
    EXPECT_EQ(picture.DataSize(), 0);
    QImage target(20, 20, QImage::Format_RGB32);
    EXPECT_FALSE(picture.Draw(&target, target.rect()));
}

TEST_F(PictureTest, FilesThatAreNotPhotosFailWithoutAMessage)
{
    const QString folder = testenv::MakeTempFolder();
    const QString empty = folder + QStringLiteral("/empty.jpg");
    const QString text = folder + QStringLiteral("/notes.jpg");
    testenv::WriteFile(empty, {});
    testenv::WriteFile(text, QByteArray(5000, 'x'));
    const QString good = SavePhoto(Quadrants(64, 48), QStringLiteral("good.jpg"));
    QFile file(good);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QByteArray corrupt = file.readAll().left(400); // header, then the data ends
    const QString cut = folder + QStringLiteral("/cut.jpg");
    testenv::WriteFile(cut, corrupt + QByteArray(50, '\xFF'));

    EXPECT_FALSE(picture.LoadFromFile(empty));
    EXPECT_EQ(picture.DataSize(), 0);
    EXPECT_FALSE(picture.LoadFromFile(text));
    EXPECT_EQ(picture.DataSize(), 5000);
    EXPECT_FALSE(picture.HasPicture());
    EXPECT_TRUE(boxes.Texts().isEmpty());
    // A truncated photo either decodes what it holds or fails; it never hangs.
    if (picture.LoadFromFile(cut)) {
        EXPECT_EQ(picture.Size(), QSize(64, 48));
    }
    EXPECT_FALSE(picture.LoadFromMemory(0, nullptr));
    EXPECT_FALSE(picture.LoadFromMemory(5, "abcde"));
    EXPECT_TRUE(boxes.Texts().isEmpty());

    // A PNG under a photo's name is still a picture.
    const QString png = SavePhoto(Quadrants(40, 30), QStringLiteral("really a png.jpg"), "PNG");
    EXPECT_TRUE(picture.LoadFromFile(png));
    EXPECT_EQ(picture.Size(), QSize(40, 30));
}

TEST_F(PictureTest, PicturesBeyondThePixelBudgetAreRefusedBeforeDecoding)
{
    const QByteArray huge = JpegClaimingSize(20000, 20000);
    ASSERT_FALSE(huge.isEmpty());
    const QString path = testenv::MakeTempFolder() + QStringLiteral("/huge.jpg");
    testenv::WriteFile(path, huge);
    EXPECT_FALSE(picture.LoadFromFile(path));
    EXPECT_EQ(boxes.Texts(), QStringList{QStringLiteral("Can not allocate enough memory\t")});
    EXPECT_FALSE(picture.HasPicture());
    // Large but within the budget: loads.
    boxes.Clear();
    const QString big = SavePhoto(Quadrants(4000, 3000), QStringLiteral("big.jpg"));
    EXPECT_TRUE(picture.LoadFromFile(big));
    EXPECT_EQ(picture.Size(), QSize(4000, 3000));
    EXPECT_TRUE(boxes.Texts().isEmpty());
}
