// The camera in the dialog: entering Video, VideoTracing and Photo shows the
// virtual camera's test pattern in the whole view and nothing in the side
// views; leaving a mode gives the camera up.
#include "platform/devices/device_config.h"
#include "tests/dialog/dialog_fixture.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QThread>

namespace {

bool Near(QRgb a, QRgb b, int tolerance = 40)
{
    return std::abs(qRed(a) - qRed(b)) <= tolerance && std::abs(qGreen(a) - qGreen(b)) <= tolerance
        && std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

// The pattern's bars: white, yellow, cyan, green, magenta, red, blue.
bool ShowsPattern(const QImage &view)
{
    const int y = view.height() / 4;
    const QRgb bars[] = {qRgb(255, 255, 255), qRgb(255, 255, 0), qRgb(0, 255, 255), qRgb(0, 255, 0),
                         qRgb(255, 0, 255), qRgb(255, 0, 0), qRgb(0, 0, 255)};
    for (int i = 0; i < 7; ++i)
        if (!Near(view.pixel(view.width() * (2 * i + 1) / 14, y), bars[i]))
            return false;
    return true;
}

// No bright bar colour anywhere in the view.
bool ShowsNoPattern(const QImage &view)
{
    for (int y = 0; y < view.height(); y += 4)
        for (int x = 0; x < view.width(); x += 4)
            for (QRgb bar : {qRgb(255, 255, 0), qRgb(0, 255, 255), qRgb(255, 0, 255)})
                if (Near(view.pixel(x, y), bar))
                    return false;
    return true;
}

TEST_F(DialogTest, CameraModesShowThePatternInTheWholeViewOnly)
{
    devices::DeviceConfigScope devices(devices::DeviceConfig::Parse(
        {QStringLiteral("--camera=test"), QStringLiteral("--microphone=test")}, QString(), QString()));
    MainDlg &d = Open();
    using Enter = void (MainDlg::*)();
    for (Enter enter : {&MainDlg::OnVideo, &MainDlg::OnVideoTracing, &MainDlg::OnPhoto}) {
        (d.*enter)();
        const int mode = d.CurrentMode();
        EXPECT_TRUE(PumpUntil([&] { return ShowsPattern(d.wholeFrame->grab().toImage()); }, 5000)) << "mode " << mode;
        EXPECT_TRUE(ShowsNoPattern(d.leftFrame->grab().toImage())) << "mode " << mode;
        EXPECT_TRUE(ShowsNoPattern(d.rightFrame->grab().toImage())) << "mode " << mode;
        // One graph at a time owns the camera.
        EXPECT_EQ(bool(d.videoRecorder.graph), mode != Photo) << "mode " << mode;
        EXPECT_EQ(bool(d.photoPreview.graph), mode == Photo) << "mode " << mode;
    }
    EXPECT_EQ(boxes.Count(QStringLiteral("Webcam device is not detected.!")), 0);
    EXPECT_EQ(boxes.Count(QStringLiteral("Initial Webcam Fail")), 0);
    d.OnConference();
    EXPECT_FALSE(d.videoRecorder.graph);
    EXPECT_FALSE(d.photoPreview.graph);
}

} // namespace
