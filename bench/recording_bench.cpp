// Recording safety figures, run by hand:
//   recording_bench [repair-seconds [overlay-seconds]]
// 1. Repair time of an interrupted Video recording (default 60 s of camera and
//    tone, the process's writer then dropped without finishing the file).
// 2. CPU seconds of a Video recording (default 20 s) with the whole view drawn,
//    without and with the recording overlay laid over it. Offscreen by default;
//    QT_QPA_PLATFORM=xcb on an X display draws for real.
// 3. What the start-up pass over the five capture folders costs when they hold
//    300 finished captures and no marker: the dialog thread's part (starting
//    the pass) and the time until the pass reports back.
#include "bench/bench_support.h"
#include "capture/video_recorder.h"
#include "controls/recording_indicator.h"
#include "library/interrupted_recordings.h"
#include "platform/devices/device_config.h"
#include "platform/media/asf_remuxer.h"
#include "platform/media/graph.h"
#include "platform/media/recording_status.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <cstdio>
#include <vector>
#include <gst/gst.h>
#include <sys/resource.h>

namespace {
using bench::Hosts;
using bench::ProcessCpuSeconds;
using bench::Pump;




void RepairFigure(const QString &folder, int seconds)
{
    QString file;
    {
        Hosts hosts;
        VideoRecorder recorder;
        if (recorder.StartRecording(folder, hosts.whole, hosts.left, hosts.right, false) != S_OK) {
            std::printf("repair: StartRecording failed\n");
            return;
        }
        Pump(seconds * 1000);
        file = recorder.RecordingFileName();
        // What SIGKILL leaves: the graph goes away without finishing the file.
        if (auto graph = std::dynamic_pointer_cast<media::Graph>(recorder.graph))
            gst_element_set_state(graph->Pipeline(), GST_STATE_NULL);
        recorder.ReleaseGraph();
    }
    const qint64 bytes = QFileInfo(file).size();
    std::printf("interrupted file: %lld bytes, duration before repair %lld ms\n", bytes, media::AsfFileDurationMs(file));
    QElapsedTimer wall;
    wall.start();
    const double cpu0 = ProcessCpuSeconds();
    const media::RepairResult result = media::RepairAsfFile(file);
    std::printf("repair of %d s: %s in %.3f s wall, %.3f CPU s; duration after %lld ms\n", seconds,
        result == media::RepairResult::Repaired ? "repaired" : "NOT repaired", wall.elapsed() / 1000.0,
        ProcessCpuSeconds() - cpu0, media::AsfFileDurationMs(file));
}

double RecordingCpu(const QString &folder, int seconds, bool overlay)
{
    Hosts hosts;
    VideoRecorder recorder;
    CRecordingIndicator indicator(
        [] {
            const media::RecordingStatus s = media::CurrentRecording();
            return CRecordingIndicator::Level{s.peakDb, s.levelCount};
        },
        &hosts.window);
    const double cpu0 = ProcessCpuSeconds();
    if (recorder.StartRecording(folder, hosts.whole, hosts.left, hosts.right, false) != S_OK)
        return -1;
    if (overlay)
        indicator.Start(hosts.whole);
    Pump(seconds * 1000);
    indicator.Stop();
    recorder.ReleaseGraph();
    return ProcessCpuSeconds() - cpu0;
}

void StartUpPassFigure(const QString &root, int captures, const QString &sample)
{
    QStringList folders;
    for (const char *name : {"AudioSolo", "AudioConference", "Video", "TVideo", "Photo"})
        folders << root + QLatin1String(name) + QLatin1Char('/');
    for (const QString &f : folders)
        QDir().mkpath(f);
    for (int i = 0; i < captures; ++i)
        QFile::copy(sample, folders[2] + QStringLiteral("20260101-%1.wmv").arg(i, 6, 10, QLatin1Char('0')));
    library::InterruptedRecordings repairs;
    std::vector<qint64> callUs, doneUs;
    for (int round = 0; round < 21; ++round) {
        QEventLoop loop;
        QObject::connect(&repairs, &library::InterruptedRecordings::Done, &loop, &QEventLoop::quit);
        QElapsedTimer t;
        t.start();
        repairs.RepairInBackground(folders);
        callUs.push_back(t.nsecsElapsed() / 1000);
        loop.exec();
        doneUs.push_back(t.nsecsElapsed() / 1000);
    }
    std::sort(callUs.begin(), callUs.end());
    std::sort(doneUs.begin(), doneUs.end());
    std::printf("start-up pass over %d captures, no markers (median of %zu): dialog thread %lld us, "
                "pass done after %lld us\n", captures, callUs.size(), callUs[callUs.size() / 2],
        doneUs[doneUs.size() / 2]);
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    gst_init(&argc, &argv);
    QApplication app(argc, argv);
    const int repairSeconds = argc > 1 ? std::max(1, atoi(argv[1])) : 60;
    const int overlaySeconds = argc > 2 ? std::max(1, atoi(argv[2])) : 20;
    devices::SetDeviceConfig(devices::DeviceConfig::Parse(
        {QStringLiteral("--camera=test"), QStringLiteral("--microphone=test")}, QString(), QString()));
    QTemporaryDir dir;
    const QString folder = dir.path() + QLatin1Char('/');
    RepairFigure(folder, repairSeconds);
    // The Video recordings of the overlay figure serve as the captures' content.
    const QStringList made = QDir(folder).entryList({QStringLiteral("*.wmv")}, QDir::Files);
    if (!made.isEmpty())
        StartUpPassFigure(dir.path() + QStringLiteral("/start/"), 300, folder + made[0]);
    for (int round = 0; round < 2; ++round) {
        const double without = RecordingCpu(folder, overlaySeconds, false);
        const double with = RecordingCpu(folder, overlaySeconds, true);
        std::printf("Video recording %d s: %.2f CPU s without the overlay, %.2f with (%+.1f %%)\n", overlaySeconds,
            without, with, without > 0 ? (with - without) * 100.0 / without : 0.0);
    }
    return 0;
}
