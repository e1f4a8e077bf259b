// Parsing of the virtual device options.
#include "platform/devices/device_config.h"

#include "platform/media/factory.h"
#include "platform/media/filter.h"

#include <gtest/gtest.h>

using devices::DeviceConfig;
using devices::DeviceKind;
using devices::ParseVirtualSource;
using devices::VirtualSource;

TEST(DeviceConfig, CommandLineWinsOverEnvironmentPerClass)
{
    const DeviceConfig config = DeviceConfig::Parse({QStringLiteral("talvora"), QStringLiteral("--camera=test")},
                                                    QStringLiteral("none"), QStringLiteral("test"));
    ASSERT_EQ(config.camera.virtuals.size(), 1u);
    EXPECT_FALSE(config.camera.none);
    EXPECT_EQ(config.camera.virtuals[0].type, VirtualSource::Type::Test);
    // The microphone was not on the command line: the environment applies.
    ASSERT_EQ(config.microphone.virtuals.size(), 1u);
}

TEST(DeviceConfig, NoneAndRepeatedOptions)
{
    const DeviceConfig config = DeviceConfig::Parse(
        {QStringLiteral("--camera=test:pattern=18"), QStringLiteral("--camera=file:/tmp/a clip, take 2.avi"),
         QStringLiteral("--microphone=none")},
        QString(), QStringLiteral("test"));
    ASSERT_EQ(config.camera.virtuals.size(), 2u);
    EXPECT_EQ(config.camera.virtuals[0].pattern, 18);
    // File names keep blanks and commas.
    EXPECT_EQ(config.camera.virtuals[1].path, QStringLiteral("/tmp/a clip, take 2.avi"));
    EXPECT_TRUE(config.microphone.none);
    EXPECT_TRUE(config.microphone.virtuals.empty());
}

TEST(DeviceConfig, TestOptionsAndBadSources)
{
    auto audio = ParseVirtualSource(QStringLiteral("test:wave=2,freq=1000,fail=3"), DeviceKind::Audio);
    ASSERT_TRUE(audio);
    EXPECT_EQ(audio->wave, 2);
    EXPECT_DOUBLE_EQ(audio->frequency, 1000.0);
    EXPECT_EQ(audio->failConnects, 3);

    QString error;
    EXPECT_FALSE(ParseVirtualSource(QStringLiteral("test:fail=-1"), DeviceKind::Video, &error));
    EXPECT_FALSE(ParseVirtualSource(QStringLiteral("test:wave=2"), DeviceKind::Video, &error)); // audio option
    EXPECT_FALSE(ParseVirtualSource(QStringLiteral("test:freq=1e9"), DeviceKind::Audio, &error));
    EXPECT_FALSE(ParseVirtualSource(QStringLiteral("webcam"), DeviceKind::Video, &error));
    EXPECT_FALSE(ParseVirtualSource(QStringLiteral("file:"), DeviceKind::Video, &error));
    EXPECT_FALSE(error.isEmpty());

    QStringList errors;
    const DeviceConfig config = DeviceConfig::Parse({QStringLiteral("--camera=bogus")}, QString(), QString(), &errors);
    EXPECT_TRUE(config.camera.virtuals.empty());
    EXPECT_FALSE(config.camera.none);
    EXPECT_EQ(errors.size(), 1);
}

TEST(DeviceConfig, PatternsAndWavesByTheGeneratorsOwnNamesOrNumbers)
{
    const struct {
        const char *text;
        int pattern;
    } patterns[] = {{"test:pattern=ball", 18}, {"test:pattern=snow", 1}, {"test:pattern=smpte", 0},
                    {"test:pattern=Ball", 18}, {"test:pattern=7", 7}, {"test:fail=1,pattern=black", 2}};
    for (const auto &p : patterns) {
        QString error;
        const auto source = ParseVirtualSource(QLatin1String(p.text), DeviceKind::Video, &error);
        ASSERT_TRUE(source) << p.text << ": " << error.toStdString();
        EXPECT_EQ(source->pattern, p.pattern) << p.text;
    }
    const auto square = ParseVirtualSource(QStringLiteral("test:wave=square"), DeviceKind::Audio);
    ASSERT_TRUE(square);
    EXPECT_EQ(square->wave, 1);

    // A value the generator does not know is refused, naming the ones it does.
    for (const char *bad : {"test:pattern=bal", "test:pattern=999", "test:pattern=-1", "test:pattern="}) {
        QString error;
        EXPECT_FALSE(ParseVirtualSource(QLatin1String(bad), DeviceKind::Video, &error)) << bad;
        EXPECT_TRUE(error.contains(QStringLiteral("ball")) && error.contains(QStringLiteral("smpte"))
                    && error.contains(QStringLiteral("snow")))
            << bad << ": " << error.toStdString();
    }
    QStringList errors;
    DeviceConfig::Parse({QStringLiteral("--microphone=test:wave=hum")}, QString(), QString(), &errors);
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].contains(QStringLiteral("sine"))) << errors[0].toStdString();
}

TEST(DeviceConfig, ScopeRestoresThePreviousConfiguration)
{
    DeviceConfig none;
    none.camera.none = true;
    {
        devices::DeviceConfigScope scope(none);
        EXPECT_TRUE(devices::CurrentDeviceConfig().camera.none);
    }
    EXPECT_FALSE(devices::CurrentDeviceConfig().camera.none);
}

TEST(DeviceConfig, MicArraySourceRecordsFromTheVirtualMicrophone)
{
    const DeviceConfig previous = devices::CurrentDeviceConfig();
    char program[] = "talvora";
    char option[] = "--microphone=test:freq=1234";
    char *argv[] = {program, option, nullptr};
    devices::InitDeviceConfig(2, argv);
    ASSERT_EQ(devices::CurrentDeviceConfig().microphone.virtuals.size(), 1u);

    std::shared_ptr<media::IBaseFilter> array;
    ASSERT_EQ(media::CoCreateInstance(media::CLSID_MicArraySource, &array), S_OK);
    // Somewhere in the filter's bin is the virtual microphone's tone.
    double freq = 0;
    GstIterator *it = gst_bin_iterate_recurse(GST_BIN(array->Element()));
    GValue item = G_VALUE_INIT;
    while (gst_iterator_next(it, &item) == GST_ITERATOR_OK) {
        GObject *child = G_OBJECT(g_value_get_object(&item));
        if (g_object_class_find_property(G_OBJECT_GET_CLASS(child), "freq"))
            g_object_get(child, "freq", &freq, nullptr);
        g_value_reset(&item);
    }
    g_value_unset(&item);
    gst_iterator_free(it);
    EXPECT_DOUBLE_EQ(freq, 1234.0);

    media::SetMicArrayInputFactory({});
    devices::SetDeviceConfig(previous);
}
