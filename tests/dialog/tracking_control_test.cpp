// Starting and stopping the tracking loops from the dialog, with the scripted
// detector bound and the virtual camera running in VideoTracing.
#include "platform/dynlib/dynamic_library.h"
#include "tests/dialog/dialog_fixture.h"

#include "tests/support/test_environment.h"
#include "tracking/view_rect.h"

#include <QCoreApplication>
#include <QProcess>
#include <QElapsedTimer>
#include <algorithm>

namespace {

struct ProgramFilesScope {
    explicit ProgramFilesScope(const QByteArray &folder) : saved(qgetenv("TALVORA_PROGRAM_FILES"))
    {
        qputenv("TALVORA_PROGRAM_FILES", folder);
    }
    ~ProgramFilesScope() { qputenv("TALVORA_PROGRAM_FILES", saved); }
    QByteArray saved;
};

bool WaitFor(const std::function<bool()> &cond, int ms) { return PumpUntil(cond, ms); }

class TrackingControlTest : public DialogTest {
protected:
    void SetUp() override
    {
        DialogTest::SetUp();
        script = dynlib::DynamicLibrary::Load(QStringLiteral(TALVORA_FIXTURE_ROOT "/scripted/Talvora/libfacedetect.so"));
        ASSERT_NE(script, nullptr);
        script->Function<void (*)()>("ScriptedReset")();
        detectCalls = script->Function<int (*)()>("ScriptedDetectCalls");
    }
    MainDlg &OpenTracing()
    {
        MainDlg &d = Open();
        d.OnVideoTracing();
        return d;
    }
    ProgramFilesScope programFiles{TALVORA_FIXTURE_ROOT "/scripted"};
    devices::DeviceConfigScope camera{devices::DeviceConfig::Parse(
        {QStringLiteral("--camera=test"), QStringLiteral("--microphone=none")}, QString(), QString())};
    std::shared_ptr<dynlib::DynamicLibrary> script;
    int (*detectCalls)() = nullptr;
};

} // namespace

TEST_F(TrackingControlTest, VideoTracingRunsTheLiveLoopAndStoppingEitherLoopEndsIt)
{
    MainDlg &d = OpenTracing();
    ASSERT_NE(d.liveTrackingThread, nullptr);
    ASSERT_TRUE(WaitFor([&] { return detectCalls() >= 2; }, 15000)) << "the loop never detected";
    EXPECT_EQ(d.streamHeader.biWidth, 320);
    EXPECT_EQ(d.detectorInitialised, 1);
    // No playback loop is held, but the shared flag falls and the live loop ends.
    EXPECT_FALSE(d.StopPlaybackTracking());
    EXPECT_TRUE(WaitFor([&] { return d.liveTrackingFinished.load(); }, 5000));
    EXPECT_TRUE(d.StopLiveTracking());
    EXPECT_EQ(d.liveTrackingThread, nullptr);
    EXPECT_FALSE(d.StopLiveTracking()) << "nothing left to stop";
}

TEST_F(TrackingControlTest, AStopInsideDetectionOrWhileWaitingForTheImageEndsWithinTheBound)
{
    MainDlg &d = OpenTracing();
    script->Function<void (*)(int)>("ScriptedSetDetectMillis")(400);
    const int before = detectCalls();
    ASSERT_TRUE(WaitFor([&] { return detectCalls() > before; }, 15000));
    QElapsedTimer timer;
    timer.start();
    EXPECT_TRUE(d.StopLiveTracking());
    EXPECT_LT(timer.elapsed(), 5000);
    EXPECT_TRUE(d.liveTrackingFinished);

    // A released camera has no image: the loop is waiting for the size when stopped.
    d.videoRecorder.ReleaseGraph();
    ASSERT_TRUE(d.StartLiveTracking());
    ASSERT_TRUE(WaitFor([&] { return debug.Contains(QStringLiteral("GetImageSize faill")); }, 5000))
        << "the loop waits for the size";
    timer.restart();
    EXPECT_TRUE(d.StopLiveTracking());
    EXPECT_LT(timer.elapsed(), 5000);
}

TEST_F(TrackingControlTest, AStartOverALoopThatEndedOnItsOwnJoinsItFirst)
{
    MainDlg &d = OpenTracing();
    d.StopLiveTracking();
    d.videoRecorder.ReleaseGraph();
    ASSERT_TRUE(d.StartLiveTracking()); // gives up on the image size by itself
    ASSERT_TRUE(WaitFor([&] { return d.liveTrackingFinished.load(); }, 10000));
    EXPECT_NE(d.liveTrackingThread, nullptr);
    ASSERT_TRUE(d.StartLiveTracking());
    EXPECT_TRUE(d.StopLiveTracking());
    EXPECT_EQ(d.liveTrackingThread, nullptr);
}

TEST_F(DialogTest, WithTheBuiltPluginTheProgramStartsWithoutTheBoxAndTracks)
{
    ProgramFilesScope scope(qgetenv("TALVORA_PROGRAM_FILES")); // the build tree's product folder
    MainDlg &d = Open();
    EXPECT_FALSE(boxes.Texts().contains(
        QStringLiteral("Can not load facedetect.dll and tracing function will be disabled ")));
    EXPECT_TRUE(d.faceDetect.IsComplete());
}

TEST_F(DialogTest, AnIncompleteDetectorStartsNoLoop)
{
    ProgramFilesScope scope(TALVORA_FIXTURE_ROOT "/noexport");
    MainDlg &d = Open();
    EXPECT_FALSE(d.StartLiveTracking());
    EXPECT_FALSE(d.StartPlaybackTracking());
    EXPECT_EQ(d.liveTrackingThread, nullptr);
    EXPECT_EQ(d.playbackTrackingThread, nullptr);
    EXPECT_FALSE(d.trackingRun);
}

namespace {

// Where tools/face_fixtures.sh puts the face pictures it fetches.
const QString faces = QStringLiteral(TALVORA_FIXTURE_ROOT "/faces");

// A clip named `name` made by ffmpeg with `args` (everything between its
// options and the output name) from the face pictures; empty with *why set
// when that cannot be done.
QString FaceClip(const QString &name, const QStringList &args, QString *why)
{
    QProcess fetch;
    fetch.start(QStringLiteral(TALVORA_SOURCE_ROOT "/tools/face_fixtures.sh"), {faces});
    if (!fetch.waitForFinished(120000) || fetch.exitCode() != 0) {
        *why = QStringLiteral("face pictures unavailable: ") + QString::fromLocal8Bit(fetch.readAllStandardError());
        return {};
    }
    const QString clip = testenv::MakeTempFolder(QStringLiteral("clip")) + QLatin1Char('/') + name;
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"), QStringList{"-loglevel", "error", "-y"} + args + QStringList{clip});
    if (!ffmpeg.waitForFinished(120000) || ffmpeg.exitCode() != 0) {
        *why = QStringLiteral("ffmpeg could not make the clip: ") + QString::fromLocal8Bit(ffmpeg.readAllStandardError());
        return {};
    }
    return clip;
}

// A looping one-face clip made from Debian's astronaut picture.
QString OneFaceClip(QString *why)
{
    return FaceClip(QStringLiteral("one face.wmv"),
        {"-loop", "1", "-i", faces + "/astronaut.png", "-f", "lavfi", "-i", "anullsrc=r=44100:cl=mono", "-t", "4",
         "-r", "15", "-vf", "crop=384:288:64:0,scale=320:240", "-map", "0:v", "-map", "1:a", "-c:v", "wmv2", "-b:v",
         "800k", "-c:a", "wmav2"},
        why);
}

ViewRect WholeSource(const std::shared_ptr<media::IBasicVideo> &basic)
{
    ViewRect r;
    if (basic)
        basic->GetSourcePosition(&r.left, &r.top, &r.width, &r.height);
    return r;
}

} // namespace

// The shipped detector on a clip of one face: the whole view zooms in, live
// from the camera and when a recording of it is played.
TEST_F(DialogTest, OneFaceZoomsTheWholeViewLiveAndOnPlayback)
{
    QString why;
    const QString clip = OneFaceClip(&why);
    if (clip.isEmpty())
        GTEST_SKIP() << why.toStdString();
    devices::DeviceConfigScope camera(devices::DeviceConfig::Parse(
        {QStringLiteral("--camera=file:") + clip, QStringLiteral("--microphone=none")}, QString(), QString()));
    MainDlg &d = Open();
    ASSERT_TRUE(d.faceDetect.IsComplete());
    d.OnVideoTracing();
    ASSERT_NE(d.liveTrackingThread, nullptr);
    // Nine sightings (2.25 s), then a pixel per side every 20 ms.
    EXPECT_TRUE(WaitFor([&] { return WholeSource(d.videoRecorder.wholeBasicVideo).width < 250; }, 20000))
        << "live: the whole view did not zoom";
    d.StopLiveTracking();
    d.videoRecorder.ReleaseGraph();

    ASSERT_FALSE(Failed(d.videoPlayer.PlayFile(&d, d.wholeFrame, d.leftFrame, d.rightFrame, clip)));
    ASSERT_TRUE(d.StartPlaybackTracking());
    EXPECT_TRUE(WaitFor([&] {
        const ViewRect r = WholeSource(d.videoPlayer.wholeBasicVideo);
        return r.width > 0 && r.width < 250;
    }, 20000)) << "playback: the whole view did not zoom";
    EXPECT_TRUE(d.StopPlaybackTracking());
    d.videoPlayer.ReleaseGraph();
}

namespace {

// A looping clip of a room in which one person sits (the astronaut, left),
// a second one (Debian's picture of a naval officer) sits down on the right
// from 4 s to 14 s, and the first stays alone again until 30 s. Made from the
// pictures tools/face_fixtures.sh fetches.
QString OneTwoOneFaceClip(QString *why)
{
    return FaceClip(QStringLiteral("one, two, one.wmv"),
        {"-loop", "1", "-i", faces + "/coffee.png", "-loop", "1", "-i", faces + "/astronaut.png", "-loop", "1", "-i",
         faces + "/grace_hopper.jpg", "-f", "lavfi", "-i", "anullsrc=r=44100:cl=mono", "-filter_complex",
         "[0]scale=320:240[room];[1]crop=176:210:136:30,scale=132:158[a];[2]crop=310:400:110:40,scale=96:124[b];"
         "[room][a]overlay=19:47[one];[one][b]overlay=187:55:enable='between(t,4,14)'[v]",
         "-map", "[v]", "-map", "3:a", "-t", "30", "-r", "15", "-c:v", "wmv2", "-b:v", "800k", "-c:a", "wmav2"},
        why);
}

// The view whose video window sits in its host's corner is on screen; the
// others were moved out of sight by the layout switch.
bool OnScreen(QWidget *host)
{
    const auto children = host->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly);
    return std::any_of(children.begin(), children.end(),
                       [](QWidget *w) { return w->isVisible() && w->pos() == QPoint(0, 0); });
}

} // namespace

// The shipped detector, the real camera engine and the real renderers: two
// people split the picture into the left and right views, the left person
// in the left view; when one leaves, the whole view comes back.
TEST_F(DialogTest, TwoPeopleSplitTheViewsLeftToRightAndOneAloneGetsTheWholeViewBack)
{
    QString why;
    const QString clip = OneTwoOneFaceClip(&why);
    if (clip.isEmpty())
        GTEST_SKIP() << why.toStdString();
    devices::DeviceConfigScope camera(devices::DeviceConfig::Parse(
        {QStringLiteral("--camera=file:") + clip, QStringLiteral("--microphone=none")}, QString(), QString()));
    MainDlg &d = Open();
    ASSERT_TRUE(d.faceDetect.IsComplete());
    d.OnVideoTracing();
    ASSERT_NE(d.liveTrackingThread, nullptr);
    const auto left = d.videoRecorder.leftBasicVideo, right = d.videoRecorder.rightBasicVideo;
    ASSERT_TRUE(left && right);
    // The people's faces are centred at x = 85 (left) and x = 235 (right).
    auto centreX = [](const std::shared_ptr<media::IBasicVideo> &basic) {
        const ViewRect r = WholeSource(basic);
        return r.left + r.width / 2;
    };
    const bool split = WaitFor([&] {
        return OnScreen(d.leftFrame) && OnScreen(d.rightFrame) && !OnScreen(d.wholeFrame)
            && std::abs(centreX(left) - 85) < 30 && std::abs(centreX(right) - 235) < 30;
    }, 30000);
    ASSERT_TRUE(split) << "no split with the faces in place: left view centred at " << centreX(left)
                       << ", right view at " << centreX(right);
    EXPECT_LT(WholeSource(left).width, 320) << "the left view shows a face, not the whole frame";
    // The second person leaves at 14 s; nine sightings of one face later the
    // whole view is back and zooms on the one left.
    EXPECT_TRUE(WaitFor([&] {
        return OnScreen(d.wholeFrame) && !OnScreen(d.leftFrame) && !OnScreen(d.rightFrame)
            && std::abs(centreX(d.videoRecorder.wholeBasicVideo) - 85) < 40;
    }, 30000)) << "the whole view did not come back on the one face";
    EXPECT_TRUE(d.StopLiveTracking());
}
