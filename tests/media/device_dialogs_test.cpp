// The camera and microphone property dialogs: built from what the device
// reports, and every change written to the device.
#include "platform/devices/property_dialogs.h"
#include "platform/devices/pulse_source.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QProcess>
#include <QPushButton>
#include <QSlider>
#include <linux/videodev2.h>
#include <map>

using namespace devices;

namespace {

// A camera with a fixed set of controls that remembers what was written.
class FakeCamera : public V4l2ControlDevice {
public:
    explicit FakeCamera(std::map<std::uint32_t, std::int32_t> *values) : values_(values) {}

    std::vector<V4l2Control> QueryControls() override
    {
        V4l2Control brightness{V4L2_CID_BRIGHTNESS, QStringLiteral("Brightness"), V4l2Control::Type::Integer,
                               -64, 64, 4, 0, {}, false, false};
        V4l2Control autoWhite{V4L2_CID_AUTO_WHITE_BALANCE, QStringLiteral("White Balance, Auto"),
                              V4l2Control::Type::Boolean, 0, 1, 1, 1, {}, false, false};
        V4l2Control temperature{V4L2_CID_WHITE_BALANCE_TEMPERATURE, QStringLiteral("White Balance Temperature"),
                                V4l2Control::Type::Integer, 2800, 6500, 10, 4600, {}, false,
                                (*values_)[V4L2_CID_AUTO_WHITE_BALANCE] != 0};
        V4l2Control powerLine{V4L2_CID_POWER_LINE_FREQUENCY, QStringLiteral("Power Line Frequency"),
                              V4l2Control::Type::Menu, 0, 2, 1, 1,
                              {{0, QStringLiteral("Disabled")}, {1, QStringLiteral("50 Hz")}, {2, QStringLiteral("60 Hz")}},
                              false, false};
        V4l2Control reset{V4L2_CID_PAN_RESET, QStringLiteral("Pan, Reset"), V4l2Control::Type::Button,
                          0, 0, 1, 0, {}, false, false};
        return {brightness, autoWhite, temperature, powerLine, reset};
    }
    bool GetControl(std::uint32_t id, std::int32_t *value) override
    {
        auto it = values_->find(id);
        if (it == values_->end())
            return false;
        *value = it->second;
        return true;
    }
    bool SetControl(std::uint32_t id, std::int32_t value) override
    {
        (*values_)[id] = value;
        return true;
    }

private:
    std::map<std::uint32_t, std::int32_t> *values_;
};

template <class W>
W *Control(QDialog &dialog, std::uint32_t id)
{
    return dialog.findChild<W *>(QStringLiteral("control-%1").arg(id));
}

// A null sink loaded for one test and unloaded after it; the daemon's
// default sink and source are kept as they were.
class PrivateNullSink {
public:
    PrivateNullSink() : name_(QStringLiteral("talvora_devtest_%1").arg(QCoreApplication::applicationPid()))
    {
        const QString defaultSink = Pactl({QStringLiteral("get-default-sink")});
        const QString defaultSource = Pactl({QStringLiteral("get-default-source")});
        module_ = Pactl({QStringLiteral("load-module"), QStringLiteral("module-null-sink"),
                         QStringLiteral("sink_name=") + name_});
        if (!defaultSink.isEmpty())
            Pactl({QStringLiteral("set-default-sink"), defaultSink});
        if (!defaultSource.isEmpty())
            Pactl({QStringLiteral("set-default-source"), defaultSource});
    }
    ~PrivateNullSink()
    {
        if (Loaded())
            Pactl({QStringLiteral("unload-module"), module_});
    }
    bool Loaded() const { return !module_.isEmpty(); }
    QString MonitorName() const { return name_ + QStringLiteral(".monitor"); }

private:
    static QString Pactl(const QStringList &args)
    {
        QProcess pactl;
        pactl.start(QStringLiteral("pactl"), args);
        if (!pactl.waitForFinished(5000) || pactl.exitCode() != 0)
            return {};
        return QString::fromUtf8(pactl.readAllStandardOutput()).trimmed();
    }

    QString name_;
    QString module_;
};

} // namespace

TEST(DeviceDialogs, CameraDialogIsBuiltFromTheQueriedControlsAndWritesThem)
{
    std::map<std::uint32_t, std::int32_t> values{{V4L2_CID_BRIGHTNESS, 8}, {V4L2_CID_AUTO_WHITE_BALANCE, 1},
                                                 {V4L2_CID_POWER_LINE_FREQUENCY, 1}};
    CameraControlsDialog dialog(nullptr, QStringLiteral("Capture Filter"), std::make_unique<FakeCamera>(&values));
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Capture Filter"));

    auto *brightness = Control<QSlider>(dialog, V4L2_CID_BRIGHTNESS);
    ASSERT_TRUE(brightness);
    EXPECT_EQ(brightness->minimum(), -64);
    EXPECT_EQ(brightness->maximum(), 64);
    EXPECT_EQ(brightness->value(), 8); // the device's value, not the default
    brightness->setValue(23);          // between steps of 4: snapped down
    EXPECT_EQ(values[V4L2_CID_BRIGHTNESS], 20);

    auto *temperature = Control<QSlider>(dialog, V4L2_CID_WHITE_BALANCE_TEMPERATURE);
    ASSERT_TRUE(temperature);
    EXPECT_FALSE(temperature->isEnabled()); // inactive while auto is on
    EXPECT_EQ(temperature->value(), 4600);  // unreadable: the default

    auto *autoWhite = Control<QCheckBox>(dialog, V4L2_CID_AUTO_WHITE_BALANCE);
    ASSERT_TRUE(autoWhite);
    EXPECT_TRUE(autoWhite->isChecked());
    autoWhite->setChecked(false);
    EXPECT_EQ(values[V4L2_CID_AUTO_WHITE_BALANCE], 0);
    EXPECT_TRUE(temperature->isEnabled()); // manual white balance now applies

    auto *powerLine = Control<QComboBox>(dialog, V4L2_CID_POWER_LINE_FREQUENCY);
    ASSERT_TRUE(powerLine);
    EXPECT_EQ(powerLine->currentText(), QStringLiteral("50 Hz"));
    powerLine->setCurrentIndex(2);
    Q_EMIT powerLine->activated(2);
    EXPECT_EQ(values[V4L2_CID_POWER_LINE_FREQUENCY], 2);

    auto *reset = Control<QPushButton>(dialog, V4L2_CID_PAN_RESET);
    ASSERT_TRUE(reset);
    reset->click();
    EXPECT_EQ(values[V4L2_CID_PAN_RESET], 1);
}

TEST(DeviceDialogs, CameraWithoutControlsOrNodeStillGivesADialog)
{
    QString error;
    EXPECT_FALSE(OpenV4l2Device(QStringLiteral("/nonexistent/video0"), &error));
    EXPECT_FALSE(error.isEmpty());
    CameraControlsDialog dialog(nullptr, QStringLiteral("Capture Filter"), nullptr);
    EXPECT_TRUE(dialog.findChildren<QSlider *>().isEmpty());
}

TEST(DeviceDialogs, InputPortChoice)
{
    const std::vector<PulsePort> ports{{QStringLiteral("analog-input-linein"), QStringLiteral("Line In"), true},
                                       {QStringLiteral("analog-input-rear-mic"), QStringLiteral("Rear Microphone"), false},
                                       {QStringLiteral("analog-input-front-mic"), QStringLiteral("Front Microphone"), true}};
    const QString mic = QStringLiteral("Microphone");
    // The first plugged-in line named with the text.
    EXPECT_EQ(ChooseInputPort(ports, QStringLiteral("analog-input-linein"), mic), QStringLiteral("analog-input-front-mic"));
    // An active line that already matches is kept.
    EXPECT_EQ(ChooseInputPort(ports, QStringLiteral("analog-input-rear-mic"), mic), QStringLiteral("analog-input-rear-mic"));
    // Case-sensitive, and nothing when no line matches.
    EXPECT_TRUE(ChooseInputPort(ports, QString(), QStringLiteral("microphone")).isEmpty());
    // Only unplugged matches: still the first of them.
    EXPECT_EQ(ChooseInputPort({ports[1]}, QString(), mic), QStringLiteral("analog-input-rear-mic"));
}

TEST(DeviceDialogs, MicrophoneDialogChangesThePulseSourceVolumeAndMute)
{
    if (qEnvironmentVariableIsEmpty("PULSE_SERVER") || !PulseReachable())
        GTEST_SKIP() << "no PulseAudio daemon at PULSE_SERVER (the test run starts one)";
    // A sink of this test's own: muting the shared one would silence the
    // tests that record from it at the same time.
    PrivateNullSink sink;
    ASSERT_TRUE(sink.Loaded()) << "pactl could not load a null sink";
    const QString name = sink.MonitorName();
    auto before = OpenPulseSource(name)->Info();
    ASSERT_TRUE(before);
    ASSERT_FALSE(before->mute);

    MicrophoneDialog dialog(nullptr, name, OpenPulseSource(name));
    auto *volume = dialog.findChild<QSlider *>(QStringLiteral("volume"));
    auto *mute = dialog.findChild<QCheckBox *>(QStringLiteral("mute"));
    ASSERT_TRUE(volume && mute);
    EXPECT_EQ(volume->value(), before->volumePercent);

    volume->setValue(37);
    mute->setChecked(true);
    auto after = OpenPulseSource(name)->Info();
    ASSERT_TRUE(after);
    EXPECT_NEAR(after->volumePercent, 37, 1);
    EXPECT_TRUE(after->mute);
}

TEST(DeviceDialogs, MicrophoneDialogSwitchesTheInputPort)
{
    struct FakeSource : AudioSourceControl {
        PulseSourceInfo info{QStringLiteral("alsa_input.pci"), QStringLiteral("Built-in Audio"), 80, false,
                             {{QStringLiteral("analog-input-mic"), QStringLiteral("Microphone"), true},
                              {QStringLiteral("analog-input-linein"), QStringLiteral("Line In"), false}},
                             QStringLiteral("analog-input-mic")};
        std::optional<PulseSourceInfo> Info() override { return info; }
        bool SetVolumePercent(int percent) override { info.volumePercent = percent; return true; }
        bool SetMute(bool m) override { info.mute = m; return true; }
        bool SetPort(const QString &port) override { info.activePort = port; return true; }
    };
    auto owned = std::make_unique<FakeSource>();
    FakeSource *source = owned.get();
    MicrophoneDialog dialog(nullptr, QStringLiteral("Audio Capture Filter"), std::move(owned));
    auto *port = dialog.findChild<QComboBox *>(QStringLiteral("port"));
    ASSERT_TRUE(port);
    EXPECT_EQ(port->currentText(), QStringLiteral("Microphone"));
    EXPECT_EQ(port->itemText(1), QStringLiteral("Line In (unplugged)"));
    port->setCurrentIndex(1);
    Q_EMIT port->activated(1);
    EXPECT_EQ(source->info.activePort, QStringLiteral("analog-input-linein"));
}

TEST(DeviceDialogs, UnreachableSoundServerIsReportedNotWaitedFor)
{
    const QByteArray saved = qgetenv("PULSE_SERVER");
    qputenv("PULSE_SERVER", "unix:/nonexistent/pulse/native");
    auto source = OpenPulseSource(QStringLiteral("anything"));
    if (saved.isEmpty())
        qunsetenv("PULSE_SERVER");
    else
        qputenv("PULSE_SERVER", saved);
    EXPECT_FALSE(source->Info());
    EXPECT_FALSE(source->SetMute(true));
    MicrophoneDialog dialog(nullptr, QStringLiteral("Audio Capture Filter"), std::move(source));
    EXPECT_FALSE(dialog.findChild<QSlider *>(QStringLiteral("volume")));
}
