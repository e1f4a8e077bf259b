// The recording graph of the audio modes on virtual and PulseAudio devices:
// what it builds on each path, what the written file holds when decoded, and
// what is left behind when a step fails.
#include "audio/mic_array_status.h"
#include "audio_test_util.h"
#include "capture/audio_recorder.h"
#include "capture/graph_utils.h"
#include "capture_test_util.h"
#include "library/media_paths.h"
#include "platform/devices/device_enumerator.h"
#include "platform/diag/diagnostics.h"
#include "platform/media/factory.h"
#include "platform/media/filter.h"
#include "platform/media/simple_filters.h"
#include "platform/shell/local_clock.h"
#include "platform/ui/message_box.h"
#include "playback/audio_player.h"
#include "tests/support/test_environment.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QRegularExpression>
#include <atomic>
#include <unistd.h>

using namespace media;
using capturetest::Devices;
using capturetest::FilterNames;

namespace {

const QString kNoMicrophone = QStringLiteral("Microphone device is not detected.!");

// The microphone array's input: a live tone instead of the sound server.
struct ToneIntoMicArray {
    explicit ToneIntoMicArray(double hz = 440)
    {
        SetMicArrayInputFactory([hz] {
            GstElement *tone = gst_element_factory_make("audiotestsrc", nullptr);
            g_object_set(tone, "is-live", TRUE, "freq", hz, nullptr);
            return tone;
        });
    }
    ~ToneIntoMicArray() { SetMicArrayInputFactory(nullptr); }
};

// Plays a tone into the test server's null sink (what its monitor hears) and
// keeps listening to that monitor, noting the loudest level heard.
struct NullSink {
    static constexpr const char *kName = "talvora_null";
    explicit NullSink(bool playTone, double hz = 440)
    {
        if (playTone)
            tone = Launch(QStringLiteral("audiotestsrc is-live=true freq=%1 ! pulsesink device=%2").arg(hz).arg(kName));
        listener = Launch(QStringLiteral("pulsesrc device=%1.monitor ! audioconvert ! "
                                         "audio/x-raw,format=F32LE,channels=1 ! appsink name=s sync=false")
                              .arg(kName));
        GstElement *sink = gst_bin_get_by_name(GST_BIN(listener), "s");
        GstAppSinkCallbacks callbacks{};
        callbacks.new_sample = [](GstAppSink *s, gpointer data) {
            GstSample *sample = gst_app_sink_pull_sample(s);
            GstMapInfo map;
            if (sample && gst_buffer_map(gst_sample_get_buffer(sample), &map, GST_MAP_READ)) {
                const auto *f = reinterpret_cast<const float *>(map.data);
                const std::vector<float> block(f, f + map.size / sizeof(float));
                auto *loudest = static_cast<std::atomic<double> *>(data);
                *loudest = std::max(loudest->load(), audiotest::Rms(block));
                gst_buffer_unmap(gst_sample_get_buffer(sample), &map);
            }
            if (sample)
                gst_sample_unref(sample);
            return GST_FLOW_OK;
        };
        gst_app_sink_set_callbacks(GST_APP_SINK(sink), &callbacks, &loudest, nullptr);
        gst_object_unref(sink);
        for (GstElement *p : {tone, listener})
            if (p)
                gst_element_get_state(p, nullptr, nullptr, 5 * GST_SECOND);
    }
    ~NullSink()
    {
        for (GstElement *p : {tone, listener})
            if (p) {
                gst_element_set_state(p, GST_STATE_NULL);
                gst_object_unref(p);
            }
    }
    static GstElement *Launch(const QString &description)
    {
        GstElement *p = gst_parse_launch(description.toUtf8().constData(), nullptr);
        if (p)
            gst_element_set_state(p, GST_STATE_PLAYING);
        return p;
    }
    GstElement *tone = nullptr;
    GstElement *listener = nullptr;
    std::atomic<double> loudest{0};
};

class AudioRecorderTest : public ::testing::Test {
protected:
    void Use(const devices::DeviceConfig &config) { scope.emplace(config); }
    void UseToneMicrophone() { Use(Devices(QStringLiteral("none"), QStringLiteral("test"))); }
    QString Folder()
    {
        if (folder.isEmpty()) {
            folder = testenv::MakeTempFolder(QStringLiteral("Docs")) + QStringLiteral("/Talvora/AudioSolo/");
            QDir().mkpath(folder);
        }
        return folder;
    }
    QStringList FilesInFolder() { return QDir(Folder()).entryList(QDir::Files); }
    // Records for ms with the event loop running; returns the file.
    QString Record(AudioRecorder &recorder, int ms, bool micArray = false)
    {
        EXPECT_EQ(recorder.StartRecording(Folder(), micArray), S_OK);
        EXPECT_TRUE(capturetest::RecordFor(recorder.graph, ms)) << "the recording never ran";
        recorder.ReleaseGraph();
        return recorder.RecordingFileName();
    }

    std::optional<devices::DeviceConfigScope> scope;
    diag::CaptureScope debug;
    ui::RecordingPresenter boxes;
    QString folder;
};

// Every file this recorder writes must satisfy these, whatever its source.
void ExpectWmaOfTone(const QString &file, double seconds, double hz)
{
    const auto info = capturetest::Discover(file);
    ASSERT_TRUE(info.ok) << file.toStdString();
    EXPECT_TRUE(info.seekable);
    EXPECT_NEAR(info.seconds, seconds, testenv::Slack(0.3));
    EXPECT_TRUE(info.videoCaps.isEmpty()) << info.videoCaps.toStdString();
    EXPECT_TRUE(info.audioCaps.contains("audio/x-wma") && info.audioCaps.contains("wmaversion=(int)2")
                && info.audioCaps.contains("channels=(int)2") && info.audioCaps.contains("rate=(int)44100"))
        << info.audioCaps.toStdString();
    const auto sound = audiotest::DecodeMono(file);
    ASSERT_TRUE(sound.ok);
    EXPECT_GT(audiotest::Rms(sound.samples), 0.05);
    EXPECT_NEAR(audiotest::DominantFrequency(sound), hz, 5);
}

TEST_F(AudioRecorderTest, SoloRecordingOfAToneWritesAWmaOfThatTone)
{
    UseToneMicrophone();
    AudioRecorder recorder;
    const QString file = Record(recorder, 3000);
    recorder.ReleaseGraph();
    EXPECT_FALSE(recorder.graph || recorder.mediaControl || recorder.microphone || recorder.asfWriter);
    EXPECT_TRUE(boxes.Texts().isEmpty());
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d{8}-\\d{6}\\.wma$")).match(QFileInfo(file).fileName()).hasMatch())
        << file.toStdString();
    EXPECT_EQ(FilesInFolder(), QStringList{QFileInfo(file).fileName()});
    ExpectWmaOfTone(file, 3.0, 440);
}

TEST_F(AudioRecorderTest, PlainPathNamesTheMicrophoneAndRendersIntoTheWriter)
{
    UseToneMicrophone();
    shell::FixedClockScope clock(QDateTime(QDate(2011, 3, 7), QTime(9, 5, 3)));
    AudioRecorder recorder;
    ASSERT_EQ(recorder.StartRecording(Folder(), false), S_OK);
    EXPECT_EQ(recorder.RecordingFileName(), Folder() + QStringLiteral("20110307-090503.wma"));
    EXPECT_FALSE(recorder.useMicArray);
    EXPECT_TRUE(recorder.mediaEvent);
    EXPECT_FALSE(recorder.micArrayFilter || recorder.audioTee || recorder.soundRenderer);
    const QStringList names = FilterNames(recorder.graph);
    ASSERT_EQ(names.size(), 2);
    EXPECT_EQ(names[0], recorder.microphone->Name()); // the device's friendly name
    EXPECT_EQ(names[1], QStringLiteral("WM ASF Writer"));
    Guid profile;
    std::shared_ptr<IConfigAsfWriter> config;
    ASSERT_EQ(QueryInterface(recorder.asfWriter, &config), S_OK);
    config->GetCurrentProfileGuid(&profile);
    EXPECT_EQ(profile, WMProfile_V80_64StereoAudio);
    std::shared_ptr<IPin> free;
    EXPECT_EQ(FindFreePin(recorder.asfWriter, PINDIR_INPUT, &free), E_FAIL); // its one input is taken
    recorder.ReleaseGraph();
}

TEST_F(AudioRecorderTest, MicrophoneArrayPathRecordsAndMonitors)
{
    if (qEnvironmentVariableIsEmpty("PULSE_SERVER"))
        GTEST_SKIP() << "the monitoring sound renderer needs a PulseAudio server (PULSE_SERVER is unset)";
    UseToneMicrophone();
    ToneIntoMicArray tone(660);
    AudioRecorder recorder;
    ASSERT_EQ(recorder.StartRecording(Folder(), true), S_OK);
    EXPECT_TRUE(recorder.useMicArray);
    EXPECT_FALSE(recorder.microphone);
    EXPECT_EQ(FilterNames(recorder.graph), (QStringList{"DMO filter", "InfTee Filter", "InfTee Filter 0001",
                                               "WM ASF Writer"}));
    std::shared_ptr<IPin> free;
    EXPECT_EQ(FindFreePin(recorder.soundRenderer, PINDIR_INPUT, &free), E_FAIL);
    EXPECT_EQ(FindFreePin(recorder.asfWriter, PINDIR_INPUT, &free), E_FAIL);
    EXPECT_TRUE(capturetest::RecordFor(recorder.graph, 2000));
    recorder.ReleaseGraph();
    ExpectWmaOfTone(recorder.RecordingFileName(), 2.0, 660);
}

// The real capture path: PulseAudio's source for the null sink's monitor.
TEST_F(AudioRecorderTest, RecordsFromTheSoundServersMonitorSource)
{
    if (qEnvironmentVariableIsEmpty("PULSE_SERVER"))
        GTEST_SKIP() << "needs the test PulseAudio server (PULSE_SERVER is unset)";
    Use(Devices(QStringLiteral("none")));
    NullSink sink(true, 440);
    AudioRecorder recorder;
    const QString file = Record(recorder, 3000);
    ExpectWmaOfTone(file, 3.0, 440);
}

// The status library that reports an array turns Solo's recording to the
// array path; Conference is always given false.
TEST_F(AudioRecorderTest, MicArrayStatusChoosesThePathOfSoloOnly)
{
    if (qEnvironmentVariableIsEmpty("PULSE_SERVER"))
        GTEST_SKIP() << "the monitoring sound renderer needs a PulseAudio server (PULSE_SERVER is unset)";
    const QByteArray saved = qgetenv("TALVORA_PROGRAM_FILES");
    qputenv("TALVORA_PROGRAM_FILES", TALVORA_FIXTURE_ROOT "/on");
    std::shared_ptr<void> module;
    bool status = false;
    const bool loaded = LoadMicArrayStatus(module, status);
    qputenv("TALVORA_PROGRAM_FILES", saved);
    ASSERT_TRUE(loaded);
    ASSERT_TRUE(status);

    UseToneMicrophone();
    ToneIntoMicArray tone;
    AudioRecorder solo;
    ASSERT_EQ(solo.StartRecording(Folder(), status), S_OK);
    EXPECT_TRUE(FilterNames(solo.graph).contains(QStringLiteral("DMO filter")));
    solo.ReleaseGraph();
    capturetest::Pump(1100); // a new second, a new file name
    AudioRecorder conference;
    ASSERT_EQ(conference.StartRecording(Folder(), false), S_OK);
    EXPECT_FALSE(FilterNames(conference.graph).contains(QStringLiteral("DMO filter")));
    EXPECT_TRUE(conference.microphone);
    conference.ReleaseGraph();
}

// On the array path the recording is heard live: the default output (the
// null sink) receives it while it is written.
TEST_F(AudioRecorderTest, MicArrayRecordingIsHeardOnTheDefaultOutput)
{
    if (qEnvironmentVariableIsEmpty("PULSE_SERVER"))
        GTEST_SKIP() << "needs the test PulseAudio server (PULSE_SERVER is unset)";
    UseToneMicrophone();
    NullSink sink(false);
    capturetest::Pump(500);
    const double before = sink.loudest;
    ToneIntoMicArray tone;
    AudioRecorder recorder;
    Record(recorder, 2000, true);
    EXPECT_LT(before, 0.01);
    EXPECT_GT(sink.loudest.load(), 0.05);
    ExpectWmaOfTone(recorder.RecordingFileName(), 2.0, 440);
}

// The renderer behind the tee takes no sound (here: a picture converter
// stands where it belongs): the start ends with that code, the graph never
// runs and no file is written, although the writer is connected.
TEST_F(AudioRecorderTest, TeeThatCannotFeedTheRendererEndsTheStartUnrun)
{
    UseToneMicrophone();
    ToneIntoMicArray tone;
    RegisterClassFactory(CLSID_DSoundRender, [](std::shared_ptr<IUnknown> *out) {
        HRESULT hr = S_OK;
        *out = ColourConverter::Create(&hr);
        return hr;
    });
    struct Restore {
        ~Restore()
        {
            RegisterClassFactory(CLSID_DSoundRender, [](std::shared_ptr<IUnknown> *out) {
                HRESULT hr = S_OK;
                *out = AudioRenderer::Create(&hr);
                return hr;
            });
        }
    } restore;
    AudioRecorder recorder;
    const HRESULT hr = recorder.StartRecording(Folder(), true);
    EXPECT_EQ(hr, VFW_E_CANNOT_CONNECT) << std::hex << hr;
    std::shared_ptr<IPin> free;
    EXPECT_EQ(FindFreePin(recorder.asfWriter, PINDIR_INPUT, &free), E_FAIL);
    OAFilterState state = State_Running;
    ASSERT_TRUE(recorder.mediaControl);
    recorder.mediaControl->GetState(0, &state);
    EXPECT_EQ(state, State_Stopped);
    recorder.ReleaseGraph();
    EXPECT_TRUE(FilesInFolder().isEmpty());
}

// A microphone that stops delivering one second in (unplugged), and a
// recorder destroyed mid-recording (the dialog closing): finished files.
TEST_F(AudioRecorderTest, VanishingMicrophoneAndDestroyedRecorderLeaveFinishedFiles)
{
    devices::RegisterSystemDeviceEnum();
    RegisterClassFactory(CLSID_SystemDeviceEnum, [](std::shared_ptr<IUnknown> *out) {
        struct OneMicrophone : devices::ICreateDevEnum {
            HRESULT CreateClassEnumerator(const Guid &, std::shared_ptr<devices::IEnumMoniker> *e, DWORD) override
            {
                auto mic = std::make_shared<devices::SimpleMoniker>(
                    QStringLiteral("Short Microphone"), QString(), [](std::shared_ptr<IBaseFilter> *filter) {
                        GstElement *src = gst_element_factory_make("audiotestsrc", nullptr);
                        g_object_set(src, "is-live", TRUE, "num-buffers", 43, nullptr); // about 1 s
                        SourceOptions options;
                        options.kind = SourceKind::Audio;
                        *filter = MakeSourceFilter(src, options);
                        return *filter ? S_OK : E_FAIL;
                    });
                *e = std::make_shared<devices::MonikerList>(std::vector<std::shared_ptr<devices::IMoniker>>{mic});
                return S_OK;
            }
        };
        *out = std::make_shared<OneMicrophone>();
        return S_OK;
    });
    struct Restore {
        ~Restore() { devices::RegisterSystemDeviceEnum(true); }
    } restore;
    AudioRecorder recorder;
    const QString cut = Record(recorder, 2000);
    const auto info = capturetest::Discover(cut);
    ASSERT_TRUE(info.ok);
    EXPECT_TRUE(info.seekable);
    EXPECT_NEAR(info.seconds, 1.0, testenv::Slack(0.3));
    devices::RegisterSystemDeviceEnum(true);

    UseToneMicrophone();
    capturetest::Pump(1100);
    auto closing = std::make_unique<AudioRecorder>();
    ASSERT_EQ(closing->StartRecording(Folder(), false), S_OK);
    const QString file = closing->RecordingFileName();
    EXPECT_TRUE(capturetest::RecordFor(closing->graph, 1500));
    closing.reset();
    ExpectWmaOfTone(file, 1.5, 440);
}

// Names go by the second: Stop and Record again within one second must not
// overwrite the file just made, and a name that stays taken is refused.
TEST_F(AudioRecorderTest, QuickSecondRecordingKeepsTheFirstFile)
{
    UseToneMicrophone();
    AudioRecorder recorder;
    const QString first = Record(recorder, 300);
    const QString second = Record(recorder, 300);
    EXPECT_NE(first, second);
    EXPECT_EQ(FilesInFolder().size(), 2);
    for (const QString &file : {first, second})
        EXPECT_TRUE(capturetest::Discover(file).ok) << file.toStdString();

    shell::FixedClockScope clock(QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5)));
    const QString taken = Folder() + QStringLiteral("20260102-030405.wma");
    ASSERT_TRUE(QFile::copy(first, taken));
    const qint64 size = QFileInfo(taken).size();
    EXPECT_TRUE(Failed(recorder.StartRecording(Folder(), false)));
    recorder.ReleaseGraph();
    EXPECT_EQ(QFileInfo(taken).size(), size);
    EXPECT_TRUE(capturetest::Discover(taken).ok);
}

// TALVORA_SMALL_DISK names a folder on a small file system (for example a
// 48 KiB tmpfs) that the recording fills within seconds.
TEST_F(AudioRecorderTest, FullDiskEndsTheRecordingAndKeepsWhatWasWritten)
{
    const QString small = qEnvironmentVariable("TALVORA_SMALL_DISK");
    if (small.isEmpty())
        GTEST_SKIP() << "set TALVORA_SMALL_DISK to a folder on a small file system";
    UseToneMicrophone();
    AudioRecorder recorder;
    ASSERT_EQ(recorder.StartRecording(small + QLatin1Char('/'), false), S_OK);
    LONG code = 0;
    LONG_PTR p1 = 0, p2 = 0;
    bool ended = false;
    capturetest::WaitUntil([&] {
        ended = ended || (Succeeded(recorder.mediaEvent->GetEvent(&code, &p1, &p2, 0)) && code == EC_ERRORABORT);
        return ended;
    }, 20000);
    EXPECT_TRUE(ended);
    QElapsedTimer timer;
    timer.start();
    recorder.ReleaseGraph();
    EXPECT_LT(timer.elapsed(), 6000);
    const auto sound = audiotest::DecodeMono(recorder.RecordingFileName());
    ASSERT_TRUE(sound.ok);
    EXPECT_GT(sound.samples.size(), size_t(sound.rate)); // more than a second of it
    EXPECT_NEAR(audiotest::DominantFrequency(sound), 440, 5);
    AudioPlayer player; // and the program's own player takes it
    EXPECT_EQ(player.OpenAndPlay(recorder.RecordingFileName(), nullptr), S_OK);
    player.ReleaseGraph();
    QFile::remove(recorder.RecordingFileName());
}

TEST_F(AudioRecorderTest, NoMicrophoneTellsTheUserOnceAndLeavesNoFile)
{
    Use(Devices(QStringLiteral("none"), QStringLiteral("none")));
    AudioRecorder recorder;
    EXPECT_EQ(recorder.StartRecording(Folder(), false), S_FALSE);
    EXPECT_EQ(boxes.Texts(), QStringList{kNoMicrophone});
    EXPECT_FALSE(recorder.asfWriter);
    recorder.ReleaseGraph();
    EXPECT_TRUE(FilesInFolder().isEmpty());
}

TEST_F(AudioRecorderTest, UnwritableFolderFailsWithoutAFile)
{
    UseToneMicrophone();
    AudioRecorder recorder;
    const QString missing = Folder() + QStringLiteral("gone/");
    EXPECT_TRUE(Failed(recorder.StartRecording(missing, false)));
    recorder.ReleaseGraph();
    EXPECT_FALSE(QFileInfo::exists(missing));

    // A mode folder that is a file (a read-only folder stops only non-root users).
    const QString notAFolder = Folder() + QStringLiteral("plain");
    ASSERT_TRUE(testenv::WriteFile(notAFolder, "x"));
    EXPECT_TRUE(Failed(recorder.StartRecording(notAFolder + QLatin1Char('/'), false)));
    recorder.ReleaseGraph();
    QFile::remove(notAFolder);

    if (geteuid() != 0) {
        QFile::setPermissions(Folder(), QFile::ReadOwner | QFile::ExeOwner);
        const HRESULT hr = recorder.StartRecording(Folder(), false);
        recorder.ReleaseGraph();
        QFile::setPermissions(Folder(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        EXPECT_TRUE(Failed(hr)) << std::hex << hr;
    }
    EXPECT_TRUE(FilesInFolder().isEmpty());
    EXPECT_TRUE(boxes.Texts().isEmpty());
}

// The file cannot be opened once the graph runs (its name leads nowhere):
// the start fails and nothing is left but what was there.
TEST_F(AudioRecorderTest, GraphThatCannotStartIsAFailureAndLeavesNoFile)
{
    UseToneMicrophone();
    shell::FixedClockScope clock(QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5)));
    const QString name = Folder() + QStringLiteral("20260102-030405.wma");
    ASSERT_TRUE(QFile::link(Folder() + QStringLiteral("missing/folder/file.wma"), name));
    AudioRecorder recorder;
    EXPECT_TRUE(Failed(recorder.StartRecording(Folder(), false)));
    recorder.ReleaseGraph();
    EXPECT_EQ(QDir(Folder()).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("20260102-030405.wma")});
    EXPECT_TRUE(QFileInfo(name).isSymLink());
}

} // namespace
