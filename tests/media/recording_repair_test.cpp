// The file writer's marker and level meter, and the repair of a file whose
// writer died before finishing it.
#include "media_test_util.h"

#include "platform/media/asf_remuxer.h"
#include "platform/media/recording_marker.h"
#include "platform/media/recording_status.h"
#include "tests/support/test_environment.h"

#include <QFile>
#include <QFileInfo>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>

using namespace media;
using namespace mediatest;

namespace {

std::shared_ptr<Filter> Microphone(bool silent)
{
    GstElement *src = gst_element_factory_make("audiotestsrc", nullptr);
    g_object_set(src, "is-live", TRUE, nullptr);
    if (silent)
        gst_util_set_object_arg(G_OBJECT(src), "wave", "silence");
    SourceOptions options;
    options.kind = SourceKind::Audio;
    return MakeSourceFilter(src, options);
}

struct Writing {
    std::shared_ptr<Graph> graph = NewGraph();
    std::shared_ptr<ICaptureGraphBuilder2> builder = Create<ICaptureGraphBuilder2>(CLSID_CaptureGraphBuilder2);
    std::shared_ptr<Filter> writer;
    QString path;

    // camera -> writer's video input, microphone -> its audio input; running.
    bool Start(const QString &file, bool silent = false)
    {
        path = file;
        if (builder->SetFiltergraph(graph) != S_OK
            || builder->SetOutputFileName(MEDIASUBTYPE_Asf, path, &writer, nullptr) != S_OK)
            return false;
        auto mic = Microphone(silent);
        auto camera = MakeTestCamera();
        graph->AddFilter(mic, QStringLiteral("Audio Capture Filter"));
        graph->AddFilter(camera, QStringLiteral("Capture Filter"));
        std::shared_ptr<Pin> videoIn;
        writer->FindPin(QStringLiteral("Video Input 01"), &videoIn);
        return builder->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Audio, mic, nullptr, writer) == S_OK
            && graph->Connect(PinAt(camera, 0), videoIn) == S_OK && RunUntilRunning(*graph);
    }
    // What a killed process leaves: the pipeline goes away without an end of stream.
    void Kill()
    {
        gst_element_set_state(graph->Pipeline(), GST_STATE_NULL);
        writer.reset();
        graph.reset();
        builder.reset();
    }
};

bool WaitForBytes(const QString &path, qint64 bytes, int ms)
{
    return WaitUntil([&] { return QFileInfo(path).size() >= bytes; }, ms);
}

QString NewPath(const char *name) { return testenv::MakeTempFolder() + QLatin1Char('/') + QLatin1String(name); }

QByteArray Contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

TEST(RecordingMarker, LiesBesideTheFileWhileWrittenAndGoesWhenTheFileIsComplete)
{
    Writing w;
    ASSERT_TRUE(w.Start(NewPath("20260101-100000.wmv")));
    const QString marker = RecordingMarkerPath(w.path);
    EXPECT_EQ(marker, w.path + QStringLiteral(".recording"));
    EXPECT_TRUE(QFileInfo::exists(marker));
    EXPECT_TRUE(MarkerIsOurs(marker)); // the running program never repairs its own file
    ASSERT_TRUE(WaitForBytes(w.path, 20000, 20000));
    w.graph->Stop();
    EXPECT_FALSE(QFileInfo::exists(marker));
    EXPECT_GT(AsfFileDurationMs(w.path), 0);
}

TEST(RecordingMarker, StaysWhenTheWriterDiesAndIsNotOursOnceItCameFromAnotherProcess)
{
    Writing w;
    ASSERT_TRUE(w.Start(NewPath("20260101-100001.wmv")));
    ASSERT_TRUE(WaitForBytes(w.path, 20000, 20000));
    w.Kill();
    const QString marker = RecordingMarkerPath(w.path);
    ASSERT_TRUE(QFileInfo::exists(marker));
    QFile f(marker);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write("1 another-boot\n");
    f.close();
    EXPECT_FALSE(MarkerIsOurs(marker));
    QString file;
    EXPECT_TRUE(IsRecordingMarker(marker, &file));
    EXPECT_EQ(file, w.path);
    EXPECT_FALSE(IsRecordingMarker(w.path));
}

TEST(RecordingStatus, MetersTheMicrophoneWhileWritingAndTellsSilenceFromSound)
{
    for (const bool silent : {false, true}) {
        Writing w;
        ASSERT_TRUE(w.Start(NewPath(silent ? "silent.wmv" : "tone.wmv"), silent));
        ASSERT_TRUE(WaitUntil([] { return CurrentRecording().levelCount >= 5; }, 20000)) << silent;
        const RecordingStatus s = CurrentRecording();
        EXPECT_TRUE(s.writing);
        EXPECT_EQ(QFileInfo(s.file).fileName(), QFileInfo(w.path).fileName());
        EXPECT_FALSE(s.writeFailed);
        if (silent)
            EXPECT_LE(s.peakDb, -90.0); // digital silence, far below any real input
        else
            EXPECT_GT(s.peakDb, -30.0);
        w.graph->Stop();
        EXPECT_FALSE(CurrentRecording().writing);
    }
}

TEST(RecordingStatus, AWriteErrorIsReportedAndTheMarkerStaysForRepair)
{
    // A file-size limit makes writes fail the way a full disk does.
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 150000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    Writing w;
    const bool started = w.Start(NewPath("20260101-100009.wmv"));
    const bool failed = started && WaitUntil([] { return CurrentRecording().writeFailed; }, 30000);
    if (started)
        w.graph->Stop(); // closes without waiting for a drain that cannot come
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    ASSERT_TRUE(started);
    EXPECT_TRUE(failed);
    EXPECT_FALSE(CurrentRecording().writing);
    EXPECT_TRUE(QFileInfo::exists(RecordingMarkerPath(w.path)));
    EXPECT_GT(QFileInfo(w.path).size(), 0);
}

TEST(AsfRepair, AnInterruptedRecordingGetsItsDurationBackWithoutLosingPackets)
{
    Writing w;
    ASSERT_TRUE(w.Start(NewPath("20260101-100002.wmv")));
    QThread::msleep(3000);
    ASSERT_TRUE(WaitForBytes(w.path, 100000, 20000));
    w.Kill();
    const qint64 before = AsfFileDurationMs(w.path);
    EXPECT_LE(before, 0) << "an interrupted file was expected to lack its duration";
    ASSERT_EQ(RepairAsfFile(w.path), RepairResult::Repaired);
    const qint64 after = AsfFileDurationMs(w.path);
    EXPECT_GT(after, 1000);
    EXPECT_LT(after, 60000);
    EXPECT_FALSE(QFileInfo::exists(RepairTemporaryPath(w.path)));
}

TEST(AsfRepair, UnreadableFilesAreLeftExactlyAsTheyWere)
{
    const QString garbage = NewPath("20260101-100003.wmv");
    QFile f(garbage);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(50000, 'x'));
    f.close();
    const QString empty = NewPath("20260101-100004.wmv");
    QFile(empty).open(QIODevice::WriteOnly);
    for (const QString &path : {garbage, empty, NewPath("missing.wmv")}) {
        const QByteArray bytes = Contents(path);
        EXPECT_EQ(RepairAsfFile(path, 10000), RepairResult::NotRepairable) << path.toStdString();
        EXPECT_EQ(Contents(path), bytes);
        EXPECT_FALSE(QFileInfo::exists(RepairTemporaryPath(path)));
    }
}

TEST(AsfRepair, AFileCutInHalfIsRepairedOrLeftUntouched)
{
    Writing w;
    ASSERT_TRUE(w.Start(NewPath("20260101-100005.wmv")));
    QThread::msleep(3000);
    ASSERT_TRUE(WaitForBytes(w.path, 100000, 20000));
    w.graph->Stop();
    QFile f(w.path);
    ASSERT_TRUE(f.resize(f.size() / 2));
    const QByteArray bytes = Contents(w.path);
    if (RepairAsfFile(w.path) == RepairResult::Repaired)
        EXPECT_GT(AsfFileDurationMs(w.path), 0);
    else
        EXPECT_EQ(Contents(w.path), bytes);
}
