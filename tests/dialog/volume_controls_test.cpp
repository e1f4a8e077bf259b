// The volume panel of the real window against the test run's PulseAudio
// daemon: "-", "+", the slider, the mute button, outside changes, and the
// speakers held muted while a recording runs.
#include "controls/hover_button.h"
#include "controls/my_slider_control.h"
#include "platform/devices/device_config.h"
#include "platform/session/session_events.h"
#include "platform/settings/settings_store.h"
#include "tests/audio/pulse_test_util.h"
#include "tests/dialog/dialog_fixture.h"
#include "tests/dialog/slider_input.h"

#include <QTest>

using namespace pulsetest;

namespace {

constexpr std::uint32_t kStep = 65536 / 7; // the sink's nominal maximum over seven positions

QString Raw(std::uint32_t v) { return QString::number(v); }

class VolumePanelTest : public DialogTest {
protected:
    void SetUp() override
    {
        server = RunServer();
        if (server.isEmpty() || server.contains(QStringLiteral("nonexistent")))
            GTEST_SKIP() << "no private PulseAudio daemon (tools/test.sh starts one)";
        DialogTest::SetUp();
        SetSinkMute(server, false);
        SetSinkVolume(server, {Raw(3 * kStep)});
    }
    bool Eventually(const std::function<bool()> &condition)
    {
        return QTest::qWaitFor(condition, int(5000 * testenv::TimeFactor()));
    }
    // Until the Record press's hold has run out, a second press is dropped.
    bool RecordHoldOver() { return Eventually([] { return !recordBusy; }); }
    QString server;
};

} // namespace

TEST_F(VolumePanelTest, ButtonsStepTheSinkOnePositionWithinTheRange)
{
    MainDlg &d = Open();
    EXPECT_EQ(d.volumeSlider->minimum(), 0);
    EXPECT_EQ(d.volumeSlider->maximum(), 7);
    ASSERT_EQ(d.volumeSlider->value(), 3);

    d.volumeUpButton->click();
    EXPECT_EQ(SinkVolume(server), 4 * kStep);
    EXPECT_EQ(d.volumeSlider->value(), 4);
    EXPECT_EQ(d.lastMasterVolume, 4 * kStep);
    d.volumeDownButton->click();
    d.volumeDownButton->click();
    EXPECT_EQ(SinkVolume(server), 2 * kStep);
    EXPECT_EQ(d.volumeSlider->value(), 2);

    d.volumeSlider->setValue(0);
    d.volumeDownButton->click();
    EXPECT_EQ(d.volumeSlider->value(), 0);
    EXPECT_EQ(SinkVolume(server), 2 * kStep) << "\"-\" at the bottom writes nothing";
    d.volumeSlider->setValue(7);
    d.volumeUpButton->click();
    EXPECT_EQ(d.volumeSlider->value(), 7);
    EXPECT_EQ(SinkVolume(server), 2 * kStep) << "\"+\" at the top writes nothing";

    // A drag of the thumb that ends at 6 sets six steps.
    d.volumeSlider->setValue(4);
    sliderinput::DragThumbTo(d.volumeSlider, 6);
    EXPECT_EQ(d.volumeSlider->value(), 6);
    EXPECT_EQ(SinkVolume(server), 6 * kStep);
}

// Each way a person moves the slider ends with the speakers at the level the
// slider shows, one step per page.
TEST_F(VolumePanelTest, EveryInputOnTheSliderLeavesTheSpeakersAtTheShownLevel)
{
    MainDlg &d = Open();
    CMySliderControl *slider = d.volumeSlider;
    ASSERT_EQ(slider->value(), 3);
    EXPECT_EQ(slider->pageStep(), 1) << "a fifth of the range";
    auto expectShown = [&](int level, const char *what) {
        EXPECT_EQ(slider->value(), level) << what;
        EXPECT_EQ(SinkVolume(server), std::uint32_t(slider->value()) * kStep) << what;
        EXPECT_EQ(d.lastMasterVolume, SinkVolume(server)) << what;
    };

    sliderinput::ClickTrack(slider, false);
    expectShown(2, "a click on the track left of the thumb");
    sliderinput::ClickTrack(slider, true);
    sliderinput::ClickTrack(slider, true);
    expectShown(4, "two clicks right of the thumb");
    sliderinput::DragThumbTo(slider, 1);
    expectShown(1, "a drag of the thumb");

    slider->setFocus();
    const struct {
        Qt::Key key;
        int level;
        const char *what;
    } keys[] = {{Qt::Key_PageUp, 2, "PageUp"}, {Qt::Key_Right, 3, "Right"}, {Qt::Key_Up, 4, "Up"},
                {Qt::Key_PageDown, 3, "PageDown"}, {Qt::Key_Left, 2, "Left"}, {Qt::Key_Down, 1, "Down"},
                {Qt::Key_End, 7, "End"}, {Qt::Key_Home, 0, "Home"}};
    for (const auto &k : keys) {
        QTest::keyClick(slider, k.key);
        expectShown(k.level, k.what);
    }

    const QPoint over = sliderinput::ThumbRect(slider).center();
    sliderinput::TurnWheel(slider, 1, over);
    expectShown(1, "the wheel turned one notch up");
    sliderinput::TurnWheel(slider, 1, over);
    sliderinput::TurnWheel(slider, -1, over);
    expectShown(1, "two notches up and one down");
}

TEST_F(VolumePanelTest, TheSliderTakesTheLevelTheSpeakersReallyPlay)
{
    MainDlg &d = Open();
    // Unbalanced speakers: keeping the balance, the loud side stops at 100 %,
    // so the top level asked for is not reached.
    SetSinkVolume(server, {QStringLiteral("100%"), QStringLiteral("20%")});
    d.volumeSlider->setFocus();
    QTest::keyClick(d.volumeSlider, Qt::Key_End);
    const std::uint32_t real = SinkVolume(server);
    EXPECT_LT(real, 7 * kStep);
    EXPECT_LT(d.volumeSlider->value(), 7);
    EXPECT_EQ(d.volumeSlider->value(), MasterMute::SliderLevelFor(real, 65536));
    EXPECT_EQ(d.lastMasterVolume, real);
}

TEST_F(VolumePanelTest, VolumeTouchedWhileMutedAndIdleUnmutesFirst)
{
    MainDlg &d = Open();
    SetSinkMute(server, true);
    ASSERT_TRUE(Eventually([&] { return d.mute.IsMuted(); }));
    EXPECT_TRUE(d.muteButton->IsLatched());
    d.volumeUpButton->click();
    EXPECT_FALSE(SinkMuted(server));
    EXPECT_FALSE(d.muteButton->IsLatched());
    EXPECT_EQ(SinkVolume(server), 4 * kStep);
    // So does a click on the slider's track.
    SetSinkMute(server, true);
    ASSERT_TRUE(Eventually([&] { return d.mute.IsMuted(); }));
    sliderinput::ClickTrack(d.volumeSlider, true);
    EXPECT_FALSE(SinkMuted(server));
    EXPECT_FALSE(d.muteButton->IsLatched());
    EXPECT_EQ(SinkVolume(server), 5 * kStep);
    d.volumeDownButton->click();

    // While recording the same press leaves the speakers muted.
    SetSinkMute(server, true);
    ASSERT_TRUE(Eventually([&] { return d.mute.IsMuted(); }));
    d.activity = Recording;
    d.volumeUpButton->click();
    EXPECT_TRUE(SinkMuted(server));
    EXPECT_EQ(SinkVolume(server), 5 * kStep);
    d.activity = Idle;
}

TEST_F(VolumePanelTest, MuteButtonTogglesTheSinkExceptDuringARecording)
{
    MainDlg &d = Open();
    d.muteButton->click();
    EXPECT_TRUE(SinkMuted(server));
    EXPECT_TRUE(d.mute.IsMuted());
    EXPECT_TRUE(d.muteButton->IsLatched());
    d.muteButton->click();
    EXPECT_FALSE(SinkMuted(server));
    EXPECT_FALSE(d.muteButton->IsLatched());

    d.activity = Recording;
    d.muteButton->click();
    EXPECT_FALSE(SinkMuted(server));
    EXPECT_FALSE(d.mute.IsMuted());
    EXPECT_FALSE(d.muteButton->IsLatched());
    EXPECT_FALSE(d.muteButton->isChecked());
    d.activity = Idle;
}

TEST_F(VolumePanelTest, OutsideUnmuteDuringARecordingIsUndone)
{
    MainDlg &d = Open();
    d.activity = Recording;
    d.mute.MuteOn();
    ASSERT_TRUE(SinkMuted(server));
    SetSinkMute(server, false);
    EXPECT_TRUE(Eventually([&] { return SinkMuted(server) && d.muteButton->IsLatched(); }));
    d.activity = Idle;
    // Not recording: the outside unmute stands, and the button follows it.
    SetSinkMute(server, false);
    EXPECT_TRUE(Eventually([&] { return !d.muteButton->IsLatched(); }));
    EXPECT_FALSE(SinkMuted(server));
}

TEST_F(VolumePanelTest, OutsideVolumeReachesTheSliderWithTheNextMuteChange)
{
    MainDlg &d = Open();
    d.volumeUpButton->click(); // sets lastMasterVolume
    SetSinkVolume(server, {Raw(5 * kStep)});
    // A wrong reaction would need the server's change notice: give it a moment.
    QTest::qWait(300);
    EXPECT_EQ(d.volumeSlider->value(), 4) << "a volume change alone does not move the slider";
    SetSinkMute(server, true);
    EXPECT_TRUE(Eventually([&] { return d.volumeSlider->value() == 5 && d.mute.IsMuted(); }));

    SetSinkVolume(server, {QStringLiteral("150%")});
    const std::uint32_t loud = SinkVolume(server);
    SetSinkMute(server, false);
    EXPECT_TRUE(Eventually([&] { return d.volumeSlider->value() == 7 && !d.mute.IsMuted(); }));
    d.volumeUpButton->click();
    EXPECT_EQ(SinkVolume(server), loud) << "nothing above the nominal maximum is written";
    d.volumeDownButton->click();
    EXPECT_EQ(SinkVolume(server), 6 * kStep);
}

TEST_F(VolumePanelTest, RecordingMuteEndsWithTheRecordingUnlessTheUserHadMuted)
{
    MainDlg &d = Open();
    d.OnConference();
    // Unmuted before: the recording's mute ends when the mode is left...
    d.mutedBeforeRecording = d.mute.IsMuted();
    d.mute.MuteOn();
    d.activity = Recording;
    ASSERT_TRUE(SinkMuted(server));
    d.OnSolo();
    EXPECT_FALSE(SinkMuted(server));
    EXPECT_FALSE(d.muteButton->IsLatched());

    // ...and when the window is closed.
    d.mutedBeforeRecording = d.mute.IsMuted();
    d.mute.MuteOn();
    d.activity = Recording;
    ASSERT_TRUE(SinkMuted(server));
    d.close();
    EXPECT_FALSE(SinkMuted(server));
}

TEST_F(VolumePanelTest, ARecordingStartedMutedLeavesTheSpeakersMuted)
{
    MainDlg &d = Open();
    d.OnConference();
    d.muteButton->click();
    ASSERT_TRUE(SinkMuted(server));
    d.mutedBeforeRecording = d.mute.IsMuted();
    d.mute.MuteOn();
    d.activity = Recording;
    d.StopRecording();
    EXPECT_TRUE(SinkMuted(server));
    EXPECT_TRUE(d.muteButton->IsLatched());
}

TEST_F(VolumePanelTest, SpeakersTheUserMutedStayMutedAcrossStartAndModeChanges)
{
    SetSinkMute(server, true);
    MainDlg &d = Open();
    EXPECT_TRUE(SinkMuted(server));
    d.OnVideo();
    d.OnSolo();
    EXPECT_TRUE(SinkMuted(server));
    EXPECT_TRUE(d.mute.IsMuted());
}

TEST_F(DialogTest, WithoutASoundServerThePanelStillMovesAndToggles)
{
    pulsetest::ServerScope scope(QStringLiteral("unix:/nonexistent/talvora-test/native"));
    MainDlg &d = Open();
    EXPECT_EQ(d.volumeSlider->value(), 0);
    for (int i = 0; i < 9; ++i)
        d.volumeUpButton->click();
    EXPECT_EQ(d.volumeSlider->value(), 7);
    d.volumeDownButton->click();
    EXPECT_EQ(d.volumeSlider->value(), 6);
    d.muteButton->click();
    EXPECT_TRUE(d.mute.IsMuted());
    EXPECT_TRUE(d.muteButton->IsLatched());
    // The slider itself shows what the speakers play: with no server, nothing.
    sliderinput::ClickTrack(d.volumeSlider, false);
    EXPECT_EQ(d.volumeSlider->value(), 0);
    // Of the mixer, only its fixed texts.
    EXPECT_TRUE(debug.Contains(QStringLiteral("Mute amdGetMasterMuteControl fail")));
    EXPECT_GT(debug.Count(QStringLiteral("mixerOpen() failed")), 0);
    for (const QString &line : debug.Lines()) {
        if (line.contains(QStringLiteral("mixer"), Qt::CaseInsensitive) || line.contains(QStringLiteral("Mute"))) {
            EXPECT_TRUE(line == QStringLiteral("Mute amdGetMasterMuteControl fail")
                        || line == QStringLiteral("mixerOpen() failed"))
                << line.toStdString();
        }
    }
}

TEST_F(VolumePanelTest, SpeakersARecordingHeldMutedComeBackAtTheStartAfterACrash)
{
    devices::DeviceConfigScope devices(devices::DeviceConfig::Parse(
        {QStringLiteral("--camera=test"), QStringLiteral("--microphone=test")}, QString(), QString()));
    // What a process that died during a recording leaves behind.
    settings::SettingsStore::WriteMutedForRecording(true);
    SetSinkMute(server, true);
    MainDlg &d = Open();
    EXPECT_FALSE(SinkMuted(server));
    EXPECT_FALSE(d.muteButton->IsLatched());
    EXPECT_FALSE(settings::SettingsStore::ReadMutedForRecording());

    // A recording notes the mute it holds while it runs, and takes it back with Stop.
    d.OnRecord(); // Solo
    ASSERT_EQ(d.CurrentActivity(), Recording);
    EXPECT_TRUE(SinkMuted(server));
    EXPECT_TRUE(settings::SettingsStore::ReadMutedForRecording());
    ASSERT_TRUE(RecordHoldOver());
    d.OnStop();
    EXPECT_FALSE(SinkMuted(server));
    EXPECT_FALSE(settings::SettingsStore::ReadMutedForRecording());
}

// A suspend (or a switch of user) ends a recording but leaves the speakers
// muted, noted as the program's. Only that mute is undone later: one the user
// sets meanwhile stays.
TEST_F(VolumePanelTest, AMuteTheUserSetsAfterASuspendEndedARecordingStaysAtTheNextStart)
{
    devices::DeviceConfigScope devices(devices::DeviceConfig::Parse(
        {QStringLiteral("--camera=test"), QStringLiteral("--microphone=test")}, QString(), QString()));
    consoleAttached = true;
    MainDlg &d = Open();
    d.OnRecord(); // Solo
    ASSERT_EQ(d.CurrentActivity(), Recording);
    d.OnPowerBroadcast(session::PBT_APMSUSPEND, 0);
    ASSERT_EQ(d.CurrentActivity(), Idle);
    EXPECT_TRUE(SinkMuted(server));
    EXPECT_TRUE(settings::SettingsStore::ReadMutedForRecording()) << "the program's own mute, left behind";

    // The user unmutes and mutes again with the button: now it is theirs.
    ASSERT_TRUE(RecordHoldOver());
    QTest::mouseClick(d.muteButton, Qt::LeftButton, {}, d.muteButton->rect().center());
    ASSERT_TRUE(Eventually([&] { return !SinkMuted(server); }));
    QTest::mouseClick(d.muteButton, Qt::LeftButton, {}, d.muteButton->rect().center());
    ASSERT_TRUE(Eventually([&] { return SinkMuted(server); }));
    EXPECT_FALSE(settings::SettingsStore::ReadMutedForRecording());
    dialog.reset();
    MainDlg &again = Open();
    EXPECT_TRUE(SinkMuted(server)) << "the user's mute survives the next start";
    EXPECT_TRUE(again.mute.IsMuted());
}

TEST_F(VolumePanelTest, AMuteASuspendLeftBehindIsGivenBackByTheNextRecordingOrTheNextStart)
{
    devices::DeviceConfigScope devices(devices::DeviceConfig::Parse(
        {QStringLiteral("--camera=test"), QStringLiteral("--microphone=test")}, QString(), QString()));
    consoleAttached = true;
    MainDlg &d = Open();
    d.OnRecord(); // Solo
    d.OnPowerBroadcast(session::PBT_APMSUSPEND, 0);
    d.OnPowerBroadcast(session::PBT_APMRESUMESUSPEND, 0);
    ASSERT_TRUE(SinkMuted(server));
    ASSERT_TRUE(RecordHoldOver());
    // The next recording of the same run holds the mute and gives the speakers back at its end.
    d.OnRecord();
    ASSERT_EQ(d.CurrentActivity(), Recording);
    ASSERT_TRUE(RecordHoldOver());
    d.OnStop();
    EXPECT_FALSE(SinkMuted(server));
    EXPECT_FALSE(settings::SettingsStore::ReadMutedForRecording());

    // Left behind again and the program closed: the next start gives them back.
    ASSERT_TRUE(RecordHoldOver());
    d.OnRecord();
    d.OnPowerBroadcast(session::PBT_APMSUSPEND, 0);
    ASSERT_TRUE(SinkMuted(server));
    dialog.reset();
    Open();
    EXPECT_FALSE(SinkMuted(server));
    EXPECT_FALSE(settings::SettingsStore::ReadMutedForRecording());
}
