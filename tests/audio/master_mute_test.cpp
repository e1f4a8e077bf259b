// MasterMute on a real sound server: the slider scale, the default sink's
// volume and mute as pactl sees them, the change notification, and what is
// left when there is no server or it restarts.
#include "audio/master_mute.h"
#include "platform/diag/diagnostics.h"
#include "platform/mixer/mixer_control_change_event.h"
#include "platform/mixer/pulse_mixer.h"
#include "tests/audio/pulse_test_util.h"

#include <gtest/gtest.h>

#include <QPushButton>

using namespace pulsetest;

namespace {

constexpr std::uint32_t kNominal = mixer::PulseMixer::kNominalVolume;

// Collects the mixer notifications posted to it.
class NotifyTarget : public QObject {
public:
    struct Change {
        std::uint64_t mixer;
        std::uint32_t control;
    };
    std::vector<Change> changes;
    int Count(std::uint64_t mixer, std::uint32_t control) const
    {
        int n = 0;
        for (const Change &c : changes)
            n += c.mixer == mixer && c.control == control;
        return n;
    }

protected:
    void customEvent(QEvent *event) override
    {
        if (event->type() == mixer::MixerControlChangeEvent::Type()) {
            const auto *c = static_cast<mixer::MixerControlChangeEvent *>(event);
            changes.push_back({c->Mixer(), c->ControlId()});
        }
    }
};

class MasterMuteOnServer : public ::testing::Test {
protected:
    void SetUp() override
    {
        server = RunServer();
        if (server.isEmpty())
            GTEST_SKIP() << "no private PulseAudio daemon (tools/test.sh starts one)";
        SetSinkMute(server, false);
        SetSinkVolume(server, {QStringLiteral("50%")});
        button.setCheckable(true);
    }
    QString server;
    QPushButton button;
    NotifyTarget target;
};

} // namespace

TEST(SliderScale, PositionsOfTheNominalRangeAndOfASmallMaximum)
{
    EXPECT_EQ(MasterMute::SliderLevelFor(0, 65535), 0);
    EXPECT_EQ(MasterMute::SliderLevelFor(1, 65535), 0);
    EXPECT_EQ(MasterMute::SliderLevelFor(2, 65535), 1);
    EXPECT_EQ(MasterMute::SliderLevelFor(9362, 65535), 1);
    EXPECT_EQ(MasterMute::SliderLevelFor(9363, 65535), 2);
    EXPECT_EQ(MasterMute::SliderLevelFor(56172, 65535), 6);
    EXPECT_EQ(MasterMute::SliderLevelFor(56173, 65535), 7);
    EXPECT_EQ(MasterMute::SliderLevelFor(65535, 65535), 7);
    // Louder than the maximum is the top position; a failed read is the bottom.
    EXPECT_EQ(MasterMute::SliderLevelFor(98304, 65536), 7);
    EXPECT_EQ(MasterMute::SliderLevelFor(MasterMute::kVolumeFailed, 65536), 0);
    // Step 10: every position is exact, 70 itself is the top.
    EXPECT_EQ(MasterMute::SliderLevelFor(10, 70), 1);
    EXPECT_EQ(MasterMute::SliderLevelFor(11, 70), 2);
    EXPECT_EQ(MasterMute::SliderLevelFor(70, 70), 7);
}

TEST_F(MasterMuteOnServer, VolumeIsTheAverageAndWritesKeepTheBalance)
{
    MasterMute mute;
    EXPECT_EQ(mute.SetMasterVolume(3 * (kNominal / 7)), kNominal);
    EXPECT_EQ(SinkVolume(server), 3 * (kNominal / 7));
    EXPECT_EQ(mute.GetMasterVolume(), 3 * (kNominal / 7));
    EXPECT_EQ(mute.VolumeToSliderLevel(), 3);
    EXPECT_EQ(mute.GetVolumeStep(), kNominal / 7);
    EXPECT_EQ(MasterMute::RememberedMaximum(), kNominal);

    SetSinkVolume(server, {QStringLiteral("20000"), QStringLiteral("40000")});
    EXPECT_EQ(mute.GetMasterVolume(), 30000u);
    mute.SetMasterVolume(15000);
    const auto channels = SinkChannels(server);
    ASSERT_EQ(channels.size(), 2u);
    EXPECT_EQ(channels[0], 10000u);
    EXPECT_EQ(channels[1], 20000u);
}

TEST_F(MasterMuteOnServer, NothingAtOrAboveTheMaximumIsWritten)
{
    MasterMute mute;
    SetSinkVolume(server, {QStringLiteral("30%")});
    const std::uint32_t before = SinkVolume(server);
    EXPECT_EQ(mute.SetMasterVolume(kNominal), kNominal);
    EXPECT_EQ(mute.SetMasterVolume(kNominal * 2), kNominal);
    EXPECT_EQ(SinkVolume(server), before);

    // Set louder from outside: shown at the top, and the read-back of the
    // level mapping does not pull it down.
    SetSinkVolume(server, {QStringLiteral("150%")});
    const std::uint32_t loud = SinkVolume(server);
    EXPECT_GT(loud, kNominal);
    EXPECT_EQ(mute.VolumeToSliderLevel(), 7);
    EXPECT_EQ(SinkVolume(server), loud);
}

TEST_F(MasterMuteOnServer, MuteFollowsTheSinkBothWays)
{
    SetSinkMute(server, true);
    MasterMute mute;
    diag::CaptureScope debug;
    ASSERT_TRUE(mute.InitMuteButton(&button, &target));
    EXPECT_TRUE(mute.IsMuted());
    EXPECT_TRUE(button.isChecked());
    EXPECT_EQ(mute.muteControlId, mixer::PulseMixer::kMuteControlId);
    EXPECT_FALSE(mute.lineName.isEmpty());

    mute.MuteOff();
    EXPECT_FALSE(SinkMuted(server));
    EXPECT_FALSE(button.isChecked());
    mute.MuteOn();
    EXPECT_TRUE(SinkMuted(server));
    EXPECT_TRUE(button.isChecked());
    // MuteOn on a muted flag does not write: the sink unmuted behind its back stays so.
    SetSinkMute(server, false);
    mute.MuteOn();
    EXPECT_FALSE(SinkMuted(server));
    bool value = true;
    ASSERT_TRUE(mute.GetMuteValue(&value));
    EXPECT_FALSE(value);
    EXPECT_TRUE(debug.Lines().isEmpty()) << debug.Lines().join(QLatin1Char('\n')).toStdString();
}

TEST_F(MasterMuteOnServer, OutsideChangesAreNotifiedPerControl)
{
    MasterMute mute;
    ASSERT_TRUE(mute.InitMuteButton(&button, &target));
    const std::uint64_t id = mute.MixerId();
    ASSERT_NE(id, 0u);

    SetSinkMute(server, true);
    EXPECT_TRUE(QTest::qWaitFor([&] { return target.Count(id, mixer::PulseMixer::kMuteControlId) > 0; }, 5000));
    const int mutes = target.Count(id, mixer::PulseMixer::kMuteControlId);
    SetSinkVolume(server, {QStringLiteral("20%")});
    EXPECT_TRUE(QTest::qWaitFor([&] { return target.Count(id, mixer::PulseMixer::kVolumeControlId) > 0; }, 5000));
    // A volume change alone is not a mute change.
    QTest::qWait(200);
    EXPECT_EQ(target.Count(id, mixer::PulseMixer::kMuteControlId), mutes);
}

TEST(MasterMuteWithoutServer, FailsQuietlyWithItsTextsAndKeepsTheFlag)
{
    ServerScope scope(QStringLiteral("unix:/nonexistent/talvora-test/native"));
    diag::CaptureScope debug;
    QPushButton button;
    button.setCheckable(true);
    QObject target;
    MasterMute mute;
    EXPECT_FALSE(mute.InitMuteButton(&button, &target));
    EXPECT_EQ(mute.deviceCount, 0u);
    EXPECT_EQ(mute.mixerHandle, nullptr);
    EXPECT_EQ(debug.Lines(), QStringList{QStringLiteral("Mute amdGetMasterMuteControl fail")});

    debug.Clear();
    EXPECT_EQ(mute.GetMasterVolume(), MasterMute::kVolumeFailed);
    EXPECT_EQ(mute.VolumeToSliderLevel(), 0);
    EXPECT_EQ(debug.Count(QStringLiteral("mixerOpen() failed")), 3);
    EXPECT_EQ(debug.Lines().size(), 3);
    EXPECT_FALSE(mute.SetMuteValue(true));
    bool value = false;
    EXPECT_FALSE(mute.GetMuteValue(&value));
    mute.MuteOn();
    EXPECT_TRUE(mute.IsMuted());
    EXPECT_TRUE(button.isChecked());
}

TEST(MasterMuteServerRestart, ReconnectsAndFollowsANewDefaultSink)
{
    if (RunServer().isEmpty())
        GTEST_SKIP() << "pulseaudio is only started by tools/test.sh runs";
    PrivateDaemon daemon;
    ASSERT_TRUE(daemon.Start());
    ServerScope scope(daemon.Server());
    QPushButton button;
    button.setCheckable(true);
    NotifyTarget target;
    MasterMute mute;
    ASSERT_TRUE(mute.InitMuteButton(&button, &target));
    ASSERT_NE(mute.GetMasterVolume(), MasterMute::kVolumeFailed);

    daemon.Stop();
    ASSERT_TRUE(daemon.Start());
    target.changes.clear();
    // Back within a bounded time, and the new server is announced as a mute change.
    ASSERT_TRUE(QTest::qWaitFor([&] { return mute.GetMasterVolume() != MasterMute::kVolumeFailed; }, 10000));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return target.Count(mute.MixerId(), mixer::PulseMixer::kMuteControlId) > 0; }, 5000));
    mute.SetMasterVolume(2 * (kNominal / 7));
    EXPECT_EQ(SinkVolume(daemon.Server()), 2 * (kNominal / 7));
    EXPECT_TRUE(mute.SetMuteValue(true));
    EXPECT_TRUE(SinkMuted(daemon.Server()));

    // A second sink made the default: the same controls now act on it.
    bool ok = false;
    Pactl(daemon.Server(), {QStringLiteral("load-module"), QStringLiteral("module-null-sink"),
                            QStringLiteral("sink_name=second_null")}, &ok);
    ASSERT_TRUE(ok);
    Pactl(daemon.Server(), {QStringLiteral("set-default-sink"), QStringLiteral("second_null")}, &ok);
    ASSERT_TRUE(ok);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return target.Count(mute.MixerId(), mixer::PulseMixer::kMuteControlId) > 1; }, 5000));
    mute.SetMasterVolume(5 * (kNominal / 7));
    EXPECT_EQ(SinkVolume(daemon.Server()), 5 * (kNominal / 7));
    bool value = true;
    ASSERT_TRUE(mute.GetMuteValue(&value));
    EXPECT_FALSE(value); // the new sink's own mute, not the first one's
    EXPECT_TRUE(mute.FindMasterMuteControl());
}
