// The device menu's property dialogs: found once, reused, and really editing
// the device that other graphs are using.
#include "capture/device_discovery.h"
#include "capture/device_settings.h"
#include "capture/graph_utils.h"
#include "platform/devices/device_enumerator.h"
#include "platform/devices/property_pages.h"
#include "platform/devices/pulse_source.h"
#include "platform/devices/virtual_device.h"
#include "platform/media/factory.h"
#include "platform/media/source_filter.h"
#include "platform/ui/message_box.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QSlider>

using namespace devices;

namespace {

DeviceConfig Config(const QStringList &cameras, const QStringList &microphones)
{
    QStringList args;
    for (const QString &c : cameras)
        args << QStringLiteral("--camera=") + c;
    for (const QString &m : microphones)
        args << QStringLiteral("--microphone=") + m;
    return DeviceConfig::Parse(args, QString(), QString());
}

int PatternOf(const std::shared_ptr<media::IBaseFilter> &camera)
{
    GstElement *bin = media::SourceElementOf(camera);
    GstElement *source = gst_bin_get_by_name(GST_BIN(bin), "source");
    int pattern = -1;
    g_object_get(source, "pattern", &pattern, nullptr);
    gst_object_unref(source);
    return pattern;
}

void Choose(QComboBox *combo, const QString &text)
{
    const int index = combo->findText(text);
    ASSERT_GE(index, 0) << text.toStdString();
    combo->setCurrentIndex(index);
    Q_EMIT combo->activated(index);
}

} // namespace

TEST(DeviceSettings, SecondOpeningReusesTheGraphAndFilter)
{
    const DeviceConfig config = Config({QStringLiteral("test")}, {});
    auto device = VirtualDevicesFor(DeviceKind::Video, config.camera).at(0);
    int binds = 0;
    auto moniker = std::make_shared<SimpleMoniker>(
        device->FriendlyName(), QString(), [&binds, device](std::shared_ptr<media::IBaseFilter> *filter) {
            ++binds;
            media::SourceOptions options;
            *filter = media::MakeSourceFilter(device->CreateElement(nullptr), options);
            return S_OK;
        });
    RegisterSystemDeviceEnum();
    media::RegisterClassFactory(media::CLSID_SystemDeviceEnum, [moniker](std::shared_ptr<media::IUnknown> *out) {
        struct OneDevice : ICreateDevEnum {
            std::shared_ptr<IMoniker> moniker;
            HRESULT CreateClassEnumerator(const media::Guid &, std::shared_ptr<IEnumMoniker> *e, media::DWORD) override
            {
                *e = std::make_shared<MonikerList>(std::vector<std::shared_ptr<IMoniker>>{moniker});
                return S_OK;
            }
        };
        auto e = std::make_shared<OneDevice>();
        e->moniker = moniker;
        *out = e;
        return S_OK;
    });

    struct Restore {
        ~Restore() { RegisterSystemDeviceEnum(true); }
    } restore;
    RecordingFramePresenter frames;
    DeviceSettings settings;
    EXPECT_EQ(settings.ShowWebcamProperties(nullptr), S_OK);
    const auto graph = settings.graph;
    const auto camera = settings.camera;
    ASSERT_TRUE(graph && settings.captureBuilder && camera);
    EXPECT_EQ(settings.ShowWebcamProperties(nullptr), S_OK);
    EXPECT_EQ(binds, 1);
    EXPECT_EQ(settings.graph, graph);
    EXPECT_EQ(settings.camera, camera);
    EXPECT_EQ(frames.Captions(), (QStringList{QStringLiteral("Capture Filter"), QStringLiteral("Capture Filter")}));

    settings.Release();
    EXPECT_FALSE(settings.graph || settings.captureBuilder || settings.microphone || settings.camera);
    settings.Release();
}

TEST(DeviceSettings, WebcamDialogChangesThePatternOfTheCameraInUse)
{
    DeviceConfigScope scope(Config({QStringLiteral("test")}, {}));
    ui::RecordingPresenter box;
    // The preview's graph holds the camera the user is looking at.
    struct {
        std::shared_ptr<media::IGraphBuilder> graph;
        std::shared_ptr<media::IBaseFilter> camera;
    } preview;
    std::shared_ptr<media::ICaptureGraphBuilder2> builder;
    ASSERT_EQ(CreateCaptureGraph(&preview.graph, &builder), S_OK);
    ASSERT_EQ(FindVideoDevice(preview), S_OK);
    EXPECT_EQ(PatternOf(preview.camera), 0);

    RecordingFramePresenter frames([](QDialog &dialog) {
        auto *pattern = dialog.findChild<QComboBox *>(QStringLiteral("pattern"));
        ASSERT_TRUE(pattern);
        Choose(pattern, QStringLiteral("ball"));
    });
    DeviceSettings settings;
    EXPECT_EQ(settings.ShowWebcamProperties(nullptr), S_OK);
    EXPECT_EQ(frames.Captions(), QStringList{QStringLiteral("Capture Filter")});
    EXPECT_EQ(PatternOf(preview.camera), 18); // "ball"
    EXPECT_EQ(PatternOf(settings.camera), 18);
    EXPECT_TRUE(box.Texts().isEmpty());
}

TEST(DeviceSettings, MicrophoneDialogChangesTheTone)
{
    DeviceConfigScope scope(Config({}, {QStringLiteral("test")}));
    RecordingFramePresenter frames([](QDialog &dialog) {
        auto *freq = dialog.findChild<QDoubleSpinBox *>(QStringLiteral("freq"));
        ASSERT_TRUE(freq);
        freq->setValue(880.0);
    });
    DeviceSettings settings;
    EXPECT_EQ(settings.ShowMicrophoneProperties(nullptr), S_OK);
    EXPECT_EQ(frames.Captions(), QStringList{QStringLiteral("Audio Capture Filter")});
    ASSERT_TRUE(settings.microphone);
    double freq = 0;
    g_object_get(media::SourceElementOf(settings.microphone), "freq", &freq, nullptr);
    EXPECT_DOUBLE_EQ(freq, 880.0);
}

TEST(DeviceSettings, MissingDeviceIsToldAndNoDialogIsShown)
{
    DeviceConfigScope scope(Config({QStringLiteral("none")}, {QStringLiteral("none")}));
    ui::RecordingPresenter box;
    RecordingFramePresenter frames;
    DeviceSettings settings;
    EXPECT_EQ(settings.ShowWebcamProperties(nullptr), S_FALSE);
    EXPECT_EQ(settings.ShowMicrophoneProperties(nullptr), S_FALSE);
    EXPECT_EQ(box.Texts(), (QStringList{QStringLiteral("Webcam device is not detected.!"),
                                        QStringLiteral("Microphone device is not detected.!")}));
    EXPECT_TRUE(frames.Captions().isEmpty());
    EXPECT_FALSE(settings.camera);
    EXPECT_FALSE(settings.microphone);
}

TEST(DeviceSettings, AFilterWithoutSettingsIsNoInterface)
{
    DeviceSettings settings;
    std::shared_ptr<media::ICaptureGraphBuilder2> builder;
    ASSERT_EQ(CreateCaptureGraph(&settings.graph, &builder), S_OK);
    // A source GStreamer makes that is no known device.
    media::SourceOptions options;
    options.kind = media::SourceKind::Audio;
    settings.microphone = media::MakeSourceFilter(gst_element_factory_make("audiotestsrc", nullptr), options);
    RecordingFramePresenter frames;
    EXPECT_EQ(settings.ShowMicrophoneProperties(nullptr), E_NOINTERFACE);
    EXPECT_TRUE(frames.Captions().isEmpty());
}

TEST(DeviceSettings, RealMicrophoneShowsThePulseSourceSettings)
{
    if (qEnvironmentVariableIsEmpty("PULSE_SERVER") || !PulseReachable())
        GTEST_SKIP() << "no PulseAudio daemon at PULSE_SERVER (the test run starts one)";
    DeviceConfigScope scope(Config({}, {}));
    bool sawVolume = false;
    RecordingFramePresenter frames([&sawVolume](QDialog &dialog) {
        sawVolume = dialog.findChild<QSlider *>(QStringLiteral("volume")) != nullptr;
    });
    DeviceSettings settings;
    EXPECT_EQ(settings.ShowMicrophoneProperties(nullptr), S_OK);
    EXPECT_EQ(frames.Captions(), QStringList{QStringLiteral("Audio Capture Filter")});
    EXPECT_TRUE(sawVolume);
}
