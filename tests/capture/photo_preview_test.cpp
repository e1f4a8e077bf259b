// The photo mode's preview and its stills: camera-sized frames, pause and
// resume in the same host, and the JPEG that a snapshot leaves behind.
#include "capture/graph_utils.h"
#include "capture/photo_preview.h"
#include "capture_test_util.h"
#include "imaging/snapshot_writer.h"
#include "platform/diag/diagnostics.h"
#include "platform/shell/local_clock.h"
#include "platform/ui/message_box.h"
#include "tests/support/test_environment.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <cstring>
#include <optional>
#include <vector>

using namespace media;
using capturetest::Devices;
using capturetest::WaitUntil;

namespace {

class PhotoPreviewTest : public ::testing::Test {
protected:
    void Use(const devices::DeviceConfig &config) { scope.emplace(config); }
    QStringList Files() const { return QDir(folder).entryList(QDir::Files); }
    bool WaitForFrame(PhotoPreview &preview)
    {
        return WaitUntil([&] {
            LONG size = 0;
            return preview.sampleGrabber && Succeeded(preview.sampleGrabber->GetCurrentBuffer(&size, nullptr));
        });
    }

    std::optional<devices::DeviceConfigScope> scope;
    diag::CaptureScope debug;
    ui::RecordingPresenter boxes;
    capturetest::Hosts hosts;
    imaging::SnapshotWaitScope noWait{std::chrono::milliseconds(0)};
    QString folder = testenv::MakeTempFolder(QStringLiteral("Photo")) + QLatin1Char('/');
};

// Average colour distance between the decoded picture and the grabbed frame.
double ColourDistance(const QImage &picture, const std::vector<BYTE> &frame, int width, int height)
{
    const int stride = DibStride(width, 24);
    double total = 0;
    int count = 0;
    for (int y = 4; y < height; y += 8)
        for (int x = 4; x < width; x += 8) {
            const BYTE *p = frame.data() + (height - 1 - y) * stride + x * 3;
            const QRgb q = picture.pixel(x, y);
            total += std::abs(qRed(q) - p[2]) + std::abs(qGreen(q) - p[1]) + std::abs(qBlue(q) - p[0]);
            ++count;
        }
    return total / (3.0 * count);
}

TEST_F(PhotoPreviewTest, SnapshotOfAFrameIsAJpegOfItsColoursAndNoBitmapRemains)
{
    PhotoPreview preview;
    ASSERT_EQ(CreateCaptureGraph(&preview.graph, &preview.captureBuilder), S_OK);
    preview.camera = capturetest::MakeCamera(320, 240);
    ASSERT_TRUE(Succeeded(preview.graph->AddFilter(preview.camera, QStringLiteral("Capture Filter"))));
    ASSERT_EQ(preview.StartPhotoPreview(hosts.whole), S_OK);
    ASSERT_TRUE(WaitForFrame(preview));

    // The pattern does not move, so the frame read here is the one written.
    std::vector<BYTE> frame(230400);
    LONG size = static_cast<LONG>(frame.size());
    ASSERT_EQ(preview.sampleGrabber->GetCurrentBuffer(&size, frame.data()), S_OK);
    ASSERT_EQ(size, 230400);

    shell::FixedClockScope clock(QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7)));
    EXPECT_EQ(preview.TakeSnapshot(folder), S_OK);
    EXPECT_EQ(Files(), QStringList{QStringLiteral("20260304-050607.jpg")});
    QImage picture(folder + QStringLiteral("20260304-050607.jpg"));
    ASSERT_FALSE(picture.isNull());
    EXPECT_EQ(picture.size(), QSize(320, 240));
    EXPECT_LT(ColourDistance(picture, frame, 320, 240), 6.0);

    // A second still within the same second replaces the first.
    const QDateTime firstWrite = QFileInfo(folder + QStringLiteral("20260304-050607.jpg")).lastModified();
    EXPECT_EQ(preview.TakeSnapshot(folder), S_OK);
    EXPECT_EQ(Files(), QStringList{QStringLiteral("20260304-050607.jpg")});
    EXPECT_GE(QFileInfo(folder + QStringLiteral("20260304-050607.jpg")).lastModified(), firstWrite);
}

// The default virtual camera is 640 x 480; photo mode does not cap it.
TEST_F(PhotoPreviewTest, StillsHaveTheCameraSizeAndPreviewPausesAndResumes)
{
    Use(Devices(QStringLiteral("test")));
    PhotoPreview preview;
    ASSERT_EQ(preview.StartPhotoPreview(hosts.whole), S_OK);
    EXPECT_TRUE(boxes.Texts().isEmpty());
    ASSERT_TRUE(WaitForFrame(preview));
    AM_MEDIA_TYPE mt;
    ASSERT_EQ(preview.sampleGrabber->GetConnectedMediaType(&mt), S_OK);
    EXPECT_EQ(mt.VideoInfo()->bmiHeader.biWidth, 640);
    EXPECT_EQ(mt.VideoInfo()->bmiHeader.biHeight, 480);

    EXPECT_EQ(preview.TakeSnapshot(folder), S_OK);
    ASSERT_EQ(Files().size(), 1);
    EXPECT_TRUE(Files()[0].endsWith(QStringLiteral(".jpg")));
    EXPECT_EQ(QImage(folder + Files()[0]).size(), QSize(640, 480));

    EXPECT_EQ(preview.PausePreview(), S_OK);
    LONG visible = OATRUE;
    preview.videoWindow->get_Visible(&visible);
    EXPECT_EQ(visible, OAFALSE);
    QWidget *owner = hosts.whole;
    preview.videoWindow->get_Owner(&owner);
    EXPECT_EQ(owner, nullptr);

    EXPECT_EQ(preview.ResumePreview(), S_OK);
    preview.videoWindow->get_Visible(&visible);
    EXPECT_EQ(visible, OATRUE);
    preview.videoWindow->get_Owner(&owner);
    EXPECT_EQ(owner, hosts.whole);
    LONG l = 0, t = 0, w = 0, h = 0;
    preview.videoWindow->GetWindowPosition(&l, &t, &w, &h);
    EXPECT_EQ(QRect(l, t, w, h), QRect(QPoint(0, 0), hosts.whole->contentsRect().size()));

    // The live picture fills the host again, once its next frame is painted.
    const int right = hosts.whole->width() - 8;
    QImage shot;
    capturetest::WaitUntil([&] {
        shot = hosts.whole->grab().toImage();
        return qRed(shot.pixel(10, 5)) > 200 && qBlue(shot.pixel(right, 5)) > 200;
    }, 5000);
    EXPECT_EQ(shot.pixel(10, 5) | 0xff000000u, shot.pixel(10, 5));
    EXPECT_GT(qRed(shot.pixel(10, 5)), 200);
    EXPECT_GT(qBlue(shot.pixel(right, 5)), 200);
    EXPECT_LT(qRed(shot.pixel(right, 5)), 60);

    preview.ReleaseGraph();
    preview.ReleaseGraph();
    EXPECT_FALSE(preview.graph);
    capturetest::Pump(100);
    EXPECT_TRUE(hosts.whole->findChildren<QWidget *>().isEmpty());
    EXPECT_EQ(preview.ResumePreview(), VFW_E_WRONG_STATE);
}

TEST_F(PhotoPreviewTest, SlowCameraConnectsQuietly)
{
    Use(Devices(QStringLiteral("test:fail=3")));
    PhotoPreview preview;
    ASSERT_EQ(preview.StartPhotoPreview(hosts.whole), S_OK);
    EXPECT_EQ(debug.Count(QStringLiteral("connect fail")), 0);
    EXPECT_TRUE(boxes.Texts().isEmpty());
    EXPECT_TRUE(WaitForFrame(preview));
}

TEST_F(PhotoPreviewTest, NoCameraAndNeverStartedTakeNoPicture)
{
    Use(Devices(QStringLiteral("none")));
    PhotoPreview idle;
    idle.ReleaseGraph();
    EXPECT_TRUE(Failed(idle.TakeSnapshot(folder)));

    PhotoPreview preview;
    EXPECT_EQ(preview.StartPhotoPreview(hosts.whole), S_FALSE);
    EXPECT_EQ(boxes.Texts(), QStringList{QStringLiteral("Webcam device is not detected.!")});
    EXPECT_TRUE(Failed(preview.TakeSnapshot(folder)));
    EXPECT_TRUE(Files().isEmpty());
}

// A grabber double whose connection the test chooses.
class ScriptedGrabber : public ISampleGrabber {
public:
    HRESULT connected = S_OK;
    AM_MEDIA_TYPE type;
    HRESULT SetMediaType(const AM_MEDIA_TYPE *) override { return S_OK; }
    HRESULT GetConnectedMediaType(AM_MEDIA_TYPE *mt) override
    {
        *mt = type;
        return connected;
    }
    HRESULT SetBufferSamples(BOOL) override { return S_OK; }
    HRESULT SetOneShot(BOOL) override { return S_OK; }
    HRESULT GetCurrentBuffer(LONG *size, void *buffer) override
    {
        if (buffer)
            std::memset(buffer, 0x40, static_cast<size_t>(*size));
        *size = 12;
        return S_OK;
    }
};

TEST_F(PhotoPreviewTest, SnapshotFailuresLeaveNoFiles)
{
    auto grabber = std::make_shared<ScriptedGrabber>();
    grabber->connected = VFW_E_NOT_CONNECTED;
    EXPECT_EQ(imaging::TakeSnapshot(grabber, folder), VFW_E_NOT_CONNECTED);
    EXPECT_TRUE(debug.Contains(QStringLiteral(" GetConnectedMediaType fail")));

    grabber->connected = S_OK;
    grabber->type.majortype = MEDIATYPE_Video;
    grabber->type.formattype = FORMAT_VideoInfo;
    grabber->type.format.resize(40); // too short for a video info header
    EXPECT_EQ(imaging::TakeSnapshot(grabber, folder), HRESULT(0x80040200u));

    // A frame smaller than its format says: no picture of stale memory.
    VIDEOINFOHEADER vih;
    vih.bmiHeader.biWidth = 1000;
    vih.bmiHeader.biHeight = 1000;
    vih.bmiHeader.biPlanes = 1;
    vih.bmiHeader.biBitCount = 24;
    grabber->type.SetVideoInfo(vih);
    EXPECT_EQ(imaging::TakeSnapshot(grabber, folder), VFW_E_INVALIDMEDIATYPE);
    EXPECT_TRUE(Files().isEmpty()) << Files().join(',').toStdString();
}

TEST(SnapshotWriter, BitmapHeaderFollowsTheTable)
{
    BITMAPINFOHEADER format;
    format.biWidth = 320;
    format.biHeight = 240;
    format.biPlanes = 1;
    format.biBitCount = 24;
    format.biSizeImage = 230400;
    format.biXPelsPerMeter = 99;
    const QByteArray h = imaging::BitmapFileHeader(format, 230400);
    ASSERT_EQ(h.size(), 54);
    const QByteArray expected = QByteArray::fromHex("424d" "36840300" "0000" "0000" "36000000"
                                                    "28000000" "40010000" "f0000000" "0100" "1800"
                                                    "00000000" "00000000" "00000000" "00000000"
                                                    "00000000" "00000000");
    EXPECT_EQ(h.toHex(), expected.toHex());
}

TEST(SnapshotWriter, EncoderLookupIsExact)
{
    QByteArray format;
    const int index = imaging::FindEncoderByMime("image/jpeg", &format);
    ASSERT_GE(index, 0);
    EXPECT_EQ(QImageWriter::supportedMimeTypes().at(index), QByteArray("image/jpeg"));
    EXPECT_TRUE(QImageWriter::supportedImageFormats().contains(format));
    EXPECT_EQ(imaging::FindEncoderByMime("image/JPEG", &format), -1);
    EXPECT_EQ(imaging::FindEncoderByMime("image/jpe", &format), -1);
}

} // namespace
