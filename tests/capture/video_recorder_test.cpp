// The camera graph of the video modes on virtual devices: the graph it builds,
// the views, frame access, recordings read back by other demuxers, and what
// happens without devices or with a camera that is slow to connect.
#include "capture/graph_utils.h"
#include "capture/video_recorder.h"
#include "capture_test_util.h"
#include "platform/diag/diagnostics.h"
#include "platform/media/factory.h"
#include "platform/media/filter.h"
#include "platform/shell/local_clock.h"
#include "platform/ui/message_box.h"
#include "tests/support/test_environment.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <vector>

using namespace media;
using capturetest::Devices;
using capturetest::FilterNames;
using capturetest::WaitUntil;

namespace {

const QString kNoWebcam = QStringLiteral("Webcam device is not detected.!");
const QString kNoMicrophone = QStringLiteral("Microphone device is not detected.!");

class VideoRecorderTest : public ::testing::Test {
protected:
    void Use(const devices::DeviceConfig &config) { scope.emplace(config); }
    QString Folder()
    {
        if (folder.isEmpty())
            folder = testenv::MakeTempFolder(QStringLiteral("Video")) + QLatin1Char('/');
        return folder;
    }
    QStringList FilesInFolder() { return QDir(Folder()).entryList(QDir::Files); }
    bool WaitForFrame(VideoRecorder &recorder, LONG *size)
    {
        return WaitUntil([&] { return recorder.GetImageSize(size); });
    }
    HRESULT Preview(VideoRecorder &recorder)
    {
        return recorder.StartPreview(hosts.whole, hosts.left, hosts.right, false);
    }
    HRESULT Record(VideoRecorder &recorder)
    {
        return recorder.StartRecording(Folder(), hosts.whole, hosts.left, hosts.right, false);
    }

    std::optional<devices::DeviceConfigScope> scope;
    diag::CaptureScope debug;
    ui::RecordingPresenter boxes;
    capturetest::Hosts hosts;
    QString folder;
};

// A camera of our own in the recorder's graph, found instead of a device.
void InstallCamera(VideoRecorder &recorder, const std::shared_ptr<Filter> &camera)
{
    ASSERT_EQ(CreateCaptureGraph(&recorder.graph, &recorder.captureBuilder), S_OK);
    ASSERT_TRUE(camera);
    ASSERT_TRUE(Succeeded(recorder.graph->AddFilter(camera, QStringLiteral("Capture Filter"))));
    recorder.videoCapture = camera;
}

// Pixel (x, y) of a bottom-up BGR frame, counted from the picture's top.
QRgb PixelOf(const std::vector<BYTE> &frame, int width, int height, int x, int y)
{
    const int stride = DibStride(width, 24);
    const BYTE *p = frame.data() + (height - 1 - y) * stride + x * 3;
    return qRgb(p[2], p[1], p[0]);
}

bool Near(QRgb a, QRgb b, int tolerance = 24)
{
    return std::abs(qRed(a) - qRed(b)) <= tolerance && std::abs(qGreen(a) - qGreen(b)) <= tolerance
        && std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

TEST_F(VideoRecorderTest, NeverStartedRecorderRefusesFrameAccess)
{
    VideoRecorder recorder;
    LONG size = 0;
    BITMAPINFOHEADER header;
    std::vector<BYTE> buffer(16);
    EXPECT_FALSE(recorder.GetImageSize(&size));
    EXPECT_FALSE(recorder.GetImage(buffer.data()));
    EXPECT_FALSE(recorder.GetBitmapInfoHeader(&header));
    EXPECT_EQ(debug.Lines(), (QStringList{QStringLiteral("Image Process object needed to initial first!"),
                                 QStringLiteral("GetImage: Image Process object needed to initial first!"),
                                 QStringLiteral("GetBitmapInfoHeader: Image Process object needed to initial first!")}));
    recorder.ReleaseGraph();
    recorder.ReleaseGraph();
    EXPECT_FALSE(recorder.graph);
}

// The default virtual camera is 640 x 480: the graph caps it to 320 x 240,
// wires the views in their order, shows only the whole view and hands out
// bottom-up frames.
TEST_F(VideoRecorderTest, PreviewBuildsTheThreeViewsAndHandsOutFrames)
{
    Use(Devices(QStringLiteral("test")));
    VideoRecorder recorder;
    PreviewStarted = false;
    ASSERT_EQ(Preview(recorder), S_OK);
    EXPECT_TRUE(recorder.running);
    EXPECT_TRUE(PreviewStarted);
    EXPECT_TRUE(boxes.Texts().isEmpty());

    EXPECT_EQ(FilterNames(recorder.graph),
        (QStringList{"Capture Filter", "SampleGrabber Filter", "InfTee Filter", "Right Color Filter",
            "Right VideoRenderer Filter", "Left Color Filter", "Left VideoRenderer Filter", "Whole Color Filter",
            "Whole VideoRenderer Filter"}));
    // The tee's outputs feed the left, right and whole views in that order.
    std::vector<std::shared_ptr<IPin>> pins;
    recorder.videoTee->EnumPins(&pins);
    std::vector<std::shared_ptr<IBaseFilter>> fed;
    for (const auto &pin : pins) {
        std::shared_ptr<IPin> peer;
        if (pin->Direction() == PINDIR_OUTPUT && Succeeded(pin->ConnectedTo(&peer)))
            fed.push_back(peer->OwnerFilter());
    }
    EXPECT_EQ(fed, (std::vector<std::shared_ptr<IBaseFilter>>{recorder.leftColor, recorder.rightColor,
                       recorder.wholeColor}));

    AM_MEDIA_TYPE format;
    ASSERT_EQ(recorder.streamConfig->GetFormat(&format), S_OK);
    EXPECT_EQ(format.VideoInfo()->bmiHeader.biWidth, 320);
    EXPECT_EQ(format.VideoInfo()->bmiHeader.biHeight, 240);

    LONG l = 0, t = 0, w = 0, h = 0;
    recorder.wholeWindow->GetWindowPosition(&l, &t, &w, &h);
    EXPECT_EQ(QRect(l, t, w, h), QRect(QPoint(0, 0), hosts.whole->contentsRect().size()));
    recorder.leftWindow->GetWindowPosition(&l, &t, &w, &h);
    EXPECT_EQ(QRect(l, t, w, h), QRect(QPoint(600, 600), hosts.left->contentsRect().size()));
    recorder.rightWindow->GetWindowPosition(&l, &t, &w, &h);
    EXPECT_EQ(QRect(l, t, w, h), QRect(QPoint(600, 600), hosts.right->contentsRect().size()));
    EXPECT_TRUE(recorder.wholeBasicVideo && recorder.leftBasicVideo && recorder.rightBasicVideo);

    // Frame access in the order the tracker uses it.
    std::vector<BYTE> frame(230400);
    EXPECT_FALSE(recorder.GetImage(frame.data()));
    EXPECT_TRUE(debug.Contains(QStringLiteral("Please get Image size first!")));
    BITMAPINFOHEADER header;
    ASSERT_TRUE(recorder.GetBitmapInfoHeader(&header));
    EXPECT_EQ(header.biSize, 40u);
    EXPECT_EQ(header.biWidth, 320);
    EXPECT_EQ(header.biHeight, 240);
    EXPECT_EQ(header.biBitCount, 24);
    EXPECT_EQ(header.biCompression, BI_RGB);
    LONG size = 0;
    ASSERT_TRUE(WaitForFrame(recorder, &size));
    EXPECT_EQ(size, 230400);
    ASSERT_TRUE(recorder.GetImage(frame.data()));
    // The pattern's top rows start white and end blue; its bottom rows start dark blue.
    EXPECT_TRUE(Near(PixelOf(frame, 320, 240, 10, 2), qRgb(255, 255, 255)));
    EXPECT_TRUE(Near(PixelOf(frame, 320, 240, 310, 2), qRgb(0, 0, 255)));
    EXPECT_TRUE(Near(PixelOf(frame, 320, 240, 10, 237), qRgb(0, 0, 128)));

    debug.Clear();
    EXPECT_FALSE(recorder.GetImage(nullptr));
    EXPECT_TRUE(debug.Lines().isEmpty());
    // The frame outgrew the size last reported (the buffer's capacity).
    std::vector<BYTE> small(1000);
    recorder.imageBufferSize = static_cast<LONG>(small.size());
    EXPECT_FALSE(recorder.GetImage(small.data()));
    ASSERT_EQ(debug.Lines().size(), 1);
    EXPECT_TRUE(debug.Lines()[0].startsWith(QStringLiteral("GetImage: GetCurrentBuffer fucntion fail: hr=8")));

    // After a release nothing reaches the grabber that went with the graph.
    recorder.ReleaseGraph();
    debug.Clear();
    EXPECT_FALSE(recorder.GetImageSize(&size));
    EXPECT_FALSE(recorder.GetImage(frame.data()));
    EXPECT_FALSE(recorder.GetBitmapInfoHeader(&header));
    EXPECT_EQ(debug.Lines().size(), 3);
    recorder.ReleaseGraph();
    EXPECT_FALSE(recorder.graph);
    // Mode switches release and rebuild often: no video window stays behind.
    capturetest::Pump(100);
    for (QWidget *host : {hosts.whole, hosts.left, hosts.right})
        EXPECT_TRUE(host->findChildren<QWidget *>().isEmpty());
}

// What the user sees: the pattern in the whole view, nothing in the side views.
TEST_F(VideoRecorderTest, OnlyTheWholeViewShowsThePicture)
{
    Use(Devices(QStringLiteral("test")));
    VideoRecorder recorder;
    ASSERT_EQ(Preview(recorder), S_OK);
    LONG size = 0;
    ASSERT_TRUE(WaitForFrame(recorder, &size));
    capturetest::Pump(300);
    const QImage shot = hosts.window.grab().toImage();
    const QRect whole = hosts.whole->geometry();
    EXPECT_TRUE(Near(shot.pixel(whole.left() + 10, whole.top() + 5), qRgb(255, 255, 255)))
        << std::hex << shot.pixel(whole.left() + 10, whole.top() + 5);
    EXPECT_TRUE(Near(shot.pixel(whole.right() - 8, whole.top() + 5), qRgb(0, 0, 255)));
    const QRgb background = qRgb(40, 80, 120);
    for (QWidget *side : {hosts.left, hosts.right})
        for (QPoint p : {side->geometry().center(), side->geometry().topLeft() + QPoint(5, 5)})
            EXPECT_TRUE(Near(shot.pixel(p), background, 4)) << std::hex << shot.pixel(p);
}

TEST_F(VideoRecorderTest, SmallCameraKeepsItsFormat)
{
    VideoRecorder recorder;
    InstallCamera(recorder, capturetest::MakeCamera(160, 120));
    ASSERT_EQ(Preview(recorder), S_OK);
    BITMAPINFOHEADER header;
    ASSERT_TRUE(recorder.GetBitmapInfoHeader(&header));
    EXPECT_EQ(header.biWidth, 160);
    EXPECT_EQ(header.biHeight, 120);
    LONG size = 0;
    ASSERT_TRUE(WaitForFrame(recorder, &size));
    EXPECT_EQ(size, 160 * 120 * 3);
}

// A grabber connected with something other than a video info header.
class OddGrabber : public ISampleGrabber {
public:
    HRESULT SetMediaType(const AM_MEDIA_TYPE *) override { return S_OK; }
    HRESULT GetConnectedMediaType(AM_MEDIA_TYPE *mt) override
    {
        *mt = AM_MEDIA_TYPE();
        mt->majortype = MEDIATYPE_Video;
        mt->formattype = FORMAT_WaveFormatEx;
        mt->format.resize(18);
        return S_OK;
    }
    HRESULT SetBufferSamples(BOOL) override { return S_OK; }
    HRESULT SetOneShot(BOOL) override { return S_OK; }
    HRESULT GetCurrentBuffer(LONG *, void *) override { return VFW_E_WRONG_STATE; }
};

TEST_F(VideoRecorderTest, WrongConnectedFormatAndMissingFrameAreReported)
{
    VideoRecorder recorder;
    recorder.sampleGrabber = std::make_shared<OddGrabber>();
    recorder.running = true;
    BITMAPINFOHEADER header;
    EXPECT_FALSE(recorder.GetBitmapInfoHeader(&header));
    EXPECT_TRUE(debug.Contains(QStringLiteral("GetBitmapInfoHeader: Wrong format!! error code: VFW_E_INVALIDMEDIATYPE\n")));
    LONG size = 0;
    recorder.imageSizeKnown = true;
    EXPECT_FALSE(recorder.GetImageSize(&size));
    EXPECT_FALSE(recorder.imageSizeKnown);
    EXPECT_TRUE(debug.Contains(QStringLiteral("GetImageSize: GetCurrentBuffer function fail, error code: 0x80040227")));
    recorder.ReleaseGraph();
}

// ffprobe's view of a file, when it is installed.
std::optional<QJsonArray> ProbeStreams(const QString &path)
{
    const QString ffprobe = QStandardPaths::findExecutable(QStringLiteral("ffprobe"));
    if (ffprobe.isEmpty())
        return std::nullopt;
    QProcess probe;
    probe.start(ffprobe, {"-v", "error", "-show_streams", "-of", "json", path});
    if (!probe.waitForFinished(10000) || probe.exitCode() != 0)
        return QJsonArray();
    return QJsonDocument::fromJson(probe.readAllStandardOutput()).object().value("streams").toArray();
}

TEST_F(VideoRecorderTest, RecordingForThreeSecondsWritesAPlayableWmv)
{
    Use(Devices(QStringLiteral("test")));
    VideoRecorder recorder;
    PreviewStarted = false;
    ASSERT_EQ(Record(recorder), S_OK);
    EXPECT_TRUE(recorder.running);
    EXPECT_TRUE(PreviewStarted);
    EXPECT_TRUE(debug.Contains(QStringLiteral("QueryInterface: 0")));
    const QString file = recorder.RecordingFileName();
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d{8}-\\d{6}\\.wmv$")).match(QFileInfo(file).fileName()).hasMatch())
        << file.toStdString();
    EXPECT_EQ(QFileInfo(file).absolutePath() + QLatin1Char('/'), Folder());
    EXPECT_TRUE(capturetest::RecordFor(recorder.graph, 3000));
    recorder.ReleaseGraph();
    recorder.ReleaseGraph();

    EXPECT_EQ(FilesInFolder(), QStringList{QFileInfo(file).fileName()});
    const auto info = capturetest::Discover(file);
    ASSERT_TRUE(info.ok);
    EXPECT_TRUE(info.seekable);
    EXPECT_NEAR(info.seconds, 3.0, testenv::Slack(0.3));
    EXPECT_TRUE(info.videoCaps.contains("video/x-wmv") && info.videoCaps.contains("wmvversion=(int)2")
                && info.videoCaps.contains("width=(int)320") && info.videoCaps.contains("height=(int)240"))
        << info.videoCaps.toStdString();
    EXPECT_TRUE(info.audioCaps.contains("audio/x-wma") && info.audioCaps.contains("wmaversion=(int)2")
                && info.audioCaps.contains("channels=(int)2"))
        << info.audioCaps.toStdString();

    const auto streams = ProbeStreams(file);
    if (!streams)
        return; // ffprobe not installed: GStreamer's view above stands alone
    QStringList seen;
    for (const auto &s : *streams) {
        const QJsonObject o = s.toObject();
        seen << (o.value("codec_type").toString() + ":" + o.value("codec_name").toString() + ":"
                 + QString::number(o.value("width").toInt()) + "x" + QString::number(o.value("height").toInt())
                 + ":" + QString::number(o.value("channels").toInt()));
    }
    seen.sort();
    EXPECT_EQ(seen, (QStringList{"audio:wmav2:0x0:2", "video:wmv2:320x240:0"}));
}

// Closing the dialog destroys the recorder mid-recording; the file is whole.
TEST_F(VideoRecorderTest, DestroyingTheRecorderFinishesTheFile)
{
    Use(Devices(QStringLiteral("test")));
    auto recorder = std::make_unique<VideoRecorder>();
    ASSERT_EQ(Record(*recorder), S_OK);
    const QString file = recorder->RecordingFileName();
    capturetest::Pump(1500);
    recorder.reset();
    const auto info = capturetest::Discover(file);
    ASSERT_TRUE(info.ok);
    EXPECT_TRUE(info.seekable);
    EXPECT_GT(info.seconds, 1.0);
    EXPECT_FALSE(info.videoCaps.isEmpty());
}

// The camera stops delivering (unplugged) one second into the recording.
TEST_F(VideoRecorderTest, CameraVanishingMidRecordingLeavesAPlayableFile)
{
    Use(Devices(QStringLiteral("test")));
    VideoRecorder recorder;
    InstallCamera(recorder, capturetest::MakeCamera(320, 240, 30));
    ASSERT_EQ(Record(recorder), S_OK);
    capturetest::Pump(2000);
    recorder.ReleaseGraph();
    const auto info = capturetest::Discover(recorder.RecordingFileName());
    ASSERT_TRUE(info.ok);
    EXPECT_TRUE(info.seekable);
    EXPECT_GT(info.seconds, 0.8);
    EXPECT_TRUE(info.videoCaps.contains("video/x-wmv"));
}

// The microphone array's processed sound goes to the file and, through the
// audio tee, to the speakers for monitoring.
TEST_F(VideoRecorderTest, MicrophoneArrayPathRecordsAndMonitors)
{
    if (qEnvironmentVariableIsEmpty("PULSE_SERVER"))
        GTEST_SKIP() << "the monitoring sound renderer needs a PulseAudio server (PULSE_SERVER is unset)";
    Use(Devices(QStringLiteral("test")));
    SetMicArrayInputFactory([] {
        GstElement *tone = gst_element_factory_make("audiotestsrc", nullptr);
        g_object_set(tone, "is-live", TRUE, nullptr);
        return tone;
    });
    struct Restore {
        ~Restore() { SetMicArrayInputFactory(nullptr); }
    } restore;
    VideoRecorder recorder;
    ASSERT_EQ(recorder.StartRecording(Folder(), hosts.whole, hosts.left, hosts.right, true), S_OK);
    EXPECT_TRUE(recorder.useMicArray);
    EXPECT_FALSE(recorder.audioCapture);
    const QStringList names = FilterNames(recorder.graph);
    EXPECT_TRUE(names.contains(QStringLiteral("DMO filter")));
    EXPECT_EQ(names.filter(QStringLiteral("InfTee Filter")).size(), 3); // video tee, audio tee, renderer
    std::shared_ptr<IPin> rendererIn;
    ASSERT_EQ(FindFreePin(recorder.soundRenderer, PINDIR_INPUT, &rendererIn), E_FAIL); // connected
    EXPECT_TRUE(capturetest::RecordFor(recorder.graph, 1500));
    recorder.ReleaseGraph();
    const auto info = capturetest::Discover(recorder.RecordingFileName());
    ASSERT_TRUE(info.ok);
    EXPECT_TRUE(info.seekable);
    EXPECT_NEAR(info.seconds, 1.5, testenv::Slack(0.3));
    EXPECT_TRUE(info.audioCaps.contains("audio/x-wma")) << info.audioCaps.toStdString();
}

TEST_F(VideoRecorderTest, NoCameraTellsTheUserOncePerBuildAndRunsNothing)
{
    Use(Devices(QStringLiteral("none")));
    VideoRecorder recorder;
    PreviewStarted = false;
    EXPECT_EQ(Preview(recorder), S_FALSE);
    EXPECT_EQ(boxes.Texts(), QStringList{kNoWebcam});
    EXPECT_FALSE(recorder.running);
    EXPECT_FALSE(PreviewStarted);
    recorder.ReleaseGraph();
    EXPECT_EQ(Record(recorder), S_FALSE);
    EXPECT_EQ(boxes.Texts(), (QStringList{kNoWebcam, kNoWebcam}));
    EXPECT_FALSE(recorder.running);
    EXPECT_TRUE(FilesInFolder().isEmpty());
}

TEST_F(VideoRecorderTest, NoMicrophoneRecordsNothing)
{
    Use(Devices(QStringLiteral("test"), QStringLiteral("none")));
    VideoRecorder recorder;
    EXPECT_EQ(Record(recorder), S_FALSE);
    EXPECT_EQ(boxes.Texts(), QStringList{kNoMicrophone});
    EXPECT_FALSE(recorder.running);
    recorder.ReleaseGraph();
    EXPECT_TRUE(FilesInFolder().isEmpty());
}

TEST_F(VideoRecorderTest, UnwritableFolderFailsWithoutAFile)
{
    Use(Devices(QStringLiteral("test")));
    VideoRecorder recorder;
    const QString missing = Folder() + QStringLiteral("gone/");
    const HRESULT hr = recorder.StartRecording(missing, hosts.whole, hosts.left, hosts.right, false);
    EXPECT_TRUE(Failed(hr)) << std::hex << hr;
    EXPECT_FALSE(recorder.running);
    recorder.ReleaseGraph();
    EXPECT_TRUE(FilesInFolder().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(missing));
}

// The file cannot be opened once the graph runs (its name leads nowhere).
TEST_F(VideoRecorderTest, RunThatCannotOpenTheFileSaysRecordFail)
{
    Use(Devices(QStringLiteral("test")));
    shell::FixedClockScope clock(QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5)));
    const QString name = Folder() + QStringLiteral("20260102-030405.wmv");
    ASSERT_TRUE(QFile::link(Folder() + QStringLiteral("missing/folder/file.wmv"), name));
    VideoRecorder recorder;
    EXPECT_TRUE(Failed(Record(recorder)));
    EXPECT_EQ(boxes.Texts(), QStringList{QStringLiteral("Record fail")});
    EXPECT_TRUE(recorder.running);
    recorder.ReleaseGraph();
    EXPECT_EQ(QDir(Folder()).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("20260102-030405.wmv")}); // the link alone
    EXPECT_TRUE(QFileInfo(name).isSymLink());
    EXPECT_FALSE(QFileInfo::exists(Folder() + QStringLiteral("missing")));
}

TEST_F(VideoRecorderTest, SlowCameraConnectsAfterRetries)
{
    Use(Devices(QStringLiteral("test:fail=3")));
    VideoRecorder recorder;
    ASSERT_EQ(Preview(recorder), S_OK);
    EXPECT_EQ(debug.Count(QStringLiteral("connect fail")), 3);
    EXPECT_TRUE(boxes.Texts().isEmpty());
    LONG size = 0;
    EXPECT_TRUE(WaitForFrame(recorder, &size));
}

TEST_F(VideoRecorderTest, CameraThatNeverConnectsGivesUpAfterTwentyFiveRetries)
{
    Use(Devices(QStringLiteral("test:fail=100")));
    VideoRecorder recorder;
    PreviewStarted = false;
    EXPECT_TRUE(Failed(Preview(recorder)));
    EXPECT_EQ(debug.Count(QStringLiteral("connect fail")), 25);
    EXPECT_EQ(boxes.Texts(), QStringList{QStringLiteral("Initial Webcam Fail")});
    EXPECT_FALSE(recorder.running);
    EXPECT_FALSE(PreviewStarted);
}

} // namespace
