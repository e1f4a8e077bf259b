// The dialog under session and power events from logind's mock: a switch to
// another user or a suspend stores the mode and finishes what runs (the file
// closed before the delay inhibitor goes), and coming back enters the mode
// again with its live view, once.
#include "capture/video_recorder.h"
#include "controls/hover_button.h"
#include "platform/media/video_window_widget.h"
#include "platform/session/session_events.h"
#include "platform/ui/list_view.h"
#include "tests/capture/capture_test_util.h"
#include "tests/dialog/dialog_fixture.h"
#include "tests/support/mock_logind.h"

#include <QDir>
#include <QFileInfo>
#include <atomic>
#include <thread>

namespace {

using capturetest::Pump;
using capturetest::WaitUntil;

int VideoWindowsIn(QWidget *host)
{
    int count = 0;
    for (QObject *child : host->children())
        count += dynamic_cast<media::VideoWindowWidget *>(child) != nullptr;
    return count;
}

class SessionPowerTest : public DialogTest {
protected:
    void SetUp() override
    {
        DialogTest::SetUp();
        consoleAttached = true; // as at the start of a process
        if (!logind.Ready())
            GTEST_SKIP() << logind.Error().toStdString();
    }
    void TearDown() override { dialog.reset(); }

    // The dialog in a mode, registered with logind: session followed, inhibitor held.
    MainDlg &OpenIn(int m)
    {
        StoreMode(m);
        MainDlg &d = Open();
        EXPECT_TRUE(WaitUntil([&] { return logind.Inhibitors().size() == 1; }, 10000));
        // Followed means subscribed; the session's state, asked for then,
        // comes before any later signal on the same bus.
        EXPECT_TRUE(WaitUntil([&] { return d.FollowsSession(); }, 10000));
        return d;
    }

    // What the transport's Record does in Video.
    QString StartVideoRecording(MainDlg &d, int ms = 1500)
    {
        d.videoRecorder.ReleaseGraph();
        EXPECT_EQ(d.videoRecorder.StartRecording(d.Paths().videoFolder, d.wholeFrame, d.leftFrame, d.rightFrame, false),
                  S_OK);
        d.activity = Recording;
        d.recordButton->SetLatched(true);
        EXPECT_TRUE(capturetest::RecordFor(d.videoRecorder.graph, ms)) << "the recording never ran";
        return d.videoRecorder.RecordingFileName();
    }

    bool WaitForText(const char *text) { return WaitUntil([&] { return debug.Contains(QLatin1String(text)); }, 15000); }

    QStringList EventTexts() const
    {
        QStringList texts;
        for (const QString &line : debug.Lines())
            if (line.startsWith(QLatin1String("WTS_")) || line.startsWith(QLatin1String("PBT_")))
                texts << line;
        return texts;
    }

    static void ExpectComplete(const QString &file)
    {
        const capturetest::FileInfo info = capturetest::Discover(file);
        EXPECT_TRUE(info.ok) << file.toStdString();
        EXPECT_TRUE(info.seekable) << file.toStdString();
        EXPECT_GT(info.seconds, 0.5) << file.toStdString();
        EXPECT_FALSE(info.videoCaps.isEmpty());
    }

    devices::DeviceConfigScope cameras{capturetest::Devices(QStringLiteral("test"))};
    testenv::MockLogind logind;
};

TEST_F(SessionPowerTest, LockAndUnlockLeaveARecordingRunning)
{
    MainDlg &d = OpenIn(Video);
    const QString file = StartVideoRecording(d);
    debug.Clear();
    ASSERT_TRUE(logind.Lock());
    ASSERT_TRUE(logind.SetLockedHint(true));
    ASSERT_TRUE(WaitForText("WTS_SESSION_LOCK"));
    ASSERT_TRUE(logind.SetLockedHint(false));
    ASSERT_TRUE(logind.Unlock());
    ASSERT_TRUE(WaitForText("WTS_SESSION_UNLOCK"));
    Pump(1500);
    EXPECT_EQ(EventTexts(), (QStringList{QStringLiteral("WTS_SESSION_LOCK"), QStringLiteral("WTS_SESSION_UNLOCK")}));
    EXPECT_EQ(d.CurrentActivity(), Recording);
    EXPECT_TRUE(d.videoRecorder.graph);
    EXPECT_TRUE(d.recordButton->IsLatched());
    d.StopRecording();
    // 1.5 s before the lock, as long after the unlock: the file holds both.
    const capturetest::FileInfo info = capturetest::Discover(file);
    EXPECT_TRUE(info.ok);
    EXPECT_GT(info.seconds, 2.5);
}

// Screen lockers that lock by switching the seat to the display manager's
// greeter turn the session inactive: that is a lock, not a switch of user.
TEST_F(SessionPowerTest, ALockThroughTheGreeterOrALockScreenSessionLeavesARecordingRunning)
{
    ASSERT_TRUE(logind.AddOtherSession(QStringLiteral("greeter"), QStringLiteral("greeter")));
    ASSERT_TRUE(logind.AddOtherSession(QStringLiteral("locker"), QStringLiteral("lock-screen")));
    MainDlg &d = OpenIn(Video);
    const QString file = StartVideoRecording(d, 1000);
    debug.Clear();
    ASSERT_TRUE(logind.SwitchTo(QStringLiteral("greeter")));
    ASSERT_TRUE(WaitForText("WTS_SESSION_LOCK"));
    ASSERT_TRUE(logind.SwitchTo(QStringLiteral("c1")));
    ASSERT_TRUE(WaitForText("WTS_SESSION_UNLOCK"));
    debug.Clear();
    ASSERT_TRUE(logind.SwitchTo(QStringLiteral("locker")));
    ASSERT_TRUE(WaitForText("WTS_SESSION_LOCK"));
    Pump(1000); // as long away as it takes to notice a switch
    ASSERT_TRUE(logind.SwitchTo(QStringLiteral("c1")));
    ASSERT_TRUE(WaitForText("WTS_SESSION_UNLOCK"));
    EXPECT_EQ(EventTexts(), (QStringList{QStringLiteral("WTS_SESSION_LOCK"), QStringLiteral("WTS_SESSION_UNLOCK")}));
    EXPECT_TRUE(consoleAttached);
    EXPECT_EQ(d.CurrentActivity(), Recording);
    EXPECT_TRUE(d.videoRecorder.graph);
    EXPECT_TRUE(d.recordButton->IsLatched());
    d.StopRecording();
    const capturetest::FileInfo info = capturetest::Discover(file);
    EXPECT_TRUE(info.ok);
    EXPECT_GT(info.seconds, 1.8) << "one file across both locks";
}

TEST_F(SessionPowerTest, SwitchingUserFinishesTheRecordingAndSwitchingBackRestoresTheMode)
{
    ASSERT_TRUE(logind.AddOtherSession(QStringLiteral("c2"), QStringLiteral("user")));
    MainDlg &d = OpenIn(Video);
    const QString file = StartVideoRecording(d);
    ASSERT_TRUE(logind.SwitchTo(QStringLiteral("c2")));
    ASSERT_TRUE(WaitForText("WTS_CONSOLE_DISCONNECT"));
    EXPECT_EQ(StoredMode().toUInt(), uint(Video));
    EXPECT_EQ(d.CurrentActivity(), Idle);
    EXPECT_FALSE(d.videoRecorder.graph);
    EXPECT_FALSE(consoleAttached);
    // The look of a running recording stays until the next restore.
    EXPECT_TRUE(d.recordButton->IsLatched());
    ExpectComplete(file);
    {
        // The camera is free for another graph.
        capturetest::Hosts hosts;
        VideoRecorder other;
        EXPECT_EQ(other.StartPreview(hosts.whole, hosts.left, hosts.right, false), S_OK);
        other.ReleaseGraph();
    }

    ASSERT_TRUE(logind.SwitchTo(QStringLiteral("c1")));
    ASSERT_TRUE(WaitForText("WTS_CONSOLE_CONNECT"));
    EXPECT_TRUE(consoleAttached);
    EXPECT_EQ(d.CurrentMode(), Video);
    EXPECT_TRUE(d.videoRecorder.graph);
    EXPECT_EQ(VideoWindowsIn(d.wholeFrame), 1);
    EXPECT_FALSE(d.recordButton->IsLatched());
    ASSERT_EQ(d.ThumbnailList()->GetItemCount(), 1);
    EXPECT_EQ(d.ThumbnailList()->GetItemText(0), QFileInfo(file).fileName());
    EXPECT_EQ(EventTexts(), (QStringList{QStringLiteral("WTS_CONSOLE_DISCONNECT"), QStringLiteral("WTS_CONSOLE_CONNECT")}));
}

TEST_F(SessionPowerTest, SleepClosesTheRecordingBeforeTheInhibitorGoesAndResumeRebuildsThePreview)
{
    MainDlg &d = OpenIn(Video);
    const QString file = StartVideoRecording(d);
    // Watches logind from another thread: the file's size the moment the delay ends.
    std::atomic<qint64> sizeAtRelease{-1};
    std::atomic<bool> stop{false};
    std::thread watcher([&] {
        auto held = [&] {
            bool answered = false;
            const bool any = !logind.Inhibitors(&answered).isEmpty();
            return any || !answered;
        };
        while (!stop && held())
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        if (!stop)
            sizeAtRelease = QFileInfo(file).size();
    });
    ASSERT_TRUE(logind.EmitPrepareForSleep(true));
    const bool released = WaitUntil([&] { return sizeAtRelease >= 0; }, 15000);
    stop = true;
    watcher.join();
    ASSERT_TRUE(released);
    EXPECT_TRUE(debug.Contains(QStringLiteral("PBT_APMSUSPEND")));
    EXPECT_EQ(sizeAtRelease.load(), QFileInfo(file).size());
    ExpectComplete(file);
    EXPECT_EQ(StoredMode().toUInt(), uint(Video));
    EXPECT_EQ(d.CurrentActivity(), Idle);
    EXPECT_FALSE(d.videoRecorder.graph);

    ASSERT_TRUE(logind.EmitPrepareForSleep(false));
    ASSERT_TRUE(WaitForText("PBT_APMRESUMESUSPEND "));
    EXPECT_TRUE(d.videoRecorder.graph);
    EXPECT_EQ(VideoWindowsIn(d.wholeFrame), 1);
    EXPECT_TRUE(WaitUntil([&] { return logind.Inhibitors().size() == 1; }, 10000));
    EXPECT_EQ(logind.CallCount(QStringLiteral("Inhibit")), 2);
}

TEST_F(SessionPowerTest, IdleVideoPreviewIsReleasedForSleepAndRebuiltOnResume)
{
    MainDlg &d = OpenIn(Video);
    ASSERT_TRUE(d.videoRecorder.graph);
    ASSERT_TRUE(logind.EmitPrepareForSleep(true));
    ASSERT_TRUE(WaitUntil([&] { return logind.Inhibitors().isEmpty(); }, 15000));
    EXPECT_FALSE(d.videoRecorder.graph);
    EXPECT_EQ(VideoWindowsIn(d.wholeFrame), 0);
    ASSERT_TRUE(logind.EmitPrepareForSleep(false));
    ASSERT_TRUE(WaitForText("PBT_APMRESUMESUSPEND "));
    EXPECT_TRUE(d.videoRecorder.graph);
    EXPECT_EQ(VideoWindowsIn(d.wholeFrame), 1);
    EXPECT_EQ(EventTexts(), (QStringList{QStringLiteral("PBT_APMSUSPEND"), QStringLiteral("PBT_APMRESUMEAUTOMATIC "),
                                         QStringLiteral("PBT_APMRESUMESUSPEND ")}));
}

TEST_F(SessionPowerTest, ResumeWhileSwitchedAwayWaitsForTheSwitchBack)
{
    MainDlg &d = OpenIn(Video);
    ASSERT_TRUE(logind.SetActive(false));
    ASSERT_TRUE(WaitForText("WTS_CONSOLE_DISCONNECT"));
    d.OnVideo(); // unchanged mode: nothing starts
    ASSERT_TRUE(logind.EmitPrepareForSleep(true));
    ASSERT_TRUE(logind.EmitPrepareForSleep(false));
    ASSERT_TRUE(WaitForText("PBT_APMRESUMESUSPEND "));
    EXPECT_FALSE(d.videoRecorder.graph);
    EXPECT_EQ(StoredMode().toUInt(), uint(Video));
    ASSERT_TRUE(logind.SetActive(true));
    ASSERT_TRUE(WaitForText("WTS_CONSOLE_CONNECT"));
    EXPECT_TRUE(d.videoRecorder.graph);
    EXPECT_EQ(VideoWindowsIn(d.wholeFrame), 1);
}

TEST_F(SessionPowerTest, TwoRestoresInARowLeaveOneOfEverything)
{
    MainDlg &d = OpenIn(Video);
    StartVideoRecording(d, 1000);
    ASSERT_TRUE(logind.EmitPrepareForSleep(true));
    ASSERT_TRUE(WaitForText("PBT_APMSUSPEND"));
    d.OnPowerBroadcast(session::PBT_APMRESUMESUSPEND, 0);
    d.OnSessionChange(session::WTS_CONSOLE_CONNECT, 0);
    Pump(300);
    EXPECT_TRUE(d.videoRecorder.graph);
    EXPECT_FALSE(d.photoPreview.graph);
    EXPECT_EQ(VideoWindowsIn(d.wholeFrame), 1);
    EXPECT_EQ(VideoWindowsIn(d.leftFrame), 1);
    EXPECT_EQ(VideoWindowsIn(d.rightFrame), 1);
    EXPECT_EQ(d.ThumbnailList()->GetItemCount(), 1);
    int latched = 0;
    for (int m = 0; m < kModeCount; ++m)
        latched += d.ModeButton(m)->IsLatched();
    EXPECT_EQ(latched, 1);
    EXPECT_TRUE(d.videoButton->IsLatched());
}

TEST_F(SessionPowerTest, RepeatedOrStraySleepSignalsLoseNothing)
{
    MainDlg &d = OpenIn(Video);
    const QString file = StartVideoRecording(d);
    // A resume without a suspend must not end the recording by re-entering the mode.
    ASSERT_TRUE(logind.EmitPrepareForSleep(false));
    Pump(600);
    EXPECT_EQ(d.CurrentActivity(), Recording);
    EXPECT_TRUE(d.videoRecorder.graph);
    ASSERT_TRUE(logind.EmitPrepareForSleep(true));
    ASSERT_TRUE(logind.EmitPrepareForSleep(true));
    ASSERT_TRUE(WaitForText("PBT_APMSUSPEND"));
    Pump(600);
    EXPECT_EQ(debug.Count(QStringLiteral("PBT_APMSUSPEND")), 1);
    EXPECT_FALSE(debug.Contains(QStringLiteral("PBT_APMRESUMESUSPEND ")));
    ExpectComplete(file);
    EXPECT_EQ(QDir(d.Paths().videoFolder).entryList(QDir::Files).size(), 1);
}

TEST_F(SessionPowerTest, AShownPhotoDoesNotKeepTheCameraWhileSwitchedAway)
{
    MainDlg &d = OpenIn(Photo);
    ASSERT_TRUE(d.photoPreview.graph);
    // What Play does on a stored photo: the preview pauses behind it.
    d.photoPreview.PausePreview();
    d.activity = Playing;
    ASSERT_TRUE(logind.SetActive(false));
    ASSERT_TRUE(WaitForText("WTS_CONSOLE_DISCONNECT"));
    EXPECT_FALSE(d.photoPreview.graph);
    EXPECT_EQ(d.CurrentActivity(), Idle);
    EXPECT_EQ(StoredMode().toUInt(), uint(Photo));
    ASSERT_TRUE(logind.SetActive(true));
    ASSERT_TRUE(WaitForText("WTS_CONSOLE_CONNECT"));
    EXPECT_TRUE(d.photoPreview.graph);
}

// Without any system bus the dialog starts and closes as before, silently.
TEST_F(DialogTest, NoSystemBusIsSilent)
{
    MainDlg &d = Open();
    Pump(200);
    d.OnPowerBroadcast(session::PBT_APMQUERYSUSPEND, 0);
    d.OnPowerBroadcast(session::PBT_APMPOWERSTATUSCHANGE, 0);
    EXPECT_EQ(d.OnSessionChange(session::WTS_REMOTE_CONNECT, 3), long(session::WTS_REMOTE_CONNECT));
    EXPECT_EQ(d.OnPowerBroadcast(99, 0), 0);
    QStringList texts;
    for (const QString &line : debug.Lines())
        if (line.startsWith(QLatin1String("WTS_")) || line.startsWith(QLatin1String("PBT_")))
            texts << line;
    EXPECT_EQ(texts, (QStringList{QStringLiteral("PBT_APMQUERYSUSPEND "), QStringLiteral("PBT_APMPOWERSTATUSCHANGE")}));
}

} // namespace
