// Virtual devices: settings shared by every element of a device, the
// connection-failure counter, and the looping file sources.
#include "platform/devices/looping_file_source.h"
#include "platform/devices/property_dialogs.h"
#include "platform/devices/virtual_device.h"
#include "tests/support/gst_pipeline.h"
#include "tests/support/test_environment.h"

#include <gst/app/gstappsink.h>
#include <gtest/gtest.h>

#include <QComboBox>
#include <QDoubleSpinBox>

using namespace devices;

namespace {

std::shared_ptr<VirtualDevice> Device(DeviceKind kind, const QString &spec)
{
    DeviceClassConfig config;
    config.virtuals.push_back(*ParseVirtualSource(spec, kind));
    return VirtualDevicesFor(kind, config).at(0);
}

// The element holding the settings (videotestsrc inside the camera's bin).
template <class T>
T Property(GstElement *element, const char *name)
{
    GstElement *target = GST_IS_BIN(element) ? gst_bin_get_by_name(GST_BIN(element), "source")
                                             : GST_ELEMENT(gst_object_ref(element));
    T value{};
    g_object_get(target, name, &value, nullptr);
    gst_object_unref(target);
    return value;
}

struct ElementRef {
    explicit ElementRef(GstElement *e) : element(e ? GST_ELEMENT(gst_object_ref_sink(e)) : nullptr) {}
    ~ElementRef()
    {
        if (element)
            gst_object_unref(element);
    }
    GstElement *element;
};


// Runs source into an appsink and collects the stamps of the first count buffers.
std::vector<GstClockTime> Collect(GstElement *source, int count)
{
    std::vector<GstClockTime> stamps;
    if (!source)
        return stamps;
    GstElement *pipeline = gst_pipeline_new(nullptr);
    GstElement *sink = gst_element_factory_make("appsink", nullptr);
    g_object_set(sink, "sync", FALSE, nullptr);
    gst_bin_add_many(GST_BIN(pipeline), source, sink, nullptr);
    if (!gst_element_link(source, sink)) {
        gst_object_unref(pipeline);
        return stamps;
    }
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    while (int(stamps.size()) < count) {
        GstSample *sample = gst_app_sink_try_pull_sample(GST_APP_SINK(sink), 3 * GST_SECOND);
        if (!sample)
            break;
        stamps.push_back(GST_BUFFER_PTS(gst_sample_get_buffer(sample)));
        gst_sample_unref(sample);
    }
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
    return stamps;
}

void ExpectIncreasing(const std::vector<GstClockTime> &stamps)
{
    for (size_t i = 1; i < stamps.size(); ++i) {
        ASSERT_TRUE(GST_CLOCK_TIME_IS_VALID(stamps[i]));
        EXPECT_GT(stamps[i], stamps[i - 1]) << "at buffer " << i;
    }
}

} // namespace

TEST(DeviceVirtual, SettingsReachLiveAndLaterElementsAndBadValuesAreRefused)
{
    auto camera = Device(DeviceKind::Video, QStringLiteral("test"));
    ElementRef first(camera->CreateElement(nullptr));
    ASSERT_TRUE(first.element);
    EXPECT_EQ(Property<int>(first.element, "pattern"), 0);

    EXPECT_TRUE(camera->SetSetting(QStringLiteral("pattern"), 18));
    EXPECT_EQ(Property<int>(first.element, "pattern"), 18);
    ElementRef second(camera->CreateElement(nullptr));
    EXPECT_EQ(Property<int>(second.element, "pattern"), 18);
    EXPECT_EQ(camera->Setting(QStringLiteral("pattern")).toInt(), 18);

    EXPECT_FALSE(camera->SetSetting(QStringLiteral("pattern"), 9999));
    EXPECT_FALSE(camera->SetSetting(QStringLiteral("freq"), 100.0)); // not a camera setting
    EXPECT_EQ(Property<int>(first.element, "pattern"), 18);
}

TEST(DeviceVirtual, MicrophoneDialogEditsTheTone)
{
    auto microphone = Device(DeviceKind::Audio, QStringLiteral("test:freq=440"));
    ElementRef live(microphone->CreateElement(nullptr));
    ASSERT_TRUE(live.element);
    EXPECT_TRUE(microphone->Source().type == VirtualSource::Type::Test);

    VirtualDeviceDialog dialog(nullptr, QStringLiteral("Audio Capture Filter"), microphone);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Audio Capture Filter"));
    auto *freq = dialog.findChild<QDoubleSpinBox *>(QStringLiteral("freq"));
    auto *volume = dialog.findChild<QDoubleSpinBox *>(QStringLiteral("volume"));
    auto *wave = dialog.findChild<QComboBox *>(QStringLiteral("wave"));
    ASSERT_TRUE(freq && volume && wave);
    EXPECT_DOUBLE_EQ(freq->value(), 440.0);

    freq->setValue(1000.0);
    volume->setValue(0.25);
    const int square = wave->findText(QStringLiteral("square"));
    ASSERT_GE(square, 0);
    wave->setCurrentIndex(square);
    Q_EMIT wave->activated(square);

    EXPECT_DOUBLE_EQ(Property<double>(live.element, "freq"), 1000.0);
    EXPECT_DOUBLE_EQ(Property<double>(live.element, "volume"), 0.25);
    EXPECT_EQ(Property<int>(live.element, "wave"), wave->itemData(square).toInt());
}

TEST(DeviceVirtual, ConnectionFailuresAreCountedDown)
{
    auto camera = Device(DeviceKind::Video, QStringLiteral("test:fail=2"));
    EXPECT_TRUE(camera->ConsumeConnectFailure());
    EXPECT_TRUE(camera->ConsumeConnectFailure());
    EXPECT_FALSE(camera->ConsumeConnectFailure());
    EXPECT_FALSE(Device(DeviceKind::Video, QStringLiteral("test"))->ConsumeConnectFailure());
}

TEST(DeviceVirtual, FileCameraLoopsAShortClipWithSteadyTimestamps)
{
    const QString clip = testenv::MakeTempFolder() + QStringLiteral("/half second, clip.avi");
    ASSERT_TRUE(testsupport::RunPipelineToEnd(QStringLiteral("videotestsrc num-buffers=15 ! video/x-raw,width=64,height=48,framerate=30/1 "
                                      "! jpegenc ! avimux ! filesink location=\"%1\"").arg(clip)));
    QString error;
    GstElement *source = CreateLoopingFileSource(clip, DeviceKind::Video, &error);
    ASSERT_TRUE(source) << error.toStdString();
    // 45 frames: three passes through a 15-frame clip.
    const auto stamps = Collect(source, 45);
    ASSERT_EQ(stamps.size(), 45u);
    ExpectIncreasing(stamps);
}

TEST(DeviceVirtual, FileMicrophoneLoopsAndStillImageRepeats)
{
    const QString folder = testenv::MakeTempFolder();
    const QString wav = folder + QStringLiteral("/tone.wav");
    ASSERT_TRUE(testsupport::RunPipelineToEnd(QStringLiteral("audiotestsrc num-buffers=5 samplesperbuffer=441 ! wavenc ! filesink location=\"%1\"").arg(wav)));
    const auto sound = Collect(CreateLoopingFileSource(wav, DeviceKind::Audio, nullptr), 20);
    ASSERT_EQ(sound.size(), 20u);
    ExpectIncreasing(sound);

    const QString png = folder + QStringLiteral("/still.png");
    ASSERT_TRUE(testsupport::RunPipelineToEnd(QStringLiteral("videotestsrc num-buffers=1 ! video/x-raw,width=32,height=24 ! pngenc ! filesink location=\"%1\"").arg(png)));
    const auto frames = Collect(CreateLoopingFileSource(png, DeviceKind::Video, nullptr), 10);
    EXPECT_EQ(frames.size(), 10u);
}

TEST(DeviceVirtual, MissingOrUnreadableFileIsAnErrorNotAHang)
{
    QString error;
    EXPECT_FALSE(CreateLoopingFileSource(QStringLiteral("/nonexistent/x.avi"), DeviceKind::Video, &error));
    EXPECT_FALSE(error.isEmpty());

    // A file that is not media, or holds no picture, makes no device.
    const QString junk = testenv::MakeTempFolder() + QStringLiteral("/junk.avi");
    ASSERT_TRUE(testenv::WriteFile(junk, QByteArray(1000, 'x')));
    error.clear();
    EXPECT_FALSE(CreateLoopingFileSource(junk, DeviceKind::Video, &error));
    EXPECT_FALSE(error.isEmpty());
    const QString wav = testenv::MakeTempFolder() + QStringLiteral("/tone.wav");
    ASSERT_TRUE(testsupport::RunPipelineToEnd(QStringLiteral("audiotestsrc num-buffers=5 ! wavenc ! filesink location=\"%1\"").arg(wav)));
    EXPECT_FALSE(CreateLoopingFileSource(wav, DeviceKind::Video, &error));
    EXPECT_EQ(error, QStringLiteral("the device file holds no picture"));
}

TEST(DeviceVirtual, FileCameraAnnouncesItsPictureSizeBeforeTheFirstFrame)
{
    const QString clip = testenv::MakeTempFolder() + QStringLiteral("/clip.avi");
    ASSERT_TRUE(testsupport::RunPipelineToEnd(QStringLiteral("videotestsrc num-buffers=5 ! video/x-raw,width=176,height=144,framerate=25/1 "
                                      "! jpegenc ! avimux ! filesink location=\"%1\"").arg(clip)));
    ElementRef source(CreateLoopingFileSource(clip, DeviceKind::Video, nullptr));
    ASSERT_TRUE(source.element);
    // Asked as the capture filter asks a device: opened, not streaming.
    gst_element_set_state(source.element, GST_STATE_READY);
    GstPad *pad = gst_element_get_static_pad(source.element, "src");
    GstCaps *caps = gst_pad_query_caps(pad, nullptr);
    gst_element_set_state(source.element, GST_STATE_NULL);
    const GstStructure *s = gst_caps_get_structure(caps, 0);
    int width = 0, height = 0, num = 0, den = 0;
    EXPECT_TRUE(gst_structure_get_int(s, "width", &width) && gst_structure_get_int(s, "height", &height));
    EXPECT_TRUE(gst_structure_get_fraction(s, "framerate", &num, &den));
    EXPECT_EQ(width, 176);
    EXPECT_EQ(height, 144);
    EXPECT_EQ(num * 1.0 / den, 25.0);
    gst_caps_unref(caps);
    gst_object_unref(pad);
}

TEST(DeviceVirtual, EachConfigurationStartsWithFreshDevices)
{
    const DeviceConfig config = DeviceConfig::Parse({QStringLiteral("--camera=test:fail=1")}, QString(), QString());
    for (int round = 0; round < 2; ++round) {
        DeviceConfigScope scope(config);
        auto camera = VirtualDevicesFor(DeviceKind::Video, CurrentDeviceConfig().camera).at(0);
        // The same device for every enumeration under one configuration...
        EXPECT_EQ(camera, VirtualDevicesFor(DeviceKind::Video, CurrentDeviceConfig().camera).at(0));
        // ...and its failure budget is spent once per configuration.
        EXPECT_TRUE(camera->ConsumeConnectFailure()) << "round " << round;
        EXPECT_FALSE(camera->ConsumeConnectFailure());
    }
}
