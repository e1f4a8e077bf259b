// The system device enumerator: virtual devices first, "none", names, binding,
// and the PulseAudio sources the test run provides.
#include "platform/devices/device_enumerator.h"
#include "platform/devices/pulse_source.h"
#include "platform/devices/virtual_device.h"
#include "platform/media/factory.h"
#include "platform/media/source_filter.h"

#include <QProcess>

#include <gst/app/gstappsink.h>
#include <gtest/gtest.h>

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

std::shared_ptr<IEnumMoniker> Enumerate(const media::Guid &category, HRESULT *hr)
{
    RegisterSystemDeviceEnum();
    std::shared_ptr<ICreateDevEnum> deviceEnum;
    EXPECT_EQ(media::CoCreateInstance(media::CLSID_SystemDeviceEnum, &deviceEnum), S_OK);
    std::shared_ptr<IEnumMoniker> monikers;
    *hr = deviceEnum ? deviceEnum->CreateClassEnumerator(category, &monikers, 0) : E_FAIL;
    return monikers;
}

QString Read(const std::shared_ptr<IMoniker> &moniker, const char *name, HRESULT *hr = nullptr)
{
    std::shared_ptr<IPropertyBag> bag;
    EXPECT_EQ(moniker->BindToStorage(&bag), S_OK);
    QString value;
    const HRESULT r = bag->Read(QString::fromLatin1(name), &value);
    if (hr)
        *hr = r;
    return value;
}

bool SkipWithoutPulse(std::string *reason)
{
    if (qEnvironmentVariableIsEmpty("PULSE_SERVER")) {
        *reason = "PULSE_SERVER is not set: the test run's PulseAudio daemon is not available";
        return true;
    }
    if (!PulseReachable()) {
        *reason = "the PulseAudio daemon at PULSE_SERVER does not answer";
        return true;
    }
    return false;
}

// pactl against the test run's server; its standard output, empty on failure.
QString Pactl(const QStringList &args)
{
    QProcess pactl;
    pactl.start(QStringLiteral("pactl"), args);
    if (!pactl.waitForFinished(10000) || pactl.exitCode() != 0)
        return QString();
    return QString::fromUtf8(pactl.readAllStandardOutput()).trimmed();
}

// The clients connected to the test run's server, pactl's own included.
int ConnectedClients()
{
    return int(Pactl({QStringLiteral("list"), QStringLiteral("clients"), QStringLiteral("short")})
                   .split(QLatin1Char('\n'), Qt::SkipEmptyParts)
                   .size());
}

bool Lists(const QString &friendlyName)
{
    for (const auto &moniker : ListDevices(DeviceKind::Audio))
        if (Read(moniker, "FriendlyName") == friendlyName)
            return true;
    return false;
}

} // namespace

TEST(DeviceEnumerator, NoneGivesSFalseAndNoEnumeratorWhateverTheMachineHas)
{
    DeviceConfigScope scope(Config({QStringLiteral("none")}, {QStringLiteral("none")}));
    HRESULT hr = E_FAIL;
    EXPECT_FALSE(Enumerate(media::CLSID_VideoInputDeviceCategory, &hr));
    EXPECT_EQ(hr, S_FALSE);
    EXPECT_FALSE(Enumerate(media::CLSID_AudioInputDeviceCategory, &hr));
    EXPECT_EQ(hr, S_FALSE);
}

TEST(DeviceEnumerator, VirtualDevicesComeFirstInTheirOrderWithOnlyAFriendlyName)
{
    DeviceConfigScope scope(Config({QStringLiteral("test:pattern=18"), QStringLiteral("test")}, {}));
    HRESULT hr = E_FAIL;
    auto monikers = Enumerate(media::CLSID_VideoInputDeviceCategory, &hr);
    ASSERT_EQ(hr, S_OK);
    ASSERT_TRUE(monikers);
    std::shared_ptr<IMoniker> list[3];
    media::ULONG fetched = 0;
    // Asking for more than there are virtual ones still gives them first.
    monikers->Next(2, list, &fetched);
    ASSERT_EQ(fetched, 2u);
    EXPECT_EQ(Read(list[0], "FriendlyName"), QStringLiteral("Talvora Test Camera"));
    EXPECT_EQ(Read(list[1], "FriendlyName"), QStringLiteral("Talvora Test Camera #2"));
    HRESULT readHr = S_OK;
    Read(list[0], "Description", &readHr);
    EXPECT_TRUE(Failed(readHr)) << "a virtual device has no description";

    std::shared_ptr<media::IBaseFilter> filter;
    ASSERT_EQ(list[0]->BindToObject(&filter), S_OK);
    std::vector<std::shared_ptr<media::Pin>> pins;
    filter->EnumPins(&pins);
    ASSERT_FALSE(pins.empty());
    EXPECT_EQ(pins[0]->Direction(), media::PINDIR_OUTPUT);
    auto device = VirtualDevice::FromElement(media::SourceElementOf(filter));
    ASSERT_TRUE(device);
    EXPECT_EQ(device->Source().pattern, 18);

    monikers->Reset();
    EXPECT_EQ(monikers->Next(1, list, nullptr), S_OK);
    EXPECT_EQ(Read(list[0], "FriendlyName"), QStringLiteral("Talvora Test Camera"));
}

TEST(DeviceEnumerator, AMissingFileDeviceIsListedButCannotBeBound)
{
    DeviceConfigScope scope(Config({QStringLiteral("file:/nonexistent/clip.avi")}, {}));
    const auto monikers = ListDevices(DeviceKind::Video);
    ASSERT_FALSE(monikers.empty());
    EXPECT_EQ(Read(monikers[0], "FriendlyName"), QStringLiteral("Talvora File Camera (clip.avi)"));
    std::shared_ptr<media::IBaseFilter> filter;
    EXPECT_TRUE(Failed(monikers[0]->BindToObject(&filter)));
    EXPECT_FALSE(filter);
}

TEST(DeviceEnumerator, NullSinkMonitorIsAMicrophoneListedAfterTheVirtualOnes)
{
    std::string reason;
    if (SkipWithoutPulse(&reason))
        GTEST_SKIP() << reason;
    DeviceConfigScope scope(Config({}, {QStringLiteral("test")}));
    const auto monikers = ListDevices(DeviceKind::Audio);
    ASSERT_GE(monikers.size(), 2u);
    EXPECT_EQ(Read(monikers[0], "FriendlyName"), QStringLiteral("Talvora Test Microphone"));
    bool monitorSeen = false;
    for (size_t i = 1; i < monikers.size(); ++i) {
        const QString name = Read(monikers[i], "FriendlyName");
        if (name.startsWith(QLatin1String("Monitor of")))
            monitorSeen = true;
        else
            EXPECT_FALSE(monitorSeen) << "real input " << name.toStdString() << " listed after a monitor";
        HRESULT hr = E_FAIL;
        EXPECT_EQ(Read(monikers[i], "Description", &hr), name);
        EXPECT_EQ(hr, S_OK);
    }
    EXPECT_TRUE(monitorSeen);
}

TEST(DeviceEnumerator, AnEnumeratedPulseSourceBindsAndDeliversSound)
{
    std::string reason;
    if (SkipWithoutPulse(&reason))
        GTEST_SKIP() << reason;
    DeviceConfigScope scope(Config({}, {}));
    const auto monikers = ListDevices(DeviceKind::Audio);
    ASSERT_FALSE(monikers.empty());
    std::shared_ptr<media::IBaseFilter> filter;
    ASSERT_EQ(monikers[0]->BindToObject(&filter), S_OK);

    // Run the filter's bin into an appsink and wait for real samples.
    GstElement *pipeline = gst_pipeline_new(nullptr);
    GstElement *sink = gst_element_factory_make("appsink", nullptr);
    g_object_set(sink, "sync", FALSE, "max-buffers", 50u, nullptr);
    gst_bin_add_many(GST_BIN(pipeline), filter->Element(), sink, nullptr);
    ASSERT_TRUE(gst_element_link(filter->Element(), sink));
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    GstSample *sample = gst_app_sink_try_pull_sample(GST_APP_SINK(sink), 5 * GST_SECOND);
    EXPECT_TRUE(sample) << "no sound from " << Read(monikers[0], "FriendlyName").toStdString();
    if (sample) {
        EXPECT_GT(gst_buffer_get_size(gst_sample_get_buffer(sample)), 0u);
        gst_sample_unref(sample);
    }
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_bin_remove(GST_BIN(pipeline), filter->Element());
    gst_object_unref(pipeline);
}

// Every search asks the sound server afresh, so a source added since is
// listed and one taken away is not, and leaves no connection behind.
TEST(DeviceEnumerator, SearchesSeeSourcesAddedAndRemovedAndLeaveNoConnectionOpen)
{
    std::string reason;
    if (SkipWithoutPulse(&reason))
        GTEST_SKIP() << reason;
    DeviceConfigScope scope(Config({}, {}));
    const int clients = ConnectedClients();
    ASSERT_GT(clients, 0);
    for (int i = 0; i < 3; ++i)
        EXPECT_FALSE(ListDevices(DeviceKind::Audio).empty());
    EXPECT_EQ(ConnectedClients(), clients);

    const QString module = Pactl({QStringLiteral("load-module"), QStringLiteral("module-null-sink"),
                                  QStringLiteral("sink_name=talvora_plugged"),
                                  QStringLiteral("sink_properties=device.description=Plugged")});
    ASSERT_FALSE(module.isEmpty());
    EXPECT_TRUE(Lists(QStringLiteral("Monitor of Plugged")));
    Pactl({QStringLiteral("unload-module"), module});
    EXPECT_FALSE(Lists(QStringLiteral("Monitor of Plugged")));
}
