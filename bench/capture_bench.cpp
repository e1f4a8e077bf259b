// Capture engine figures, run by hand:
//   capture_bench [seconds [folder [rounds]]]
// 1. CPU per second of preview plus recording (virtual 640x480 camera capped to
//    320x240 at 30 fps, test tone) against gst-launch-1.0 -e running the same
//    source and elements, all running at the same time and read from /proc over
//    the same steady window (start and end left out), in rounds (default 5); the
//    median ratio is the figure. Offscreen (the default) nothing is drawn by
//    gst-launch; with QT_QPA_PLATFORM=xcb on an X display both draw the whole view,
//    and a second gst-launch-1.0 draws it at the view's size, as the engine does.
// 2. Peak resident memory of this process while recording.
// 3. Time of a snapshot without its 500 ms pause, at 320x240 and 640x480.
#include "capture/graph_utils.h"
#include "capture/photo_preview.h"
#include "capture/video_recorder.h"
#include "imaging/snapshot_writer.h"
#include "platform/devices/device_config.h"
#include "platform/media/source_filter.h"

#include <QApplication>
#include <QGuiApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include "bench/bench_support.h"

#include <QTimer>
#include <QEventLoop>
#include <QWidget>
#include <algorithm>
#include <cstdio>
#include <gst/gst.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <vector>


namespace {
using bench::Hosts;
using bench::Pump;



long StatusKb(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').first().toLong();
    return -1;
}



// Video frames in a written file, as ffprobe counts them (-1 without ffprobe).
int VideoFrames(const QString &file)
{
    QProcess probe;
    probe.start(QStringLiteral("ffprobe"), {"-v", "error", "-count_frames", "-select_streams", "v", "-show_entries",
                                            "stream=nb_read_frames", "-of", "csv=p=0", file});
    if (!probe.waitForFinished(30000))
        return -1;
    bool ok = false;
    const int frames = probe.readAllStandardOutput().trimmed().toInt(&ok);
    return ok ? frames : -1;
}

// Each side runs a while before its CPU is read, and is read before it stops:
// building and finishing a graph, and gst-launch-1.0's own start, stay out.
constexpr int kSettleMs = 1500;

// On a real display the whole view is drawn by both; offscreen neither draws.
// The engine shows the camera's 320x240 in its 336x252 whole view; ximagesink
// would put it unscaled into a window of its own. The "at the view's size"
// baseline scales it as the view does (nearest neighbour), so both sides put
// the same picture on the screen; the plain one is the pipeline as it was.
QString WholeViewSink(bool atViewSize)
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return QStringLiteral("video/x-raw,format=BGR ! fakesink sync=true");
    return atViewSize ? QStringLiteral("videoscale method=nearest-neighbour ! video/x-raw,width=336,height=252 ! "
                                       "ximagesink sync=true")
                      : QStringLiteral("ximagesink sync=true");
}

// One gst-launch-1.0 baseline, running until Finish().
// The source is the test camera's own bin (videotestsrc, its rate, videoscale,
// the capped size in the format the camera settles on): the same picture, so
// the encoder has the same work. A 640x480 pattern scaled down would blur its
// noise patch and cost the encoder half the bits the camera's picture does.
// The identities give asfmux running-time stamps, as the file writer's probes
// do; without them asfmux throttles the pipeline to a few frames a second.
class GstLaunch {
public:
    GstLaunch(const QString &folder, bool atViewSize)
        : file_(folder + (atViewSize ? QStringLiteral("gst-launch-scaled.wmv") : QStringLiteral("gst-launch.wmv"))),
          atViewSize_(atViewSize)
    {
        const QString pipeline = QStringLiteral(
            "videotestsrc is-live=true ! video/x-raw,framerate=30/1 ! videoscale ! "
            "video/x-raw,format=BGR,width=320,height=240,framerate=30/1 ! tee name=t "
            "t. ! queue ! videoconvert ! video/x-raw,format=BGRx ! fakesink sync=true "
            "t. ! queue ! videoconvert ! video/x-raw,format=BGRx ! fakesink sync=true "
            "t. ! queue ! videoconvert ! %2 "
            "t. ! queue ! videoconvert ! avenc_wmv2 bitrate=700000 gop-size=30 ! identity single-segment=true ! "
            "queue ! asfmux name=m ! filesink location=%1 "
            "audiotestsrc is-live=true ! audioconvert ! audioresample ! audio/x-raw,rate=44100,channels=2 ! "
            "avenc_wmav2 bitrate=64000 ! identity single-segment=true ! queue ! m.")
                                     .arg(file_, WholeViewSink(atViewSize));
        pid_ = bench::SpawnGstLaunch(pipeline);
        if (pid_ <= 0)
            std::printf("gst-launch-1.0: could not start\n");
    }
    GstLaunch(const GstLaunch &) = delete;
    GstLaunch &operator=(const GstLaunch &) = delete;
    ~GstLaunch() { Finish(false); }

    pid_t Pid() const { return pid_; }

    void Finish(bool report)
    {
        if (pid_ <= 0)
            return;
        kill(pid_, SIGINT); // -e: end of stream, then exit
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = 0;
        if (report)
            std::printf("gst-launch file: %lld bytes, %d video frames (whole view: %s)\n", QFileInfo(file_).size(),
                        VideoFrames(file_), qPrintable(WholeViewSink(atViewSize_)));
    }

private:
    QString file_;
    bool atViewSize_;
    pid_t pid_ = 0;
};

struct RoundRates {
    double engine = -1, launch = -1, scaled = -1;
};

// One round: the engine's preview plus recording and both baselines run at
// the same time and are read over the same window. Side by side, a change in
// what else the machine does falls on all three alike; run one after the
// other, such changes made single rounds differ by half.
RoundRates RunRound(const QString &folder, int seconds, bool report)
{
    RoundRates rates;
    GstLaunch launch(folder, false);
    GstLaunch scaled(folder, true);
    Hosts hosts;
    VideoRecorder recorder;
    const HRESULT hr = recorder.StartRecording(folder, hosts.whole, hosts.left, hosts.right, false);
    if (hr != S_OK) {
        std::printf("engine: StartRecording failed 0x%x\n", unsigned(hr));
        return rates;
    }
    Pump(kSettleMs);
    const bench::CpuWindow engineWindow(getpid());
    const bench::CpuWindow launchWindow(launch.Pid());
    const bench::CpuWindow scaledWindow(scaled.Pid());
    long peakRss = 0;
    for (int s = 0; s < seconds; ++s) {
        Pump(1000);
        peakRss = std::max(peakRss, StatusKb("VmRSS:"));
    }
    rates = {engineWindow.Rate(), launchWindow.Rate(), scaledWindow.Rate()};
    recorder.ReleaseGraph();
    launch.Finish(report);
    scaled.Finish(report);
    if (report) {
        std::printf("peak RSS while recording: %.1f MB sampled, %.1f MB high-water mark\n", peakRss / 1024.0,
                    StatusKb("VmHWM:") / 1024.0);
        std::printf("engine file: %lld bytes, %d video frames\n", QFileInfo(recorder.RecordingFileName()).size(),
                    VideoFrames(recorder.RecordingFileName()));
    }
    return rates;
}

void TimeSnapshots(const QString &folder, int width, int height)
{
    Hosts hosts;
    PhotoPreview preview;
    CreateCaptureGraph(&preview.graph, &preview.captureBuilder);
    GstElement *src = gst_element_factory_make("videotestsrc", nullptr);
    g_object_set(src, "is-live", TRUE, nullptr);
    media::SourceOptions options;
    options.currentFormat = QStringLiteral("video/x-raw,width=%1,height=%2,framerate=30/1").arg(width).arg(height);
    preview.camera = media::MakeSourceFilter(src, options);
    preview.graph->AddFilter(preview.camera, QStringLiteral("Capture Filter"));
    if (preview.StartPhotoPreview(hosts.whole) != S_OK) {
        std::printf("snapshot: the preview did not start\n");
        return;
    }
    Pump(1000);
    imaging::SnapshotWaitScope noWait(std::chrono::milliseconds(0));
    std::vector<double> ms;
    for (int i = 0; i < 20; ++i) {
        QElapsedTimer timer;
        timer.start();
        preview.TakeSnapshot(folder);
        ms.push_back(timer.nsecsElapsed() / 1e6);
        Pump(20);
    }
    std::sort(ms.begin(), ms.end());
    std::printf("snapshot %dx%d without the pause: median %.1f ms, max %.1f ms (20 runs)\n", width, height,
                ms[ms.size() / 2], ms.back());
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    gst_init(&argc, &argv);
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, atoi(argv[1])) : 20;
    const int rounds = argc > 3 ? std::max(1, atoi(argv[3])) : 5;
    devices::SetDeviceConfig(devices::DeviceConfig::Parse(
        {QStringLiteral("--camera=test"), QStringLiteral("--microphone=test")}, QString(), QString()));
    QTemporaryDir dir;
    // A folder given as second argument ("-": none) keeps the files for a look afterwards.
    const QString kept = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    const QString folder = (kept.isEmpty() || kept == QLatin1String("-") ? dir.path() : kept) + QLatin1Char('/');

    // A first short round, not counted, takes the process's one-time costs
    // (plugins, the first window), as gst-launch-1.0's start is left out.
    RunRound(folder, 2, false);
    std::vector<double> ratios, scaledRatios;
    const auto ratio = [](double engine, double launch) { return engine > 0 && launch > 0 ? engine / launch : -1.0; };
    for (int round = 0; round < rounds; ++round) {
        const RoundRates r = RunRound(folder, seconds, round == rounds - 1);
        if (ratio(r.engine, r.launch) > 0)
            ratios.push_back(ratio(r.engine, r.launch));
        if (ratio(r.engine, r.scaled) > 0)
            scaledRatios.push_back(ratio(r.engine, r.scaled));
        std::printf("round %d: engine %.4f, gst-launch-1.0 %.4f, at the view's size %.4f CPU s per s, "
                    "ratios %.2f and %.2f\n",
                    round + 1, r.engine, r.launch, r.scaled, ratio(r.engine, r.launch), ratio(r.engine, r.scaled));
        std::fflush(stdout);
    }
    std::printf("preview + recording CPU on %s, %d rounds of %d s: median ratio engine / gst-launch-1.0 = %.2f, "
                "engine / gst-launch-1.0 drawing at the view's size = %.2f (goal <= 1.15)\n",
                qPrintable(QGuiApplication::platformName()), rounds, seconds, bench::Median(ratios),
                bench::Median(scaledRatios));
    TimeSnapshots(folder, 320, 240);
    TimeSnapshots(folder, 640, 480);
    return 0;
}
