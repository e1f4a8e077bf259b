// A recording on the dialog shows that it runs and stops itself before the
// disk is full; captures a dead process left unfinished are repaired after
// start and listed.
#include "controls/hover_button.h"
#include "controls/recording_indicator.h"
#include "platform/devices/device_config.h"
#include "platform/media/asf_remuxer.h"
#include "platform/media/graph.h"
#include "platform/media/recording_marker.h"
#include "platform/ui/list_view.h"
#include "tests/capture/capture_test_util.h"
#include "tests/dialog/dialog_fixture.h"
#include "tests/support/gst_pipeline.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <QThread>
#include <gst/gst.h>

namespace {

void Pump(int ms) { PumpFor(ms); }

devices::DeviceConfig TestDevices()
{
    return devices::DeviceConfig::Parse({QStringLiteral("--camera=test"), QStringLiteral("--microphone=test")},
                                        QString(), QString());
}

// One second of tone as a ".wma" capture.
bool MakeWma(const QString &path)
{
    return testsupport::RunPipelineToEnd(
        QStringLiteral("audiotestsrc num-buffers=44 samplesperbuffer=1000 ! audioconvert ! "
                       "audio/x-raw,rate=44100,channels=2 ! avenc_wmav2 ! asfmux ! filesink location=\"%1\"")
            .arg(path));
}

QStringList Files(const QString &folder) { return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name); }

} // namespace

class RecordingSafetyTest : public DialogTest {};

TEST_F(RecordingSafetyTest, MarkedCapturesAreRepairedAfterStartAndListed)
{
    const QString folder = QDir::homePath() + QStringLiteral("/Documents/Talvora/AudioSolo/");
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString file = folder + QStringLiteral("20260101-080000.wma");
    ASSERT_TRUE(MakeWma(file));
    QFile marker(media::RecordingMarkerPath(file));
    ASSERT_TRUE(marker.open(QIODevice::WriteOnly));
    marker.write("1 an-earlier-boot\n");
    marker.close();

    MainDlg &d = Open();
    EXPECT_EQ(d.CurrentMode(), Solo);
    ASSERT_TRUE(PumpUntil([&] { return !QFileInfo::exists(marker.fileName()) && !d.RepairsBusy(); }, 60000));
    EXPECT_EQ(Files(folder), QStringList({QStringLiteral("20260101-080000.wma")}));
    EXPECT_EQ(d.ThumbnailList()->GetItemCount(), 1);
    QStringList texts = boxes.Texts(); // only what any start says here (no face detector in the tests)
    texts.removeAll(QStringLiteral("Can not load facedetect.dll and tracing function will be disabled "));
    EXPECT_TRUE(texts.isEmpty()) << texts.join(" | ").toStdString();
}

TEST_F(RecordingSafetyTest, TheOverlayRunsWithAVideoRecordingOverTheWholeViewAndGoesOnStop)
{
    devices::DeviceConfigScope devices(TestDevices());
    MainDlg &d = Open();
    d.OnVideo();
    Pump(300);
    const QRect recordAt = d.recordButton->geometry();
    d.OnRecord();
    ASSERT_EQ(d.CurrentActivity(), Recording);
    CRecordingIndicator *overlay = d.RecordingIndicator();
    ASSERT_NE(overlay, nullptr);
    EXPECT_TRUE(overlay->isVisible());
    EXPECT_TRUE(d.wholeFrameControl->geometry().contains(overlay->geometry()));
    EXPECT_EQ(overlay->pos(), d.wholeFrameControl->pos() + QPoint(6, 6));
    EXPECT_EQ(d.recordButton->geometry(), recordAt);
    ASSERT_TRUE(PumpUntil([&] { return overlay->Text().startsWith(QStringLiteral("0:02")); }, 20000))
        << overlay->Text().toStdString();
    EXPECT_GT(overlay->BarFraction(), 0.3) << "the test microphone's tone reaches the level bar";
    EXPECT_FALSE(overlay->Warning());
    EXPECT_TRUE(d.DiskWatch().Watching());
    d.OnStop();
    EXPECT_FALSE(overlay->isVisible());
    EXPECT_FALSE(d.DiskWatch().Watching());
    const QStringList files = Files(d.Paths().videoFolder);
    ASSERT_EQ(files.size(), 1) << files.join(" ").toStdString();
    EXPECT_TRUE(files[0].endsWith(QStringLiteral(".wmv"))) << "the marker went with the finished file";
}

TEST_F(RecordingSafetyTest, ADiskRunningFullStopsTheRecordingOnceWithAMessageAndAFinishedFile)
{
    devices::DeviceConfigScope devices(TestDevices());
    MainDlg &d = Open();
    qint64 free = 10LL * 1000 * 1000 * 1000;
    d.DiskWatch().SetFreeBytes([&free](const QString &) { return free; });
    d.DiskWatch().SetPeriodMs(50);
    d.OnRecord(); // Solo
    ASSERT_EQ(d.CurrentActivity(), Recording);
    Pump(1500);
    free = 100 * 1000 * 1000;
    ASSERT_TRUE(PumpUntil([&] { return d.CurrentActivity() == Idle; }, 10000));
    Pump(300);
    const QString text = QStringLiteral("The disk is almost full. The recording was stopped and saved.");
    EXPECT_EQ(boxes.Count(text), 1) << boxes.Texts().join(" | ").toStdString();
    EXPECT_FALSE(d.recordButton->IsLatched());
    EXPECT_FALSE(d.RecordingIndicator()->isVisible());
    const QStringList files = Files(d.Paths().audioSoloFolder);
    ASSERT_EQ(files.size(), 1) << files.join(" ").toStdString();
    EXPECT_GT(QFileInfo(d.Paths().audioSoloFolder + files[0]).size(), 1000);

    // With the disk still full, Record refuses to start and says why.
    boxes.Clear();
    ASSERT_TRUE(PumpUntil([] { return !recordBusy; }, 5000)); // the Record hold
    d.OnRecord();
    EXPECT_EQ(d.CurrentActivity(), Idle);
    EXPECT_EQ(boxes.Count(QStringLiteral("There is not enough free disk space to record.")), 1);
    EXPECT_EQ(Files(d.Paths().audioSoloFolder).size(), 1);
}

TEST_F(RecordingSafetyTest, ACaptureFolderRemovedSinceStartIsMadeAgainAndOneThatCannotBeIsSaidSo)
{
    devices::DeviceConfigScope devices(TestDevices());
    MainDlg &d = Open();
    const QString folder = d.Paths().audioSoloFolder;
    ASSERT_TRUE(QDir(folder).removeRecursively());
    d.OnRecord(); // Solo
    ASSERT_EQ(d.CurrentActivity(), Recording);
    Pump(1100);
    d.OnStop();
    EXPECT_TRUE(PumpUntil([&] { return !d.RepairsBusy(); }, 30000));
    EXPECT_EQ(Files(folder).size(), 1) << Files(folder).join(" ").toStdString();

    // A file where the folder should be: nothing can be recorded there.
    ASSERT_TRUE(QDir(folder).removeRecursively());
    QFile blocker(QDir::cleanPath(folder));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    boxes.Clear();
    ASSERT_TRUE(PumpUntil([] { return !recordBusy; }, 5000)); // the Record hold
    d.OnRecord();
    EXPECT_EQ(d.CurrentActivity(), Idle);
    EXPECT_FALSE(d.recordButton->IsLatched());
    EXPECT_EQ(boxes.Count(QStringLiteral("The folder %1 cannot be written to. Nothing was recorded.")
                              .arg(QDir::toNativeSeparators(folder))), 1)
        << boxes.Texts().join(" | ").toStdString();
    EXPECT_FALSE(d.mute.IsMuted()) << "the speakers muted for the recording come back";
    QFile::remove(blocker.fileName());
}

TEST_F(RecordingSafetyTest, AFileTheWriterCouldNotFinishAtStopIsRepairedRightAfter)
{
    devices::DeviceConfigScope devices(TestDevices());
    MainDlg &d = Open();
    ASSERT_TRUE(PumpUntil([&] { return !d.RepairsBusy(); }, 30000)); // the start's own pass
    d.OnRecord(); // Solo
    ASSERT_EQ(d.CurrentActivity(), Recording);
    auto graph = std::dynamic_pointer_cast<media::Graph>(d.audioRecorder.graph);
    ASSERT_TRUE(graph);
    // The muxer's end of stream never reaches the file: the writer cannot finish it.
    graph->SetDrainTimeoutMs(300);
    GstIterator *it = gst_bin_iterate_recurse(GST_BIN(graph->Pipeline()));
    GValue item = G_VALUE_INIT;
    bool dropping = false;
    while (gst_iterator_next(it, &item) == GST_ITERATOR_OK) {
        auto *element = GST_ELEMENT(g_value_get_object(&item));
        GstElementFactory *factory = gst_element_get_factory(element);
        if (factory && g_str_equal(GST_OBJECT_NAME(factory), "asfmux")) {
            GstPad *out = gst_element_get_static_pad(element, "src");
            gst_pad_add_probe(out, GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM, +[](GstPad *, GstPadProbeInfo *info, gpointer) {
                return GST_EVENT_TYPE(GST_PAD_PROBE_INFO_EVENT(info)) == GST_EVENT_EOS ? GST_PAD_PROBE_DROP
                                                                                       : GST_PAD_PROBE_OK;
            }, nullptr, nullptr);
            gst_object_unref(out);
            dropping = true;
        }
        g_value_reset(&item);
    }
    g_value_unset(&item);
    gst_iterator_free(it);
    ASSERT_TRUE(dropping);
    ASSERT_TRUE(capturetest::RecordFor(d.audioRecorder.graph, 2000));
    d.OnStop();
    const QString folder = d.Paths().audioSoloFolder;
    // Cut short, the file keeps its marker until the repair that follows (on its
    // own thread, often done before this line) has rebuilt it.
    ASSERT_TRUE(PumpUntil([&] { return Files(folder).size() == 1 && !d.RepairsBusy(); }, 30000))
        << Files(folder).join(" ").toStdString();
    const QStringList files = Files(folder);
    EXPECT_TRUE(files[0].endsWith(QStringLiteral(".wma")));
    EXPECT_GT(media::AsfFileDurationMs(folder + files[0]), 1000);
}

TEST_F(RecordingSafetyTest, ACaptureFolderRemovedDuringARecordingGetsTheWholeRecordingBackAndOneMessage)
{
    devices::DeviceConfigScope devices(TestDevices());
    MainDlg &d = Open();
    d.OnVideo();
    ASSERT_TRUE(PumpUntil([&] { return !d.RepairsBusy(); }, 30000));
    d.OnRecord();
    ASSERT_EQ(d.CurrentActivity(), Recording);
    CRecordingIndicator *overlay = d.RecordingIndicator();
    ASSERT_TRUE(PumpUntil([&] { return overlay->Text().startsWith(QStringLiteral("0:01")); }, 20000));
    const QString folder = d.Paths().videoFolder;
    QString name;
    for (const QString &f : Files(folder))
        if (f.endsWith(QStringLiteral(".wmv")))
            name = f;
    ASSERT_FALSE(name.isEmpty());
    ASSERT_TRUE(QDir(folder).removeRecursively());
    ASSERT_TRUE(PumpUntil([&] { return overlay->Text().startsWith(QStringLiteral("0:03")); }, 20000));
    EXPECT_EQ(d.CurrentActivity(), Recording) << "the removal alone stops nothing";
    d.OnStop();
    ASSERT_TRUE(PumpUntil([&] { return !d.RepairsBusy() && !boxes.Texts().isEmpty(); }, 30000));
    Pump(200);
    EXPECT_EQ(Files(folder), QStringList({name}));
    EXPECT_GE(media::AsfFileDurationMs(folder + name), 2900);
    const QString text = QStringLiteral("The folder %1 was removed during the recording. It was made again and the "
                                        "recording was kept in it.")
                             .arg(QDir::toNativeSeparators(QDir::cleanPath(folder)));
    EXPECT_EQ(boxes.Texts(), QStringList({text}));
    EXPECT_EQ(d.ThumbnailList()->GetItemCount(), 1) << "listed again";
}

namespace {
// What another player makes of a file: its duration by ffprobe (-1 when it
// does not open), and whether ffmpeg decodes it to the end without an error exit.
double ProbeSeconds(const QString &file)
{
    QProcess probe;
    probe.start(QStringLiteral("ffprobe"), {"-v", "error", "-show_entries", "format=duration", "-of", "csv=p=0", file});
    if (!probe.waitForFinished(15000) || probe.exitCode() != 0)
        return -1;
    bool ok = false;
    const double seconds = QString::fromLatin1(probe.readAllStandardOutput()).trimmed().toDouble(&ok);
    return ok ? seconds : -1;
}

bool Decodes(const QString &file)
{
    QProcess decode;
    decode.start(QStringLiteral("ffmpeg"), {"-v", "error", "-i", file, "-f", "null", "-"});
    return decode.waitForFinished(30000) && decode.exitStatus() == QProcess::NormalExit && decode.exitCode() == 0;
}
} // namespace

// Stop pressed right after Record, before the graph plays or has written a
// packet: either a short file that players open, or no file at all.
TEST_F(RecordingSafetyTest, AStopInTheFirstMomentLeavesAPlayableFileOrNone)
{
    devices::DeviceConfigScope devices(TestDevices());
    MainDlg &d = Open();
    for (int mode : {Solo, Video}) {
        if (mode == Video)
            d.OnVideo();
        const QString folder = mode == Solo ? d.Paths().audioSoloFolder : d.Paths().videoFolder;
        for (int afterMs : {0, 40, 150}) {
            SCOPED_TRACE(testing::Message() << "mode " << mode << ", Stop after " << afterMs << " ms");
            ASSERT_TRUE(PumpUntil([&] { return !recordBusy; }, 5000)); // the Record hold
            d.OnRecord();
            ASSERT_EQ(d.CurrentActivity(), Recording);
            if (afterMs > 0)
                Pump(afterMs);
            d.OnStop();
            ASSERT_TRUE(PumpUntil([&] { return !d.RepairsBusy(); }, 30000));
        }
        for (const QString &name : Files(folder)) {
            SCOPED_TRACE(name.toStdString());
            EXPECT_FALSE(name.endsWith(QStringLiteral(".recording"))) << "every file finished";
            const QString file = folder + name;
            EXPECT_GT(ProbeSeconds(file), 0.0) << "opens with a duration";
            EXPECT_TRUE(Decodes(file));
        }
    }
    EXPECT_TRUE(boxes.Texts().filter(QStringLiteral("recording")).isEmpty()) << boxes.Texts().join(" | ").toStdString();
}
