// The video player on real ASF files: the graph it builds, what the views
// show, position and seeking, the end notice, frame access, and files it must
// refuse without harm.
#include "playback/video_player.h"
#include "playback_fixtures.h"
#include "platform/diag/diagnostics.h"
#include "platform/media/filter.h"
#include "platform/media/graph_notify_event.h"
#include "platform/media/video_renderer.h"
#include "tests/capture/capture_test_util.h"
#include "tests/support/test_environment.h"

#include <gtest/gtest.h>

#include <QFile>
#include <atomic>
#include <unistd.h>
#include <thread>
#include <vector>

using namespace media;
using capturetest::Pump;
using capturetest::WaitUntil;

namespace {

class NotifyCatcher : public QObject {
public:
    QList<LONG> messages;
    bool event(QEvent *e) override
    {
        if (e->type() != GraphNotifyEvent::Type())
            return QObject::event(e);
        messages.append(static_cast<GraphNotifyEvent *>(e)->Message());
        return true;
    }
};

QRgb PixelOf(const std::vector<BYTE> &frame, int width, int height, int x, int y)
{
    const int stride = DibStride(width, 24);
    const BYTE *p = frame.data() + (height - 1 - y) * stride + x * 3;
    return qRgb(p[2], p[1], p[0]);
}

// The pictures went through a lossy encoder.
bool Near(QRgb a, QRgb b, int tolerance = 40)
{
    return std::abs(qRed(a) - qRed(b)) <= tolerance && std::abs(qGreen(a) - qGreen(b)) <= tolerance
        && std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

QStringList FilterNames(const std::shared_ptr<IGraphBuilder> &graph)
{
    std::vector<std::shared_ptr<IBaseFilter>> filters;
    graph->EnumFilters(&filters);
    QStringList names;
    for (const auto &f : filters)
        names << f->Name();
    return names;
}

class VideoPlayerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!playbacktest::HaveSoundServer())
            GTEST_SKIP() << "no private sound server (run through tools/test.sh)";
    }
    HRESULT Play(const QString &path) { return player.PlayFile(&catcher, hosts.whole, hosts.left, hosts.right, path); }
    bool WaitForFrame(LONG *size) { return WaitUntil([&] { return player.GetImageSize(size); }, 5000); }
    double Position()
    {
        double s = -1;
        player.GetPositionSeconds(&s);
        return s;
    }
    bool NoVideoWindows()
    {
        Pump(100);
        for (QWidget *host : {hosts.whole, hosts.left, hosts.right})
            if (!host->findChildren<QWidget *>().isEmpty())
                return false;
        return true;
    }

    diag::CaptureScope debug;
    capturetest::Hosts hosts;
    NotifyCatcher catcher;
    VideoPlayer player;
};

} // namespace

TEST_F(VideoPlayerTest, ProgramRecordingPlaysInTheWholeViewWithTheSideViewsOutOfSight)
{
    const QString path = playbacktest::ProgramRecording();
    ASSERT_FALSE(path.isEmpty());
    ASSERT_EQ(Play(path), S_OK);
    EXPECT_TRUE(player.ready);
    EXPECT_EQ(player.paused, 0);
    EXPECT_EQ(FilterNames(player.graph),
        (QStringList{"Pelk FileSoure Filter", "DMOVideoDecoder", "DMOAudioDecoder", "DSoundRender",
            "Pelk SampleGrabber Filter", "InfTee Filter", "Color Filter1", "VideoRenderer Filter1", "Color Filter2",
            "VideoRenderer Filter2", "Color Filter1 0001", "VideoRenderer Filter3"}));

    LONG l = 0, t = 0, w = 0, h = 0;
    player.wholeWindow->GetWindowPosition(&l, &t, &w, &h);
    EXPECT_EQ(QRect(l, t, w, h), QRect(QPoint(0, 0), hosts.whole->contentsRect().size()));
    for (const auto &[window, host] : {std::pair{player.leftWindow, hosts.left}, {player.rightWindow, hosts.right}}) {
        LONG visible = 0;
        window->get_Visible(&visible);
        EXPECT_EQ(visible, OATRUE);
        window->GetWindowPosition(&l, &t, &w, &h);
        EXPECT_EQ(QRect(l, t, w, h), QRect(QPoint(600, 600), host->contentsRect().size()));
    }
    EXPECT_TRUE(player.wholeBasicVideo && player.leftBasicVideo && player.rightBasicVideo);

    double duration = 0;
    ASSERT_TRUE(player.GetDurationSeconds(&duration));
    EXPECT_GT(duration, 3.0 - testenv::Slack(0.3));
    EXPECT_LT(duration, playbacktest::ProgramRecordingSeconds() + testenv::Slack(0.3)) << "about as long as it was recorded";
    const double start = Position();
    EXPECT_TRUE(WaitUntil([&] { return Position() > start + 0.2; }, 3000)) << "it plays on";

    // What the user sees: the camera's pattern in the whole view only.
    const QImage shot = hosts.window.grab().toImage();
    const QRect whole = hosts.whole->geometry();
    EXPECT_TRUE(Near(shot.pixel(whole.left() + 10, whole.top() + 5), qRgb(255, 255, 255)))
        << std::hex << shot.pixel(whole.left() + 10, whole.top() + 5);
    EXPECT_TRUE(Near(shot.pixel(whole.right() - 8, whole.top() + 5), qRgb(0, 0, 255)));
    for (QWidget *side : {hosts.left, hosts.right})
        EXPECT_TRUE(Near(shot.pixel(side->geometry().center()), qRgb(40, 80, 120), 4));
}

TEST_F(VideoPlayerTest, FramesAreBottomUpInTheGrabberLayout)
{
    ASSERT_EQ(Play(playbacktest::ProgramRecording()), S_OK);
    std::vector<BYTE> frame(230400);
    EXPECT_FALSE(player.GetImage(frame.data()));
    EXPECT_TRUE(debug.Contains(QStringLiteral("Please get Image size first!")));
    BITMAPINFOHEADER header;
    ASSERT_TRUE(player.GetBitmapInfoHeader(&header));
    EXPECT_EQ(header.biSize, 40u);
    EXPECT_EQ(header.biWidth, 320);
    EXPECT_EQ(header.biHeight, 240);
    EXPECT_EQ(header.biBitCount, 24);
    LONG size = 0;
    ASSERT_TRUE(WaitForFrame(&size));
    EXPECT_EQ(size, 230400);
    ASSERT_TRUE(player.GetImage(frame.data()));
    EXPECT_TRUE(Near(PixelOf(frame, 320, 240, 10, 2), qRgb(255, 255, 255)));
    EXPECT_TRUE(Near(PixelOf(frame, 320, 240, 310, 2), qRgb(0, 0, 255)));
    EXPECT_TRUE(Near(PixelOf(frame, 320, 240, 10, 237), qRgb(0, 0, 128))) << std::hex << PixelOf(frame, 320, 240, 10, 237);

    // The tracking thread copies frames while the dialog's thread reads positions.
    std::atomic<int> copies{0};
    std::atomic<bool> run{true};
    std::thread tracker([&] {
        std::vector<BYTE> buffer(size);
        while (run) {
            if (player.GetImage(buffer.data()))
                ++copies;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    double seconds = 0;
    for (int i = 0; i < 50; ++i) {
        EXPECT_TRUE(player.GetPositionSeconds(&seconds));
        Pump(5);
    }
    run = false;
    tracker.join();
    EXPECT_GT(copies.load(), 10);

    player.ReleaseGraph();
    debug.Clear();
    EXPECT_FALSE(player.GetImageSize(&size));
    EXPECT_FALSE(player.GetImage(frame.data()));
    EXPECT_FALSE(player.GetBitmapInfoHeader(&header));
    EXPECT_EQ(debug.Lines(), (QStringList{QStringLiteral("Image Process object needed to initial first!"),
                                 QStringLiteral("GetImage: Image Process object needed to initial first!"),
                                 QStringLiteral("GetBitmapInfoHeader: Image Process object needed to initial first!")}));
    player.ReleaseGraph();
    EXPECT_FALSE(player.graph);
    EXPECT_TRUE(NoVideoWindows());
    seconds = 42;
    EXPECT_FALSE(player.GetPositionSeconds(&seconds));
    EXPECT_FALSE(player.GetDurationSeconds(&seconds));
    EXPECT_FALSE(player.SeekToSeconds(0));
    EXPECT_EQ(seconds, 42);
    EXPECT_FALSE(player.CheckCompletion());
}

TEST_F(VideoPlayerTest, SeeksLandWhilePlayingAndPausedAndResumeRunsOn)
{
    ASSERT_EQ(Play(playbacktest::ProgramRecording()), S_OK);
    ASSERT_TRUE(WaitUntil([&] { return Position() > 0; }, 5000)) << "playing";
    ASSERT_TRUE(player.SeekToSeconds(1.5));
    EXPECT_NEAR(Position(), 1.5, 0.1);

    ASSERT_EQ(player.mediaControl->Pause(), S_OK);
    player.paused = 1;
    ASSERT_TRUE(player.SeekToSeconds(0.5));
    EXPECT_NEAR(Position(), 0.5, 0.1);
    ASSERT_TRUE(player.SeekToSeconds(1.5));
    EXPECT_NEAR(Position(), 1.5, 0.1);
    Pump(400);
    EXPECT_NEAR(Position(), 1.5, 0.1); // paused: it stays

    ASSERT_EQ(player.Resume(), S_OK);
    EXPECT_EQ(player.paused, 0);
    EXPECT_TRUE(WaitUntil([&] { return Position() > 1.7; }, 3000)) << Position();
    ASSERT_TRUE(player.SeekToSeconds(0));
    EXPECT_LT(Position(), 0.1);
    EXPECT_FALSE(player.SeekToSeconds(std::numeric_limits<double>::quiet_NaN()));
    EXPECT_FALSE(player.SeekToSeconds(std::numeric_limits<double>::infinity()));
}

// The slider's seek while paused: the view repaints by itself with the frame
// at the new place (red for a second, then blue).
TEST_F(VideoPlayerTest, ASeekWhilePausedPaintsTheFrameThere)
{
    const QString path = playbacktest::Ffmpeg(
        "red then blue.wmv", {"-f", "lavfi", "-i", "color=c=red:s=320x240:r=25:d=1,format=yuv420p[a];"
                                                   "color=c=blue:s=320x240:r=25:d=1,format=yuv420p[b];[a][b]concat",
                              "-f", "lavfi", "-i", "sine=duration=2", "-c:v", "wmv2", "-c:a", "wmav2"});
    ASSERT_FALSE(path.isEmpty());
    ASSERT_EQ(Play(path), S_OK);
    ASSERT_EQ(player.mediaControl->Pause(), S_OK);
    player.paused = 1;
    ASSERT_TRUE(player.SeekToSeconds(0.2));
    auto whole = std::dynamic_pointer_cast<VideoRenderer>(player.wholeRenderer);
    ASSERT_TRUE(whole);
    const QPoint middle = hosts.whole->geometry().center();
    EXPECT_TRUE(WaitUntil([&] { return Near(hosts.window.grab().toImage().pixel(middle), qRgb(255, 0, 0)); }, 3000))
        << "the red frame of 0.2 s";

    const long painted = whole->FramesRendered();
    ASSERT_TRUE(player.SeekToSeconds(1.5));
    ASSERT_TRUE(WaitUntil([&] { return whole->FramesRendered() > painted; }, 3000));
    EXPECT_TRUE(Near(hosts.window.grab().toImage().pixel(middle), qRgb(0, 0, 255)))
        << std::hex << hosts.window.grab().toImage().pixel(middle);
    EXPECT_NEAR(Position(), 1.5, 0.1);
}

TEST_F(VideoPlayerTest, TheEndPostsTheNotificationAndIsTakenOnce)
{
    ASSERT_EQ(Play(playbacktest::ProgramRecording()), S_OK);
    EXPECT_FALSE(player.CheckCompletion()); // nothing queued yet
    double duration = 0;
    ASSERT_TRUE(player.GetDurationSeconds(&duration));
    ASSERT_TRUE(player.SeekToSeconds(duration - 0.4));
    catcher.messages.clear();
    ASSERT_TRUE(WaitUntil([&] { return !catcher.messages.isEmpty(); }, 5000));
    EXPECT_EQ(catcher.messages.first(), 0x8001);
    EXPECT_TRUE(player.CheckCompletion());
    EXPECT_FALSE(player.CheckCompletion());
    // Completed, still built: a seek and Resume play again.
    ASSERT_TRUE(player.SeekToSeconds(1.0));
    EXPECT_EQ(player.Resume(), S_OK);
    EXPECT_TRUE(WaitUntil([&] { return Position() > 1.1; }, 3000)) << Position();
}

// Not the camera's size: the grabber hands out what it was connected with,
// and its header and buffer agree.
TEST_F(VideoPlayerTest, LargerFilePlaysWithConsistentFrames)
{
    const QString path = playbacktest::LaunchRecording(QStringLiteral("large.wmv"), 640, 480, 2, true);
    ASSERT_FALSE(path.isEmpty());
    ASSERT_EQ(Play(path), S_OK);
    BITMAPINFOHEADER header;
    ASSERT_TRUE(player.GetBitmapInfoHeader(&header));
    LONG size = 0;
    ASSERT_TRUE(WaitForFrame(&size));
    EXPECT_EQ(size, DibStride(header.biWidth, 24) * header.biHeight);
    std::vector<BYTE> frame(size);
    EXPECT_TRUE(player.GetImage(frame.data()));
    // The bars start with grey, once the window has painted the frame.
    QImage shot;
    EXPECT_TRUE(WaitUntil([&] {
        shot = hosts.window.grab().toImage();
        return Near(shot.pixel(hosts.whole->geometry().topLeft() + QPoint(10, 5)), qRgb(192, 192, 192));
    }, 3000)) << std::hex << shot.pixel(hosts.whole->geometry().topLeft() + QPoint(10, 5));
}

TEST_F(VideoPlayerTest, FilesMissingAStreamFailAtTheConnectionsAndPlayNothing)
{
    const QString noVideo = playbacktest::LaunchRecording(QStringLiteral("talk only.wmv"), 0, 0, 1, true);
    const QString noAudio = playbacktest::LaunchRecording(QStringLiteral("picture only.wmv"), 320, 240, 1, false);
    ASSERT_FALSE(noVideo.isEmpty());
    ASSERT_FALSE(noAudio.isEmpty());
    EXPECT_EQ(Play(noVideo), E_FAIL);
    EXPECT_FALSE(player.ready);
    EXPECT_TRUE(Failed(Play(noAudio)));
    EXPECT_FALSE(player.ready);
    // Neither ran: the views show nothing of them.
    LONG size = 0;
    EXPECT_FALSE(player.GetImageSize(&size));
    player.ReleaseGraph();
    EXPECT_TRUE(NoVideoWindows());
}

TEST_F(VideoPlayerTest, BadFilesFailAndTheEngineStaysUsable)
{
    const QString folder = testenv::MakeTempFolder(QStringLiteral("bad"));
    const QString good = playbacktest::ProgramRecording();
    QFile file(good);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QByteArray scrambled = bytes;
    for (qsizetype i = 6000; i < scrambled.size(); i += 7)
        scrambled[i] = char(scrambled[i] ^ 0x5A);

    const QString empty = folder + QStringLiteral("/empty.wmv");
    const QString cut = folder + QStringLiteral("/cut header.wmv");
    const QString jpeg = folder + QStringLiteral("/photo \"renamed\" ü.wmv");
    const QString corrupt = folder + QStringLiteral("/corrupt.wmv");
    const QString unreadable = folder + QStringLiteral("/locked.wmv");
    testenv::WriteFile(empty, {});
    testenv::WriteFile(cut, bytes.left(300));
    QImage photo(64, 48, QImage::Format_RGB32);
    photo.fill(Qt::red);
    photo.save(jpeg, "JPEG");
    testenv::WriteFile(corrupt, scrambled);
    testenv::WriteFile(unreadable, bytes);
    QFile::setPermissions(unreadable, QFileDevice::Permissions());
    QStringList refused{folder + QStringLiteral("/absent.wmv"), empty, cut, jpeg};
    if (geteuid() != 0) // permissions do not stop root
        refused << unreadable;
    for (const QString &path : refused) {
        EXPECT_TRUE(Failed(Play(path))) << path.toStdString();
        EXPECT_FALSE(player.ready) << path.toStdString();
    }
    // Scrambled data behind a sound header: whatever it does, it never claims
    // success without showing frames, and it returns.
    const HRESULT hr = Play(corrupt);
    if (Succeeded(hr)) {
        LONG size = 0;
        EXPECT_TRUE(WaitForFrame(&size));
    }
    ASSERT_EQ(Play(good), S_OK);
    LONG size = 0;
    EXPECT_TRUE(WaitForFrame(&size));
}

// What a crash leaves: the file ends in the middle of its data.
TEST_F(VideoPlayerTest, FileCutInTheMiddlePlaysWhatItHoldsToItsEnd)
{
    QFile file(playbacktest::ProgramRecording());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    const QString cut = testenv::MakeTempFolder(QStringLiteral("cut")) + QStringLiteral("/crashed.wmv");
    testenv::WriteFile(cut, bytes.left(bytes.size() / 2));
    ASSERT_EQ(Play(cut), S_OK);
    LONG size = 0;
    EXPECT_TRUE(WaitForFrame(&size));
    // The end is taken once; the wait asks again, so it is kept.
    bool ended = false;
    ASSERT_TRUE(WaitUntil([&] { return ended = ended || (!catcher.messages.isEmpty() && player.CheckCompletion()); },
                          8000))
        << debug.Lines().join(QLatin1Char('\n')).toStdString() << " position " << Position();
}

TEST_F(VideoPlayerTest, PlayedFromTheStartItReachesItsEndNotice)
{
    ASSERT_EQ(Play(playbacktest::ProgramRecording()), S_OK);
    ASSERT_TRUE(WaitUntil([&] { return !catcher.messages.isEmpty(); }, 10000));
    EXPECT_TRUE(player.CheckCompletion());
}
