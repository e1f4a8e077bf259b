// Audio engine figures, run by hand against a PulseAudio server whose default
// source is a null sink's monitor (tools/test.sh starts one):
//   audio_bench [seconds [sink]]
// While a tone plays into the sink (default "talvora_null"):
// 1. CPU seconds of a recording from the sink's monitor (the real pulsesrc
//    path of AudioRecorder) against gst-launch-1.0 -e running the same
//    elements for the same time.
// 2. Lost start: the file's duration over the wall time from StartRecording
//    to ReleaseGraph.
// 3. Start of playback: time until OpenAndPlay returns (the sink has its
//    first buffer then: the graph only runs once the sink prerolled), and
//    until the tone is heard on the sink's monitor.
#include "capture/audio_recorder.h"
#include "bench/bench_support.h"
#include "playback/audio_player.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QEventLoop>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <gst/pbutils/pbutils.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <vector>


namespace {

double Seconds(const timeval &tv) { return double(tv.tv_sec) + double(tv.tv_usec) / 1e6; }

double ProcessCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
}

// Runs the event loop for ms as the dialog's does: sleeping until something comes.
void Pump(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(std::max(ms, 0), &loop, &QEventLoop::quit);
    loop.exec();
}

double DurationOf(const QString &path)
{
    GstDiscoverer *discoverer = gst_discoverer_new(10 * GST_SECOND, nullptr);
    gchar *uri = gst_filename_to_uri(QFile::encodeName(path).constData(), nullptr);
    GstDiscovererInfo *info = gst_discoverer_discover_uri(discoverer, uri, nullptr);
    double seconds = -1;
    if (info && gst_discoverer_info_get_result(info) == GST_DISCOVERER_OK)
        seconds = double(gst_discoverer_info_get_duration(info)) / GST_SECOND;
    if (info)
        gst_discoverer_info_unref(info);
    g_free(uri);
    g_object_unref(discoverer);
    return seconds;
}

// Ends a gst-launch run (-e: end of stream first) and returns its CPU seconds.
double Finish(pid_t pid)
{
    kill(pid, SIGINT);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    return Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
}

QString RecordWithRecorder(const QString &folder, int seconds, double *cpuOut)
{
    AudioRecorder recorder;
    const double cpu0 = ProcessCpuSeconds();
    QElapsedTimer wall;
    wall.start();
    const HRESULT hr = recorder.StartRecording(folder, false);
    if (hr != S_OK) {
        std::printf("AudioRecorder: StartRecording failed: %x\n", unsigned(hr));
        return QString();
    }
    const double startCpu = ProcessCpuSeconds() - cpu0;
    const double startWall = double(wall.elapsed()) / 1000;
    Pump(seconds * 1000 - int(wall.elapsed()));
    const double wallSeconds = double(wall.elapsed()) / 1000;
    recorder.ReleaseGraph();
    const double cpu = ProcessCpuSeconds() - cpu0;
    *cpuOut = cpu;
    const QString file = recorder.RecordingFileName();
    const double duration = DurationOf(file);
    std::printf("AudioRecorder: %.2f CPU s (%.2f of them in StartRecording, which took %.3f s), file %.3f s over %.3f s wall -> lost start ratio %.3f (goal >= 0.97)\n",
                cpu, startCpu, startWall, duration, wallSeconds, duration / wallSeconds);
    return file;
}

double RecordWithGstLaunch(const QString &folder, const QString &sink, int seconds)
{
    const QString file = folder + QStringLiteral("baseline.wma");
    const pid_t pid = bench::SpawnGstLaunch(QStringLiteral("pulsesrc device=%1.monitor ! audioconvert ! audioresample ! "
                                           "audio/x-raw,rate=44100,channels=2 ! avenc_wmav2 bitrate=64000 ! queue ! "
                                           "asfmux ! filesink location=%2")
                                .arg(sink, file));
    if (pid <= 0)
        return -1;
    QThread::sleep(static_cast<unsigned long>(seconds));
    const double cpu = Finish(pid);
    std::printf("gst-launch:    %.2f CPU s, file %.3f s\n", cpu, DurationOf(file));
    return cpu;
}

// Listens to the sink's monitor and notes when the sound first goes above silence.
struct MonitorListener {
    GstElement *pipeline = nullptr;
    std::atomic<qint64> firstSoundNs{-1};
    QElapsedTimer *clock = nullptr;

    static GstFlowReturn OnSample(GstAppSink *sink, gpointer data)
    {
        auto *self = static_cast<MonitorListener *>(data);
        GstSample *sample = gst_app_sink_pull_sample(sink);
        if (!sample)
            return GST_FLOW_OK;
        GstMapInfo map;
        GstBuffer *buffer = gst_sample_get_buffer(sample);
        if (self->firstSoundNs < 0 && gst_buffer_map(buffer, &map, GST_MAP_READ)) {
            const auto *f = reinterpret_cast<const float *>(map.data);
            for (size_t i = 0; i < map.size / sizeof(float); ++i)
                if (std::fabs(f[i]) > 0.05f) {
                    self->firstSoundNs = self->clock->nsecsElapsed();
                    break;
                }
            gst_buffer_unmap(buffer, &map);
        }
        gst_sample_unref(sample);
        return GST_FLOW_OK;
    }

    bool Start(const QString &sink, QElapsedTimer *timer)
    {
        clock = timer;
        const QByteArray description = QStringLiteral("pulsesrc device=%1.monitor buffer-time=20000 latency-time=5000 ! "
                                                      "audioconvert ! audio/x-raw,format=F32LE,channels=1 ! "
                                                      "appsink name=s sync=false emit-signals=false")
                                           .arg(sink)
                                           .toUtf8();
        pipeline = gst_parse_launch(description.constData(), nullptr);
        if (!pipeline)
            return false;
        GstElement *appsink = gst_bin_get_by_name(GST_BIN(pipeline), "s");
        GstAppSinkCallbacks callbacks{};
        callbacks.new_sample = &OnSample;
        gst_app_sink_set_callbacks(GST_APP_SINK(appsink), &callbacks, this, nullptr);
        gst_object_unref(appsink);
        gst_element_set_state(pipeline, GST_STATE_PLAYING);
        return gst_element_get_state(pipeline, nullptr, nullptr, 5 * GST_SECOND) != GST_STATE_CHANGE_FAILURE;
    }
    ~MonitorListener()
    {
        if (pipeline) {
            gst_element_set_state(pipeline, GST_STATE_NULL);
            gst_object_unref(pipeline);
        }
    }
};

void TimePlaybackStart(const QString &file, const QString &sink)
{
    QElapsedTimer clock;
    MonitorListener listener;
    if (!listener.Start(sink, &clock)) {
        std::printf("playback: cannot listen to %s.monitor\n", qPrintable(sink));
        return;
    }
    Pump(500); // the monitor is running and hears silence
    AudioPlayer player;
    QObject window;
    clock.start();
    const HRESULT hr = player.OpenAndPlay(file, &window);
    const double openMs = double(clock.nsecsElapsed()) / 1e6;
    for (int i = 0; i < 300 && listener.firstSoundNs < 0; ++i)
        QThread::msleep(10);
    const double heardMs = listener.firstSoundNs < 0 ? -1 : double(listener.firstSoundNs) / 1e6;
    std::printf("AudioPlayer: OpenAndPlay %x, returned after %.1f ms (first buffer at the sink, goal <= 150 ms); "
                "heard on the monitor after %.1f ms\n",
                unsigned(hr), openMs, heardMs);
    player.ReleaseGraph();
}

} // namespace

int main(int argc, char **argv)
{
    gst_init(&argc, &argv);
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, atoi(argv[1])) : 20;
    const QString sink = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("talvora_null");
    if (qEnvironmentVariableIsEmpty("PULSE_SERVER"))
        std::printf("warning: PULSE_SERVER is unset; this records from the machine's own sound server\n");
    QTemporaryDir dir;
    const QString folder = dir.path() + QLatin1Char('/');
    // The tone the microphone hears (its monitor), for both recorders alike.
    const pid_t tone =
        bench::SpawnGstLaunch(QStringLiteral("audiotestsrc is-live=true ! pulsesink device=%1").arg(sink));
    QThread::sleep(1);

    std::printf("Recording %d s from %s.monitor, load average before: ", seconds, qPrintable(sink));
    double load[3] = {0, 0, 0};
    getloadavg(load, 3);
    std::printf("%.2f\n", load[0]);
    double cpu = -1;
    const QString file = RecordWithRecorder(folder, seconds, &cpu);
    const double baseline = RecordWithGstLaunch(folder, sink, seconds);
    if (cpu >= 0 && baseline > 0)
        std::printf("CPU ratio AudioRecorder / gst-launch: %.2f (goal <= 1.1)\n", cpu / baseline);
    if (tone > 0)
        Finish(tone);
    QThread::msleep(300);
    if (!file.isEmpty())
        for (int i = 0; i < 3; ++i)
            TimePlaybackStart(file, sink);
    return 0;
}
