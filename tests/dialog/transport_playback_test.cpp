// Recording and playing back for real in the audio and video modes: the
// position slider follows the player, pauses, seeks, and the end of a file
// is noticed; double-click, Forward and Play during a recording.
#include "controls/hover_button.h"
#include "platform/devices/device_config.h"
#include "platform/ui/list_view.h"
#include "tests/capture/capture_test_util.h"
#include "tests/dialog/dialog_fixture.h"
#include "tests/dialog/slider_input.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QSlider>
#include <QThread>
#include <functional>

namespace {

void Pump(int ms) { PumpFor(ms); }

const char *Extension(int mode) { return IsAudioMode(mode) ? ".wma" : ".wmv"; }

QString Folder(const MainDlg &d, int mode)
{
    switch (mode) {
    case Solo: return d.Paths().audioSoloFolder;
    case Conference: return d.Paths().audioConferenceFolder;
    case Video: return d.Paths().videoFolder;
    default: return d.Paths().tVideoFolder;
    }
}

// A switch, not an indexed array of member pointers: GCC 12's bounds
// sanitizer misreads the index of such an array and stops the run.
void Enter(MainDlg &d, int mode)
{
    switch (mode) {
    case Solo: d.OnSolo(); break;
    case Conference: d.OnConference(); break;
    case Video: d.OnVideo(); break;
    case VideoTracing: d.OnVideoTracing(); break;
    default: d.OnPhoto(); break;
    }
}

double Position(MainDlg &d)
{
    double p = -1;
    if (IsAudioMode(d.CurrentMode()))
        d.audioPlayer.GetPosition(&p);
    else
        d.videoPlayer.GetPositionSeconds(&p);
    return p;
}

double Length(MainDlg &d)
{
    double p = -1;
    if (IsAudioMode(d.CurrentMode()))
        d.audioPlayer.GetLength(&p);
    else
        d.videoPlayer.GetDurationSeconds(&p);
    return p;
}


class TransportPlaybackTest : public DialogTest, public ::testing::WithParamInterface<int> {
protected:
    void SetUp() override
    {
        DialogTest::SetUp();
        if (qEnvironmentVariableIsEmpty("PULSE_SERVER"))
            GTEST_SKIP() << "needs the test run's private sound server (tools/test.sh)";
    }
    void Record(MainDlg &d, int ms)
    {
        d.OnRecord();
        ASSERT_EQ(d.CurrentActivity(), Recording);
        // Recorded from the moment the graph runs, however long a loaded machine takes to start it.
        ASSERT_TRUE(capturetest::WaitUntilRunning(IsAudioMode(d.CurrentMode()) ? d.audioRecorder.graph
                                                                               : d.videoRecorder.graph));
        QElapsedTimer span;
        span.start();
        Pump(ms);
        recordedSeconds = span.elapsed() / 1000.0;
        d.OnStop();
        ASSERT_EQ(d.CurrentActivity(), Idle);
        ASSERT_TRUE(PumpUntil([] { return !recordBusy; }, 5000)); // the Record hold
    }
    // From the graph's start to Stop as it really was: a slow machine records longer than asked.
    double recordedSeconds = 0;
    devices::DeviceConfigScope devices{devices::DeviceConfig::Parse(
        {QStringLiteral("--camera=test"), QStringLiteral("--microphone=test")}, QString(), QString())};
};

TEST_P(TransportPlaybackTest, RecordThenPlayPauseResumeSeekAndPlayAgainAfterTheEnd)
{
    const int mode = GetParam();
    MainDlg &d = Open();
    Enter(d, mode);
    boxes.Clear(); // the start-up message about the face detector
    Record(d, 3000);
    const QStringList files = QDir(Folder(d, mode)).entryList(QDir::Files);
    ASSERT_EQ(files.size(), 1);
    EXPECT_TRUE(files[0].endsWith(QLatin1String(Extension(mode))));
    ASSERT_EQ(d.ThumbnailList()->GetNextSelectedItem(-1), 0);

    d.OnPlay();
    ASSERT_EQ(d.CurrentActivity(), Playing) << boxes.Texts().join(" | ").toStdString();
    EXPECT_TRUE(d.playButton->IsLatched());
    EXPECT_GT(Length(d), 3.0 - 0.6) << "about as long as it was recorded";
    EXPECT_LT(Length(d), recordedSeconds + 0.6) << "about as long as it was recorded";
    if (!IsAudioMode(mode)) {
        EXPECT_FALSE(d.videoRecorder.graph) << "the camera is given up while a file plays";
    }
    EXPECT_TRUE(PumpUntil([&] { return d.positionSlider->value() > 0; }, 3000));
    const int first = d.positionSlider->value();
    EXPECT_TRUE(PumpUntil([&] { return d.positionSlider->value() > first; }, 3000)) << "the slider moves";

    d.OnPlay(); // pause
    EXPECT_EQ(d.CurrentActivity(), Paused);
    EXPECT_FALSE(d.playButton->IsLatched());
    Pump(200);
    const int paused = d.positionSlider->value();
    Pump(600);
    EXPECT_EQ(d.positionSlider->value(), paused) << "the slider stays while paused";

    sliderinput::DragThumbTo(d.positionSlider, 500); // seeks while paused too
    EXPECT_NEAR(Position(d), Length(d) / 2, 0.4);

    d.OnPlay(); // resume
    EXPECT_EQ(d.CurrentActivity(), Playing);
    EXPECT_TRUE(d.playButton->IsLatched());
    ASSERT_TRUE(PumpUntil([&] { return d.CurrentActivity() == PlaybackEnded; }, 20000)) << "end of file noticed";
    EXPECT_FALSE(d.playButton->IsLatched());

    d.OnPlay(); // from the start again
    EXPECT_EQ(d.CurrentActivity(), Playing);
    EXPECT_LT(Position(d), 1.0);
    d.OnStop();
    EXPECT_EQ(d.CurrentActivity(), Idle);
    EXPECT_EQ(d.ThumbnailList()->GetNextSelectedItem(-1), -1);
    EXPECT_EQ(d.positionSlider->value(), 0);
    if (!IsAudioMode(mode)) {
        EXPECT_TRUE(d.videoRecorder.running) << "the live view is back after Stop";
    }
    EXPECT_TRUE(boxes.Texts().isEmpty()) << boxes.Texts().join(" | ").toStdString();
}

std::string ModeName(const ::testing::TestParamInfo<int> &info)
{
    static const char *const names[] = {"Solo", "Conference", "Video", "VideoTracing"};
    return names[info.param];
}

INSTANTIATE_TEST_SUITE_P(Modes, TransportPlaybackTest, ::testing::Values(Solo, Conference, Video, VideoTracing),
                         ModeName);

class TransportNavigationTest : public TransportPlaybackTest {};

TEST_F(TransportNavigationTest, DoubleClickRestartsForwardWhilePausedPlaysTheNextAndPlayEndsARecording)
{
    MainDlg &d = Open();
    Enter(d, Video);
    boxes.Clear();
    Record(d, 2500);
    Pump(1000); // a second name stamp
    Record(d, 1500);
    ASSERT_EQ(d.ThumbnailList()->GetItemCount(), 2);
    d.mediaLibrary.SelectFirstItem();

    d.OnPlay();
    ASSERT_EQ(d.CurrentActivity(), Playing);
    ASSERT_TRUE(PumpUntil([&] { return Position(d) > 1.0; }, 5000));
    EXPECT_TRUE(d.OnListDoubleClick());
    EXPECT_EQ(d.CurrentActivity(), Playing);
    EXPECT_LT(Position(d), 0.8) << "a double-click restarts the playing item";

    ASSERT_TRUE(PumpUntil([&] { return Position(d) > 0.5; }, 5000));
    d.OnPlay(); // pause
    ASSERT_EQ(d.CurrentActivity(), Paused);
    const QString firstFile = d.currentFilePath;
    d.OnForward();
    EXPECT_EQ(d.CurrentActivity(), Playing);
    EXPECT_NE(d.currentFilePath, firstFile);
    EXPECT_LT(Position(d), 0.8) << "the next item plays from its start";

    // Play during a recording stops it and plays the new file.
    d.OnStop();
    Pump(1000);
    d.OnRecord();
    Pump(1500);
    d.OnPlay();
    EXPECT_EQ(d.CurrentActivity(), Playing);
    EXPECT_FALSE(d.recordButton->IsLatched());
    ASSERT_EQ(d.ThumbnailList()->GetItemCount(), 3);
    EXPECT_EQ(d.ThumbnailList()->GetNextSelectedItem(-1), 2);
    EXPECT_TRUE(d.currentFilePath.endsWith(d.ThumbnailList()->GetItemText(2)));
    EXPECT_TRUE(boxes.Texts().isEmpty()) << boxes.Texts().join(" | ").toStdString();
    Pump(1100);
}

} // namespace

namespace {

// A person hammering the transport bar: random presses, about ten seconds'
// worth per mode. Nothing may crash or hang, and every capture left behind must play.
class TransportRandomWalkTest : public TransportPlaybackTest {};

TEST_P(TransportRandomWalkTest, RapidPressesLeaveOnlyPlayableCaptures)
{
    const int mode = GetParam();
    MainDlg &d = Open();
    Enter(d, mode);
    std::srand(1000 + mode);
    QElapsedTimer walk;
    walk.start();
    int presses = 0;
    // A set number of presses, not a set time: a slow machine or a sanitizer
    // walks as far, only slower. The bound only catches a stalled transport.
    constexpr int kPresses = 60;
    while (presses < kPresses && walk.elapsed() < 60000 * testenv::TimeFactor()) {
        switch (std::rand() % 7) {
        case 0: d.OnRecord(); break;
        case 1: d.OnStop(); break;
        case 2: d.OnPlay(); break;
        case 3: d.OnForward(); break;
        case 4: d.OnBackward(); break;
        case 5: d.OnListDoubleClick(); break;
        default: sliderinput::DragThumbTo(d.positionSlider, std::rand() % 1001); break;
        }
        ++presses;
        Pump(40 + std::rand() % 200);
    }
    d.OnStop();
    Pump(1200);
    EXPECT_EQ(presses, kPresses) << "the transport stalled: " << walk.elapsed() << " ms for " << presses << " presses";
    ui::ListView *list = d.ThumbnailList();
    EXPECT_GT(list->GetItemCount(), 0) << "the walk recorded something";
    boxes.Clear();
    for (int i = 0; i < list->GetItemCount(); ++i) {
        d.OnStop();
        for (int j = 0; j < list->GetItemCount(); ++j)
            list->SetItemState(j, j == i ? ui::ListView::kSelected : 0u, ui::ListView::kSelected);
        list->SetSelectionMark(i);
        d.OnPlay();
        EXPECT_EQ(d.CurrentActivity(), Playing) << list->GetItemText(i).toStdString();
    }
    EXPECT_TRUE(boxes.Texts().isEmpty()) << boxes.Texts().join(" | ").toStdString();
    d.OnStop();
}

std::string AnyModeName(const ::testing::TestParamInfo<int> &info)
{
    static const char *const names[] = {"Solo", "Conference", "Video", "VideoTracing", "Photo"};
    return names[info.param];
}

INSTANTIATE_TEST_SUITE_P(Modes, TransportRandomWalkTest, ::testing::Values(Solo, Conference, Video, VideoTracing, Photo),
                         AnyModeName);

} // namespace
