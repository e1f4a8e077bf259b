// Playing recorded ".wma" files: position, length and seeking in seconds, the
// media control the dialog pauses through, the end-of-file notice, and files
// that cannot be played.
#include "capture/audio_recorder.h"
#include "platform/diag/diagnostics.h"
#include "platform/media/graph.h"
#include "platform/media/graph_notify_event.h"
#include "playback/audio_player.h"
#include "tests/capture/capture_test_util.h"
#include "tests/support/test_environment.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <gst/gst.h>
#include <unistd.h>

using namespace media;
using capturetest::WaitUntil;

namespace {

// Stands where the dialog stands: counts the notices it is posted.
class NoticeCounter : public QObject {
public:
    int notices = 0;
    LONG lastMessage = 0;
    LONG_PTR lastData = -1;

protected:
    void customEvent(QEvent *e) override
    {
        if (e->type() != GraphNotifyEvent::Type())
            return;
        auto *n = static_cast<GraphNotifyEvent *>(e);
        ++notices;
        lastMessage = n->Message();
        lastData = n->InstanceData();
    }
};

// How long the tone was really recorded: a busy machine records longer than asked.
double toneSeconds = 0;

// One recording of a tone, made once for every test of the suite.
QString ToneFile()
{
    static const QString file = [] {
        devices::DeviceConfigScope scope(capturetest::Devices(QStringLiteral("none"), QStringLiteral("test")));
        const QString folder = testenv::MakeTempFolder(QStringLiteral("AudioSolo")) + QLatin1Char('/');
        AudioRecorder recorder;
        QElapsedTimer span;
        span.start();
        if (recorder.StartRecording(folder, false) != S_OK)
            return QString();
        capturetest::Pump(3000);
        recorder.ReleaseGraph();
        toneSeconds = span.elapsed() / 1000.0;
        return recorder.RecordingFileName();
    }();
    return file;
}

// An event queue of fixed contents that counts what is taken and freed.
class QueuedEvents : public IMediaEventEx {
public:
    explicit QueuedEvents(std::vector<LONG> codes) : codes(std::move(codes)) {}
    HRESULT GetEvent(LONG *code, LONG_PTR *p1, LONG_PTR *p2, LONG timeout) override
    {
        EXPECT_EQ(timeout, 0);
        if (codes.empty())
            return E_ABORT;
        *code = codes.front();
        *p1 = *p2 = 0;
        codes.erase(codes.begin());
        ++taken;
        return S_OK;
    }
    HRESULT FreeEventParams(LONG, LONG_PTR, LONG_PTR) override
    {
        ++freed;
        return S_OK;
    }
    HRESULT SetNotifyWindow(QObject *, LONG, LONG_PTR) override { return S_OK; }
    std::vector<LONG> codes;
    int taken = 0;
    int freed = 0;
};

TEST(AudioPlayerEvents, EndIsTakenWithEverythingBeforeItAndLaterEventsWait)
{
    AudioPlayer player;
    auto events = std::make_shared<QueuedEvents>(std::vector<LONG>{0x0E, EC_ERRORABORT, EC_COMPLETE, 0x0D});
    player.mediaEvent = events;
    EXPECT_TRUE(player.HandleEvents());
    EXPECT_EQ(events->taken, 3);
    EXPECT_EQ(events->freed, 3);
    EXPECT_EQ(events->codes, std::vector<LONG>{0x0D});
    EXPECT_FALSE(player.HandleEvents());
    EXPECT_EQ(events->freed, 4);
    EXPECT_TRUE(events->codes.empty());
}

class RecordedSeeking : public IMediaSeeking {
public:
    HRESULT SetTimeFormat(const Guid &) override { return S_OK; }
    HRESULT GetCurrentPosition(LONGLONG *p) override { return *p = 15000000, S_OK; }
    HRESULT GetDuration(LONGLONG *d) override { return *d = 30000000, S_OK; }
    HRESULT SetPositions(LONGLONG *current, DWORD currentFlags, LONGLONG *stop, DWORD stopFlags) override
    {
        position = current ? *current : -1;
        flags = currentFlags;
        stopGiven = stop != nullptr;
        this->stopFlags = stopFlags;
        return result;
    }
    LONGLONG position = 0;
    DWORD flags = 0, stopFlags = 99;
    bool stopGiven = true;
    HRESULT result = S_OK;
};

TEST(AudioPlayerSeeking, SecondsBecomeMediaTimeAbsoluteAtAKeyFrame)
{
    AudioPlayer player;
    auto seeking = std::make_shared<RecordedSeeking>();
    player.mediaSeeking = seeking;
    ASSERT_TRUE(player.SetPosition(12.34));
    EXPECT_EQ(seeking->position, 123400000);
    EXPECT_EQ(seeking->flags, 5u);
    EXPECT_FALSE(seeking->stopGiven);
    EXPECT_EQ(seeking->stopFlags, 0u);
    double s = 0;
    ASSERT_TRUE(player.GetPosition(&s));
    EXPECT_DOUBLE_EQ(s, 1.5);
    ASSERT_TRUE(player.GetLength(&s));
    EXPECT_DOUBLE_EQ(s, 3.0);
    seeking->result = E_FAIL;
    EXPECT_FALSE(player.SetPosition(1.0));
}

class AudioPlayerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (qEnvironmentVariableIsEmpty("PULSE_SERVER"))
            GTEST_SKIP() << "playback needs a PulseAudio server (PULSE_SERVER is unset)";
        file = ToneFile();
        ASSERT_FALSE(file.isEmpty());
    }
    double Position()
    {
        double s = -1;
        EXPECT_TRUE(player.GetPosition(&s));
        return s;
    }

    diag::CaptureScope debug;
    NoticeCounter window;
    AudioPlayer player;
    QString file;
};

TEST_F(AudioPlayerTest, NothingIsKnownBeforeAnOpen)
{
    AudioPlayer fresh;
    double s = 7;
    EXPECT_FALSE(fresh.GetPosition(&s));
    EXPECT_FALSE(fresh.GetLength(&s));
    EXPECT_FALSE(fresh.SetPosition(1.0));
    EXPECT_FALSE(fresh.HandleEvents());
    EXPECT_EQ(s, 7);
    fresh.ReleaseGraph();
    fresh.ReleaseGraph();
}

TEST_F(AudioPlayerTest, PlaysWithLengthPositionSeekAndPause)
{
    player.paused = 1;
    ASSERT_EQ(player.OpenAndPlay(file, &window), S_OK);
    EXPECT_EQ(player.paused, 0);
    double length = 0;
    ASSERT_TRUE(player.GetLength(&length));
    EXPECT_GT(length, 3.0 - 0.3);
    EXPECT_LT(length, toneSeconds + 0.3) << "about as long as it was recorded";
    const double start = Position();
    EXPECT_TRUE(WaitUntil([&] { return Position() > start + 0.3; }, 3000));

    ASSERT_TRUE(player.SetPosition(1.5));
    EXPECT_NEAR(Position(), 1.5, 0.1);

    // The dialog pauses and resumes on the media control itself.
    ASSERT_EQ(player.mediaControl->Pause(), S_OK);
    OAFilterState state = State_Stopped;
    player.mediaControl->GetState(2000, &state);
    EXPECT_EQ(state, State_Paused);
    const double held = Position();
    capturetest::Pump(400);
    EXPECT_NEAR(Position(), held, 0.05);
    ASSERT_EQ(player.mediaControl->Run(), S_OK);
    EXPECT_TRUE(WaitUntil([&] { return Position() > held + 0.2; }, 3000));
    player.ReleaseGraph();
    player.ReleaseGraph();
    EXPECT_FALSE(player.graph || player.mediaControl || player.mediaEvent || player.mediaSeeking);
}

// The sound server's clock stops for good when it is read just after its
// stream is uncorked (after every seek and resume), now and then; the graph
// must not run on it.
TEST_F(AudioPlayerTest, TheGraphRunsOnTheSystemClockNotTheSoundOutputs)
{
    ASSERT_EQ(player.OpenAndPlay(file, &window), S_OK);
    GstClock *system = gst_system_clock_obtain();
    GstClock *used = gst_pipeline_get_clock(GST_PIPELINE(std::dynamic_pointer_cast<Graph>(player.graph)->Pipeline()));
    EXPECT_EQ(used, system);
    gst_object_unref(used);
    gst_object_unref(system);
}

// A person seeking, pausing and resuming in quick rounds while the slider
// reads the position: after each step the position goes on.
TEST_F(AudioPlayerTest, PositionGoesOnAfterQuickSeeksPausesAndResumes)
{
    ASSERT_EQ(player.OpenAndPlay(file, &window), S_OK);
    for (int round = 0; round < 8; ++round) {
        ASSERT_TRUE(player.SetPosition(0.25 * round));
        const double sought = Position();
        ASSERT_TRUE(WaitUntil([&] { return Position() > sought + 0.05; }, 3000)) << "after the seek of round " << round;
        ASSERT_EQ(player.mediaControl->Pause(), S_OK);
        const double held = Position();
        ASSERT_EQ(player.mediaControl->Run(), S_OK);
        ASSERT_TRUE(WaitUntil([&] { return Position() > held + 0.05; }, 3000)) << "after the resume of round " << round;
    }
}

TEST_F(AudioPlayerTest, TheEndPostsTheNoticeAndIsTakenOnce)
{
    ASSERT_EQ(player.OpenAndPlay(file, &window), S_OK);
    ASSERT_TRUE(player.SetPosition(2.0));
    ASSERT_TRUE(WaitUntil([&] { return window.notices > 0; }, 5000));
    EXPECT_EQ(window.lastMessage, 0x8001);
    EXPECT_EQ(window.lastData, 0);
    EXPECT_TRUE(player.HandleEvents());
    EXPECT_FALSE(player.HandleEvents());
    // The graph stays built at the end until it is released.
    EXPECT_TRUE(player.graph);
    player.ReleaseGraph();
    const int seen = window.notices;
    capturetest::Pump(200);
    EXPECT_EQ(window.notices, seen);
}

// Files a user may find in the folder that do not play: a failure code so
// the dialog can say so, promptly, and the player stays usable.
TEST_F(AudioPlayerTest, FilesThatDoNotPlayFailPromptly)
{
    const QString dir = testenv::MakeTempFolder(QStringLiteral("Bad")) + QLatin1Char('/');
    QFile source(file);
    ASSERT_TRUE(source.open(QIODevice::ReadOnly));
    const QByteArray good = source.readAll();
    QByteArray corrupt = good; // the header's objects scrambled
    for (qsizetype i = 30; i < 400; ++i)
        corrupt[i] = char(i * 7);
    QByteArray jpeg("\xFF\xD8\xFF\xE0\x00\x10JFIF\x00", 11);
    jpeg.append(QByteArray(2000, 'j'));
    ASSERT_TRUE(testenv::WriteFile(dir + "corrupt.wma", corrupt));
    ASSERT_TRUE(testenv::WriteFile(dir + "empty.wma", QByteArray()));
    ASSERT_TRUE(testenv::WriteFile(dir + "photo.wma", jpeg));
    ASSERT_TRUE(testenv::WriteFile(dir + "locked.wma", good));
    QFile::setPermissions(dir + "locked.wma", QFileDevice::Permissions());
    QStringList names{"corrupt.wma", "empty.wma", "photo.wma", "missing.wma"};
    if (geteuid() != 0) // root reads it all the same
        names << "locked.wma";
    for (const QString &name : names) {
        QElapsedTimer timer;
        timer.start();
        const HRESULT hr = player.OpenAndPlay(dir + name, &window);
        EXPECT_TRUE(Failed(hr)) << name.toStdString() << std::hex << " " << hr;
        EXPECT_LT(timer.elapsed(), 15000) << name.toStdString();
        player.ReleaseGraph();
    }
    EXPECT_EQ(player.OpenAndPlay(file, &window), S_OK);
    player.ReleaseGraph();
}

} // namespace
