// Finding the camera and the microphone: which device wins, what is skipped,
// what the user is told and what lands in the graph.
#include "capture/device_discovery.h"
#include "capture/graph_utils.h"
#include "platform/devices/audio_input_line.h"
#include "platform/devices/device_enumerator.h"
#include "platform/devices/virtual_device.h"
#include "platform/media/factory.h"
#include "platform/media/filter.h"
#include "platform/media/source_filter.h"
#include "platform/ui/message_box.h"
#include "tests/support/test_environment.h"

#include <gtest/gtest.h>

using namespace devices;

namespace {

const QString kNoWebcam = QStringLiteral("Webcam device is not detected.!");
const QString kNoMicrophone = QStringLiteral("Microphone device is not detected.!");

DeviceConfig Config(const QStringList &cameras, const QStringList &microphones)
{
    QStringList args;
    for (const QString &c : cameras)
        args << QStringLiteral("--camera=") + c;
    for (const QString &m : microphones)
        args << QStringLiteral("--microphone=") + m;
    return DeviceConfig::Parse(args, QString(), QString());
}

// An owner shaped like the engines: a graph and the device members.
struct Owner {
    Owner()
    {
        std::shared_ptr<media::ICaptureGraphBuilder2> builder;
        EXPECT_EQ(CreateCaptureGraph(&graph, &builder), S_OK);
    }
    std::shared_ptr<media::IGraphBuilder> graph;
    std::shared_ptr<media::IBaseFilter> camera;
    std::shared_ptr<media::IBaseFilter> microphone;

    std::vector<std::shared_ptr<media::IBaseFilter>> Filters() const
    {
        std::vector<std::shared_ptr<media::IBaseFilter>> filters;
        graph->EnumFilters(&filters);
        return filters;
    }
};

QString DeviceName(const std::shared_ptr<media::IBaseFilter> &filter)
{
    auto device = VirtualDevice::FromElement(media::SourceElementOf(filter));
    return device ? device->FriendlyName() : QString();
}

// Puts the system enumerator back after a test replaced it.
struct RealDevicesAfter {
    ~RealDevicesAfter() { RegisterSystemDeviceEnum(true); }
};

// A device enumerator with a fixed list, replacing the system one.
void UseDevices(std::vector<std::shared_ptr<IMoniker>> monikers)
{
    class FixedEnum : public ICreateDevEnum {
    public:
        explicit FixedEnum(std::vector<std::shared_ptr<IMoniker>> m) : monikers_(std::move(m)) {}
        HRESULT CreateClassEnumerator(const media::Guid &, std::shared_ptr<IEnumMoniker> *out, media::DWORD) override
        {
            *out = std::make_shared<MonikerList>(monikers_);
            return S_OK;
        }
        std::vector<std::shared_ptr<IMoniker>> monikers_;
    };
    RegisterSystemDeviceEnum(); // so the search does not register over this
    media::RegisterClassFactory(media::CLSID_SystemDeviceEnum, [monikers](std::shared_ptr<media::IUnknown> *out) {
        *out = std::make_shared<FixedEnum>(monikers);
        return S_OK;
    });
}

} // namespace

TEST(DeviceDiscovery, FirstOfTwoCamerasIsUsedAndNamedCaptureFilter)
{
    DeviceConfigScope scope(Config({QStringLiteral("test"), QStringLiteral("test:pattern=18")}, {}));
    ui::RecordingPresenter box;
    Owner owner;
    EXPECT_EQ(FindVideoDevice(owner), S_OK);
    ASSERT_TRUE(owner.camera);
    EXPECT_EQ(DeviceName(owner.camera), QStringLiteral("Talvora Test Camera"));
    ASSERT_EQ(owner.Filters().size(), 1u);
    EXPECT_EQ(owner.Filters()[0], owner.camera);
    media::FILTER_INFO info;
    owner.camera->QueryFilterInfo(&info);
    EXPECT_EQ(info.achName, QStringLiteral("Capture Filter"));
    EXPECT_TRUE(box.Texts().isEmpty());
}

TEST(DeviceDiscovery, UnbindableFirstCameraIsSkippedSilently)
{
    DeviceConfigScope scope(Config({QStringLiteral("file:/nonexistent/a.avi"), QStringLiteral("test")}, {}));
    ui::RecordingPresenter box;
    Owner owner;
    EXPECT_EQ(FindVideoDevice(owner), S_OK);
    EXPECT_EQ(DeviceName(owner.camera), QStringLiteral("Talvora Test Camera #2"));
    EXPECT_TRUE(box.Texts().isEmpty());
}

TEST(DeviceDiscovery, NoCameraOrMicrophoneIsToldOnceAndGivesSFalse)
{
    DeviceConfigScope scope(Config({QStringLiteral("none")}, {QStringLiteral("none")}));
    ui::RecordingPresenter box;
    Owner owner;
    EXPECT_EQ(FindVideoDevice(owner), S_FALSE);
    EXPECT_EQ(box.Texts(), QStringList{kNoWebcam});
    EXPECT_EQ(FindAudioDevice(owner), S_FALSE);
    EXPECT_EQ(FindMicrophoneByName(owner, QString()), S_FALSE);
    EXPECT_EQ(box.Texts(), (QStringList{kNoWebcam, kNoMicrophone, kNoMicrophone}));
    EXPECT_FALSE(owner.camera);
    EXPECT_FALSE(owner.microphone);
    EXPECT_TRUE(owner.Filters().empty());
}

TEST(DeviceDiscovery, DevicesThatExistButCannotBeUsedFailWithoutAMessage)
{
    ui::RecordingPresenter box;
    RealDevicesAfter restore;
    const auto noNames = std::make_shared<SimpleMoniker>(QString(), QString(), [](std::shared_ptr<media::IBaseFilter> *) {
        ADD_FAILURE() << "a device without a name must not be bound";
        return E_FAIL;
    });
    const auto broken = std::make_shared<SimpleMoniker>(QStringLiteral("Broken Cam"), QString(),
                                                        [](std::shared_ptr<media::IBaseFilter> *) { return E_ACCESSDENIED; });
    UseDevices({noNames, broken});
    Owner owner;
    EXPECT_EQ(FindVideoDevice(owner), E_ACCESSDENIED);
    EXPECT_TRUE(owner.Filters().empty());

    // An enumerator that lists nothing must not pass for a found device.
    UseDevices({});
    EXPECT_TRUE(Failed(FindAudioDevice(owner)));
    EXPECT_TRUE(box.Texts().isEmpty());
}

TEST(DeviceDiscovery, DescriptionOrFriendlyNameQualifies)
{
    RealDevicesAfter restore;
    int binds = 0;
    auto bindTest = [&binds](std::shared_ptr<media::IBaseFilter> *filter) {
        ++binds;
        GstElement *src = gst_element_factory_make("audiotestsrc", nullptr);
        media::SourceOptions options;
        options.kind = media::SourceKind::Audio;
        *filter = media::MakeSourceFilter(src, options);
        return S_OK;
    };
    UseDevices({std::make_shared<SimpleMoniker>(QString(), QStringLiteral("Only a description"), bindTest)});
    Owner owner;
    EXPECT_EQ(FindAudioDevice(owner), S_OK);
    EXPECT_EQ(binds, 1);
    media::FILTER_INFO info;
    owner.microphone->QueryFilterInfo(&info);
    EXPECT_EQ(info.achName, QStringLiteral("Audio Capture Filter"));
}

TEST(DeviceDiscovery, MicrophoneByNameTakesTheFirstBindableAndNamesItsFilterAfterIt)
{
    DeviceConfigScope scope(Config({}, {QStringLiteral("file:/nonexistent/a.wav"), QStringLiteral("test")}));
    ui::RecordingPresenter box;
    Owner owner;
    EXPECT_EQ(FindMicrophoneByName(owner, QString()), S_OK);
    ASSERT_TRUE(owner.microphone);
    media::FILTER_INFO info;
    owner.microphone->QueryFilterInfo(&info);
    EXPECT_EQ(info.achName, QStringLiteral("Talvora Test Microphone #2"));
    EXPECT_TRUE(box.Texts().isEmpty());
}

TEST(DeviceDiscovery, MicrophoneByNameMismatchIsAbortAndAddsNothing)
{
    DeviceConfigScope scope(Config({}, {QStringLiteral("test")}));
    ui::RecordingPresenter box;
    Owner owner;
    EXPECT_EQ(FindMicrophoneByName(owner, QStringLiteral("talvora test microphone")), E_ABORT);
    EXPECT_FALSE(owner.microphone);
    EXPECT_TRUE(owner.Filters().empty());
    EXPECT_TRUE(box.Texts().isEmpty());
    EXPECT_EQ(FindMicrophoneByName(owner, QStringLiteral("Talvora Test Microphone")), S_OK);
}

TEST(DeviceDiscovery, MissingGraphOrOutPlaceIsEPointer)
{
    DeviceConfigScope scope(Config({QStringLiteral("test")}, {QStringLiteral("test")}));
    ui::RecordingPresenter box;
    std::shared_ptr<media::IBaseFilter> filter;
    EXPECT_EQ(FindVideoDevice(nullptr, &filter), E_POINTER);
    Owner owner;
    EXPECT_EQ(FindAudioDevice(owner.graph, nullptr), E_POINTER);
    EXPECT_EQ(FindMicrophoneByName(nullptr, &filter, QString()), E_POINTER);
    EXPECT_TRUE(box.Texts().isEmpty());
}

TEST(DeviceDiscovery, EnableMicrophoneInputNeedsAMicrophone)
{
    EXPECT_EQ(EnableMicrophoneInput(nullptr, QStringLiteral("Microphone")), E_NOINTERFACE);
    // A microphone without input lines (a virtual one) has nothing to switch.
    DeviceConfigScope scope(Config({}, {QStringLiteral("test")}));
    Owner owner;
    ASSERT_EQ(FindMicrophoneByName(owner, QString()), S_OK);
    EXPECT_EQ(EnableMicrophoneInput(owner.microphone, QStringLiteral("Microphone")), S_OK);
}

TEST(DeviceDiscovery, VirtualCameraRefusesItsFirstConnectionsWhenToldTo)
{
    DeviceConfigScope scope(Config({QStringLiteral("test:fail=2")}, {}));
    Owner owner;
    ASSERT_EQ(FindVideoDevice(owner), S_OK);
    std::shared_ptr<media::IBaseFilter> converter;
    ASSERT_TRUE(Succeeded(AddFilterByClsid(owner.graph, media::CLSID_Colour, QStringLiteral("Colour"), &converter)));
    std::shared_ptr<media::IPin> out;
    ASSERT_EQ(FindFreePin(owner.camera, media::PINDIR_OUTPUT, &out), S_OK);

    EXPECT_EQ(ConnectFilters(owner.graph, owner.camera, converter), VFW_E_CANNOT_CONNECT);
    EXPECT_FALSE(out->IsConnected());
    EXPECT_EQ(ConnectFilters(owner.graph, owner.camera, converter), VFW_E_CANNOT_CONNECT);
    EXPECT_EQ(ConnectFilters(owner.graph, owner.camera, converter), S_OK);
    EXPECT_TRUE(out->IsConnected());
}

TEST(DeviceDiscovery, FileCameraReportsTheClipsFormatLikeACamera)
{
    const QString clip = testenv::MakeTempFolder() + QStringLiteral("/meeting clip.avi");
    GError *error = nullptr;
    GstElement *writer = gst_parse_launch(
        QStringLiteral("videotestsrc num-buffers=5 ! video/x-raw,width=176,height=144,framerate=25/1 ! jpegenc "
                       "! avimux ! filesink location=\"%1\"").arg(clip).toUtf8().constData(), &error);
    ASSERT_TRUE(writer) << (error ? error->message : "");
    gst_element_set_state(writer, GST_STATE_PLAYING);
    GstBus *bus = gst_element_get_bus(writer);
    gst_message_unref(gst_bus_timed_pop_filtered(bus, 10 * GST_SECOND, GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR)));
    gst_object_unref(bus);
    gst_element_set_state(writer, GST_STATE_NULL);
    gst_object_unref(writer);

    DeviceConfigScope scope(Config({QStringLiteral("file:") + clip}, {}));
    std::shared_ptr<media::IGraphBuilder> graph;
    std::shared_ptr<media::ICaptureGraphBuilder2> builder;
    ASSERT_EQ(CreateCaptureGraph(&graph, &builder), S_OK);
    std::shared_ptr<media::IBaseFilter> camera;
    ASSERT_EQ(FindVideoDevice(graph, &camera), S_OK);
    EXPECT_EQ(DeviceName(camera), QStringLiteral("Talvora File Camera (meeting clip.avi)"));
    std::shared_ptr<media::IAMStreamConfig> config;
    ASSERT_EQ(builder->FindInterface(&media::PIN_CATEGORY_CAPTURE, &media::MEDIATYPE_Video, camera, &config), S_OK);
    media::AM_MEDIA_TYPE mt;
    ASSERT_EQ(config->GetFormat(&mt), S_OK);
    ASSERT_TRUE(mt.VideoInfo());
    EXPECT_EQ(mt.VideoInfo()->bmiHeader.biWidth, 176);
    EXPECT_EQ(mt.VideoInfo()->bmiHeader.biHeight, 144);
    EXPECT_EQ(mt.VideoInfo()->AvgTimePerFrame, 400000); // 25 fps in 100 ns units
}

namespace {

// An input line that records how it was switched.
class FakeLine : public media::Pin, public IAMAudioInputMixer {
public:
    FakeLine(const QString &name, bool plugged, bool enabled, QStringList *log)
        : media::Pin(nullptr, media::PINDIR_INPUT, name, nullptr), plugged_(plugged), enabled_(enabled), log_(log) {}
    HRESULT put_Enable(media::BOOL enable) override
    {
        log_->append(Name());
        enabled_ = enable != 0;
        return S_OK;
    }
    HRESULT get_Enable(media::BOOL *enabled) override
    {
        *enabled = enabled_;
        return S_OK;
    }
    bool Plugged() const override { return plugged_; }

private:
    bool plugged_;
    bool enabled_;
    QStringList *log_;
};

std::shared_ptr<media::IBaseFilter> MicrophoneWithLines(std::vector<std::shared_ptr<media::Pin>> lines)
{
    media::SourceOptions options;
    options.kind = media::SourceKind::Audio;
    options.extraPins = std::move(lines);
    return media::MakeSourceFilter(gst_element_factory_make("audiotestsrc", nullptr), options);
}

} // namespace

TEST(DeviceDiscovery, EnableMicrophoneInputSelectsOneMicrophoneLine)
{
    QStringList log;
    // "Line In" is active; of the microphone lines the rear one is unplugged.
    auto microphone = MicrophoneWithLines({std::make_shared<FakeLine>(QStringLiteral("Line In"), true, true, &log),
                                           std::make_shared<FakeLine>(QStringLiteral("Rear Microphone"), false, false, &log),
                                           std::make_shared<FakeLine>(QStringLiteral("Front Microphone"), true, false, &log)});
    ASSERT_TRUE(microphone);
    EXPECT_EQ(EnableMicrophoneInput(microphone, QStringLiteral("Microphone")), S_OK);
    EXPECT_EQ(log, QStringList{QStringLiteral("Front Microphone")});

    // Already on a microphone line: nothing is switched.
    log.clear();
    auto onMicrophone = MicrophoneWithLines({std::make_shared<FakeLine>(QStringLiteral("Microphone"), true, true, &log),
                                             std::make_shared<FakeLine>(QStringLiteral("Microphone 2"), true, false, &log)});
    EXPECT_EQ(EnableMicrophoneInput(onMicrophone, QStringLiteral("Microphone")), S_OK);
    EXPECT_TRUE(log.isEmpty());

    // The name must contain the text exactly (case-sensitive).
    EXPECT_EQ(EnableMicrophoneInput(microphone, QStringLiteral("microphone")), S_OK);
    EXPECT_TRUE(log.isEmpty());
}
