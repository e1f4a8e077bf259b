// The recording graph of the audio modes on virtual and PulseAudio devices:
// what it builds on each path, what the written file holds when decoded, and
// what is left behind when a step fails.
#include "audio_test_util.h"
#include "capture/audio_recorder.h"
#include "capture/graph_utils.h"
#include "capture_test_util.h"
#include "library/media_paths.h"
#include "platform/diag/diagnostics.h"
#include "platform/media/factory.h"
#include "platform/media/filter.h"
#include "platform/shell/local_clock.h"
#include "platform/ui/message_box.h"
#include "tests/support/test_environment.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <unistd.h>

using namespace media;
using capturetest::Devices;

namespace {

const QString kNoMicrophone = QStringLiteral("Microphone device is not detected.!");

QStringList FilterNames(const std::shared_ptr<IGraphBuilder> &graph)
{
    std::vector<std::shared_ptr<IBaseFilter>> filters;
    graph->EnumFilters(&filters);
    QStringList names;
    for (const auto &f : filters)
        names << f->Name();
    return names;
}

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
        capturetest::Pump(ms);
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
    EXPECT_NEAR(info.seconds, seconds, 0.3);
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
    capturetest::Pump(2000);
    recorder.ReleaseGraph();
    ExpectWmaOfTone(recorder.RecordingFileName(), 2.0, 660);
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
