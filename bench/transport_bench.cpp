// Transport figures, run by hand (offscreen by default, virtual devices, a
// private home; needs a sound server for the audio rounds):
//   transport_bench [record-seconds]
// 1. Video: time spent in the Record command, the start lost between the
//    Record press and the first frame in the file, and file duration over the
//    Record-to-Stop wall time (goal >= 0.95).
// 2. Video: Stop until the camera delivers a live frame again (goal <= 500 ms).
// 3. CPU of the running position timer with nothing playing, against the same
//    idle dialog before the timer was ever started (goal < 0.1 % of a core).
#include "dialog/main_dlg.h"
#include "platform/devices/device_config.h"
#include "platform/ui/message_box.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <gst/gst.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

double CpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

void Pump(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(5);
    }
}

// Without busy work: the event loop sleeps until something is due.
void Idle(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

double Probe(const QString &file, const char *entry)
{
    QProcess p;
    p.start(QStringLiteral("ffprobe"), {"-v", "error", "-select_streams", "v:0", "-show_entries", entry, "-of",
                                        "csv=p=0", file});
    p.waitForFinished(15000);
    return QString::fromLatin1(p.readAllStandardOutput()).trimmed().split('\n').first().toDouble();
}

QString NewestFile(const QString &folder)
{
    const QStringList files = QDir(folder).entryList(QDir::Files, QDir::Name);
    return files.isEmpty() ? QString() : folder + files.last();
}

void VideoRound(MainDlg &d, int seconds)
{
    d.OnVideo();
    Pump(1000);
    QElapsedTimer wall;
    wall.start();
    d.OnRecord();
    const double recordCall = wall.nsecsElapsed() / 1e6;
    Pump(seconds * 1000);
    const double recordWall = wall.nsecsElapsed() / 1e9;
    QElapsedTimer stop;
    stop.start();
    d.OnStop();
    const double stopCall = stop.nsecsElapsed() / 1e6;
    media::LONG size = 0;
    while (!d.videoRecorder.GetImageSize(&size) && stop.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    const double liveBack = stop.nsecsElapsed() / 1e6;
    const QString file = NewestFile(d.Paths().videoFolder);
    const double duration = Probe(file, "format=duration");
    const double start = Probe(file, "stream=start_time");
    std::printf("video: Record command %.0f ms; file %.3f s (first frame at %.3f s) over %.3f s wall: "
                "ratio %.3f (goal >= 0.95), start lost %.0f ms\n",
                recordCall, duration, start, recordWall, duration / recordWall, (recordWall - duration) * 1000);
    std::printf("video: Stop command %.0f ms, live frame again after %.0f ms (goal <= 500 ms)\n", stopCall, liveBack);
    Pump(1200);
}

void TimerRound(MainDlg &d)
{
    d.OnSolo();
    Pump(1500);
    double before = CpuSeconds();
    Idle(10000);
    const double baseline = (CpuSeconds() - before) / 10.0 * 100.0;
    // A short recording played and stopped leaves the position timer running.
    d.OnRecord();
    Pump(1500);
    d.OnStop();
    Pump(1200);
    d.OnPlay();
    Pump(500);
    d.OnStop();
    if (d.playTimerId != 100) {
        std::printf("timer: the position timer did not start (no sound server?)\n");
        return;
    }
    Pump(500);
    before = CpuSeconds();
    Idle(10000);
    const double withTimer = (CpuSeconds() - before) / 10.0 * 100.0;
    std::printf("idle CPU: %.3f %% of a core with the position timer running, %.3f %% before it started "
                "(difference %.3f %%, goal < 0.1 %%)\n",
                withTimer, baseline, withTimer - baseline);
}

} // namespace

int main(int argc, char **argv)
{
    const std::string home = QDir::tempPath().toStdString() + "/transport-bench-" + std::to_string(getpid());
    QDir().mkpath(QString::fromStdString(home + "/run"));
    chmod((home + "/run").c_str(), 0700);
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home + "/.config").c_str(), 1);
    setenv("XDG_CACHE_HOME", (home + "/.cache").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (home + "/run").c_str(), 1);
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    gst_init(&argc, &argv);
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    devices::DeviceConfigScope devices(devices::DeviceConfig::Parse(
        {QStringLiteral("--camera=test"), QStringLiteral("--microphone=test")}, QString(), QString()));
    ui::RecordingPresenter boxes; // no modal box may stop a round
    {
        MainDlg d;
        d.OnInitDialog();
        d.show();
        VideoRound(d, seconds);
        TimerRound(d);
        if (!boxes.Texts().isEmpty())
            std::printf("messages: %s\n", qPrintable(boxes.Texts().join(QStringLiteral(" | "))));
    }
    QDir(QString::fromStdString(home)).removeRecursively();
    return 0;
}
