// The transport bar on the dialog, offscreen, with virtual devices: what
// Record, Stop, Play, Forward, Backward and the list's double-click leave
// behind in the activity, the buttons' looks, the list and the folders.
#include "controls/hover_button.h"
#include "platform/devices/device_config.h"
#include "platform/ui/list_view.h"
#include "tests/dialog/dialog_fixture.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTimer>
#include <QSlider>
#include <QThread>

namespace {

void Pump(int ms) { PumpFor(ms); }

// Until the photo preview holds a frame, a snapshot has nothing to take.
bool PreviewHoldsAFrame(MainDlg &d)
{
    return PumpUntil([&d] {
        media::LONG size = 0;
        return d.photoPreview.sampleGrabber && Succeeded(d.photoPreview.sampleGrabber->GetCurrentBuffer(&size, nullptr));
    }, 5000);
}

// Lets the one-second Record hold run out.
void WaitOutRecordHold() { EXPECT_TRUE(PumpUntil([] { return !recordBusy; }, 5000)) << "the Record hold runs out"; }

QStringList Files(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files, QDir::Name);
}

devices::DeviceConfig TestDevices(const char *camera = "--camera=test")
{
    return devices::DeviceConfig::Parse({QLatin1String(camera), QStringLiteral("--microphone=test")}, QString(),
                                        QString());
}

// Captures with time-stamp names, oldest first: real pictures for "jpg",
// foreign bytes for the media extensions.
void MakeCaptures(const QString &folder, const char *ext, int count)
{
    for (int i = 0; i < count; ++i) {
        const QString name =
            folder + QStringLiteral("20260101-1000%1.%2").arg(i, 2, 10, QLatin1Char('0')).arg(QLatin1String(ext));
        if (qstrcmp(ext, "jpg") == 0) {
            QImage image(64, 48, QImage::Format_RGB32);
            image.fill(QColor::fromHsv(60 * i, 255, 255));
            image.save(name, "JPEG");
            continue;
        }
        QFile f(name);
        f.open(QIODevice::WriteOnly);
        f.write("not a real capture");
    }
}

int Selected(const MainDlg &d) { return d.ThumbnailList()->GetNextSelectedItem(-1); }

class TransportTest : public DialogTest {
protected:
    void TearDown() override
    {
        dialog.reset();
        // No test leaves Record locked for the next one.
        EXPECT_FALSE(recordBusy);
    }
};

TEST_F(TransportTest, VideoRecordAndStopWriteOneSelectedFileAndGiveTheLiveViewBack)
{
    devices::DeviceConfigScope devices(TestDevices());
    MainDlg &d = Open();
    d.OnVideo();
    Pump(300);
    d.OnRecord();
    EXPECT_EQ(d.CurrentActivity(), Recording);
    EXPECT_TRUE(d.recordButton->IsLatched());
    EXPECT_TRUE(d.mute.IsMuted()) << "recording mutes the speakers";
    ASSERT_EQ(d.ThumbnailList()->GetItemCount(), 1) << "the file being written is listed";
    EXPECT_EQ(Selected(d), 0);
    WaitOutRecordHold();
    d.OnStop();
    EXPECT_EQ(d.CurrentActivity(), Idle);
    EXPECT_FALSE(d.recordButton->IsLatched());
    EXPECT_FALSE(d.mute.IsMuted()) << "the speakers come back";
    const QStringList files = Files(d.Paths().videoFolder);
    ASSERT_EQ(files.size(), 1);
    EXPECT_TRUE(files[0].endsWith(QStringLiteral(".wmv")));
    EXPECT_GT(QFileInfo(d.Paths().videoFolder + files[0]).size(), 1000);
    EXPECT_EQ(Selected(d), 0) << "Stop during a recording selects the new last item";
    EXPECT_TRUE(d.videoRecorder.running) << "the camera preview runs again";
    EXPECT_EQ(d.positionSlider->value(), 0);
}

TEST_F(TransportTest, ARecordPressDuringTheHoldIsDroppedAndTheEventLoopKeepsRunning)
{
    devices::DeviceConfigScope devices(TestDevices());
    MainDlg &d = Open();
    d.OnVideo();
    d.OnRecord();
    ASSERT_EQ(d.CurrentActivity(), Recording);
    QElapsedTimer sinceRecord;
    sinceRecord.start();
    bool ticked = false;
    QTimer::singleShot(100, [&ticked] { ticked = true; });
    while (!ticked && sinceRecord.elapsed() < 900)
        Pump(10);
    EXPECT_TRUE(ticked) << "the hold does not block the dialog's thread";
    // The second press must land inside the one-second hold to test it.
    ASSERT_LT(sinceRecord.elapsed(), 1000);
    d.OnRecord(); // inside the hold: dropped
    EXPECT_EQ(d.CurrentActivity(), Recording);
    EXPECT_TRUE(d.recordButton->IsLatched());
    WaitOutRecordHold();
    d.OnRecord(); // after the hold: finishes the recording
    EXPECT_EQ(d.CurrentActivity(), Idle);
    EXPECT_EQ(Files(d.Paths().videoFolder).size(), 1);
    WaitOutRecordHold();
}

TEST_F(TransportTest, AFailedRecordingStartStaysIdleUnlatchedAndGivesTheSpeakersBack)
{
    // No microphone and no camera (the fixture's devices).
    MainDlg &d = Open();
    for (auto enter : {&MainDlg::OnConference, &MainDlg::OnVideo, &MainDlg::OnVideoTracing}) {
        (d.*enter)();
        boxes.Clear();
        d.OnRecord();
        EXPECT_EQ(d.CurrentActivity(), Idle) << "mode " << d.CurrentMode();
        EXPECT_FALSE(d.recordButton->IsLatched());
        EXPECT_FALSE(d.mute.IsMuted());
        EXPECT_LE(boxes.Texts().size(), 1) << boxes.Texts().join(" | ").toStdString();
        WaitOutRecordHold();
    }
    EXPECT_TRUE(Files(d.Paths().videoFolder).isEmpty());
    EXPECT_TRUE(Files(d.Paths().tVideoFolder).isEmpty());
    EXPECT_TRUE(Files(d.Paths().audioConferenceFolder).isEmpty());

    // Speakers muted by the user before stay muted.
    d.mute.MuteOn();
    d.OnRecord();
    EXPECT_TRUE(d.mute.IsMuted());
    WaitOutRecordHold();
}

TEST_F(TransportTest, AMissingMicrophoneInVideoIsToldOnceAndThePreviewComesBack)
{
    devices::DeviceConfig config = TestDevices();
    config.microphone.none = true;
    devices::DeviceConfigScope devices(config);
    MainDlg &d = Open();
    d.OnVideo();
    boxes.Clear();
    d.OnRecord();
    EXPECT_EQ(boxes.Count(QStringLiteral("Microphone device is not detected.!")), 1);
    EXPECT_EQ(boxes.Texts().size(), 1);
    EXPECT_EQ(d.CurrentActivity(), Idle);
    EXPECT_TRUE(d.videoRecorder.running) << "the live view is given back";
    EXPECT_TRUE(Files(d.Paths().videoFolder).isEmpty());
    WaitOutRecordHold();
}

TEST_F(TransportTest, PhotoRecordAddsASelectedPictureAndPlayShowsItUntilPlayOrStop)
{
    devices::DeviceConfigScope devices(TestDevices());
    MainDlg &d = Open();
    d.OnPhoto();
    ASSERT_TRUE(PreviewHoldsAFrame(d));
    d.OnRecord();
    EXPECT_EQ(d.CurrentActivity(), Idle);
    EXPECT_FALSE(d.recordButton->IsLatched()) << "a snapshot is no recording";
    EXPECT_FALSE(d.mute.IsMuted()) << "photos do not touch the speakers";
    const QStringList files = Files(d.Paths().photoFolder);
    ASSERT_EQ(files.size(), 1);
    EXPECT_TRUE(files[0].endsWith(QStringLiteral(".jpg")));
    EXPECT_EQ(Selected(d), 0);
    WaitOutRecordHold();

    d.OnPlay();
    EXPECT_EQ(d.CurrentActivity(), Playing);
    EXPECT_TRUE(d.playButton->IsLatched());
    EXPECT_EQ(d.currentFilePath, d.Paths().photoFolder + files[0]);
    d.OnPlay(); // back to the live picture
    EXPECT_EQ(d.CurrentActivity(), Idle);
    EXPECT_FALSE(d.playButton->IsLatched());
    d.OnPlay();
    EXPECT_EQ(d.CurrentActivity(), Playing);
    d.OnStop();
    EXPECT_EQ(d.CurrentActivity(), Idle);
    EXPECT_FALSE(d.playButton->IsLatched());
    EXPECT_EQ(Selected(d), -1) << "Stop after a playback leaves no selection";
    boxes.Clear();
    d.OnPlay();
    EXPECT_EQ(boxes.Count(QStringLiteral("No item is selected!!")), 1);
    EXPECT_EQ(d.CurrentActivity(), Idle);
}

TEST_F(TransportTest, RecordWhileAPhotoIsShownGoesBackToTheLiveViewAndTakesAnother)
{
    devices::DeviceConfigScope devices(TestDevices());
    MainDlg &d = Open();
    d.OnPhoto();
    ASSERT_TRUE(PreviewHoldsAFrame(d));
    d.OnRecord();
    WaitOutRecordHold();
    d.OnPlay();
    ASSERT_EQ(d.CurrentActivity(), Playing);
    d.OnRecord();
    EXPECT_EQ(d.CurrentActivity(), Idle);
    EXPECT_FALSE(d.playButton->IsLatched());
    WaitOutRecordHold();
    // Names are stamped to the second; a second snapshot in the same second
    // replaces the first, so only "at least one" and "the last is selected" hold.
    const int count = d.ThumbnailList()->GetItemCount();
    EXPECT_GE(count, 1);
    EXPECT_EQ(Selected(d), count - 1);
}

TEST_F(TransportTest, ForwardAndBackwardMoveWithinTheListAndStopAtItsEnds)
{
    MainDlg &d = Open();
    MakeCaptures(d.Paths().photoFolder, "jpg", 3);
    d.OnPhoto();
    ASSERT_EQ(Selected(d), 0);
    d.OnBackward();
    EXPECT_EQ(Selected(d), 0) << "Backward on the first item does nothing";
    d.OnForward();
    d.OnForward();
    EXPECT_EQ(Selected(d), 2);
    EXPECT_EQ(d.ThumbnailList()->GetSelectionMark(), 2);
    d.OnForward();
    EXPECT_EQ(Selected(d), 2) << "Forward on the last item does nothing";
    d.OnBackward();
    EXPECT_EQ(Selected(d), 1);
    EXPECT_EQ(d.CurrentActivity(), Idle) << "moving while idle plays nothing";
}

TEST_F(TransportTest, ForwardWhileAPhotoIsShownShowsTheNextOne)
{
    MainDlg &d = Open();
    MakeCaptures(d.Paths().photoFolder, "jpg", 2);
    d.OnPhoto();
    d.OnPlay();
    ASSERT_EQ(d.CurrentActivity(), Playing);
    d.OnForward();
    EXPECT_EQ(d.CurrentActivity(), Playing);
    EXPECT_EQ(d.currentFilePath, d.Paths().photoFolder + QStringLiteral("20260101-100001.jpg"));
}

TEST_F(TransportTest, DoubleClickRestartsTheShownItemAndNeedsASelection)
{
    MainDlg &d = Open();
    MakeCaptures(d.Paths().photoFolder, "jpg", 2);
    d.OnPhoto();
    d.OnPlay();
    ASSERT_EQ(d.CurrentActivity(), Playing);
    EXPECT_TRUE(d.OnListDoubleClick());
    EXPECT_EQ(d.CurrentActivity(), Playing) << "Play would have paused; a double-click restarts";
    EXPECT_TRUE(d.playButton->IsLatched());
    d.OnStop();
    boxes.Clear();
    EXPECT_FALSE(d.OnListDoubleClick()) << "early return without a result";
    EXPECT_EQ(boxes.Count(QStringLiteral("No item is selected!!")), 1);
}

TEST_F(TransportTest, PathsAreComparedExactlyIncludingCase)
{
    MainDlg &d = Open();
    MakeCaptures(d.Paths().photoFolder, "jpg", 1);
    d.OnPhoto();
    d.OnPlay();
    ASSERT_EQ(d.CurrentActivity(), Playing);
    d.currentFilePath = d.currentFilePath.toUpper();
    d.OnPlay(); // another path: shown again rather than paused
    EXPECT_EQ(d.CurrentActivity(), Playing);
    d.OnPlay(); // the same path now: back to the live view
    EXPECT_EQ(d.CurrentActivity(), Idle);
}

TEST_F(TransportTest, AForeignFileInVideoFailsOnceAndTheNextPressesDoNotCrash)
{
    devices::DeviceConfigScope devices(TestDevices());
    MainDlg &d = Open();
    MakeCaptures(d.Paths().videoFolder, "wmv", 2); // text, not ASF
    d.OnVideo();
    boxes.Clear();
    d.OnPlay();
    EXPECT_EQ(boxes.Count(QStringLiteral("Video Player Fail!!")), 1);
    EXPECT_EQ(boxes.Texts().size(), 1);
    EXPECT_EQ(d.CurrentActivity(), Idle);
    EXPECT_FALSE(d.playButton->IsLatched());
    EXPECT_TRUE(d.videoRecorder.running) << "the camera is not left dark";
    // Every other button on top of the failure.
    d.OnForward();
    d.OnBackward();
    d.OnTimer(100);
    d.positionSlider->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(d.OnGraphEvent(), 0);
    d.OnStop();
    EXPECT_EQ(d.CurrentActivity(), Idle);
    EXPECT_TRUE(d.videoRecorder.running);
}

TEST_F(TransportTest, ACaptureDeletedWhileSelectedFailsWithThePlayersMessage)
{
    MainDlg &d = Open();
    MakeCaptures(d.Paths().audioSoloFolder, "wma", 1);
    d.OnConference();
    d.OnSolo();
    ASSERT_EQ(Selected(d), 0);
    QFile::remove(d.Paths().audioSoloFolder + QStringLiteral("20260101-100000.wma"));
    boxes.Clear();
    d.OnPlay();
    EXPECT_EQ(boxes.Count(QStringLiteral("Audio Player Fail!!")), 1);
    EXPECT_EQ(d.CurrentActivity(), Idle);
    d.OnPlay(); // pressed again: the same failure, no crash
    EXPECT_EQ(boxes.Count(QStringLiteral("Audio Player Fail!!")), 2);
}

TEST_F(TransportTest, ThePositionTimerRunsWithId100AndLeavesTheSliderAloneWithoutAPlayer)
{
    MainDlg &d = Open();
    MakeCaptures(d.Paths().photoFolder, "jpg", 1);
    d.OnPhoto();
    d.OnPlay();
    EXPECT_EQ(d.playTimerId, 100u);
    d.OnVideo();
    d.positionSlider->setValue(0);
    Pump(350);
    EXPECT_EQ(d.positionSlider->value(), 0);
    // A foreign timer id is ignored.
    d.positionSlider->setValue(300);
    d.OnTimer(7);
    EXPECT_EQ(d.positionSlider->value(), 300);
}

} // namespace
