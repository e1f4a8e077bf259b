// Playback figures, run by hand (on an X display for drawn views, e.g.
// QT_QPA_PLATFORM=xcb DISPLAY=:145, with a sound server in PULSE_SERVER):
//   video_play_bench [seconds]
// 1. CPU seconds to play a 320x240 30 fps recording (default 20 s) to its end
//    in the three views, against gst-launch-1.0 running demuxer, decoders,
//    tee, three converters and three X sinks on the same file.
// 2. Time from PlayFile to the first frame painted in the whole view (the
//    players made a second before, as the dialog makes them at its start).
// 3. Median time of SeekToSeconds while paused until the new frame is painted.
// 4. End notices taken (exactly one), and when, against gst-launch's end.
// 5. Time until PlayFile refuses a file that gives no picture.
// 6. CPicture::LoadFromFile plus Draw of a 640x480 photo, median.
#include "bench/bench_support.h"
#include "imaging/picture.h"
#include "playback/video_player.h"
#include "platform/media/video_renderer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QWidget>
#include <algorithm>
#include <cmath>
#include <functional>
#include <cstdio>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <vector>

extern char **environ;

namespace {
using bench::ProcessCpuSeconds;
using bench::Seconds;



// Runs the event loop as the dialog does, looking at done() every periodMs
// from a timer: polling in a tight loop would add its own CPU to the player's.
bool Wait(const std::function<bool()> &done, int ms, int periodMs = 10)
{
    QElapsedTimer timer;
    timer.start();
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done() || timer.elapsed() >= ms)
            loop.quit();
    });
    if (done())
        return true;
    check.start(periodMs);
    loop.exec();
    return done();
}

double Median(std::vector<double> v)
{
    if (v.empty())
        return -1;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

QString MakeRecording(const QString &folder, double seconds)
{
    const QString path = folder + QStringLiteral("/play bench.wmv");
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"),
        {"-hide_banner", "-loglevel", "error", "-y", "-f", "lavfi", "-i", "smptebars=size=320x240:rate=30", "-f",
            "lavfi", "-i", "sine=frequency=440:sample_rate=44100", "-t", QString::number(seconds), "-c:v", "wmv2",
            "-c:a", "wmav2", path});
    return ffmpeg.waitForFinished(120000) && ffmpeg.exitCode() == 0 ? path : QString();
}

// The views, given a moment to appear before anything plays into them.
struct Hosts : bench::Hosts {
    Hosts() { Wait([] { return false; }, 100); }
};

long Painted(const VideoPlayer &player)
{
    auto renderer = std::dynamic_pointer_cast<media::VideoRenderer>(player.wholeRenderer);
    return renderer ? renderer->FramesRendered() : -1;
}

struct PlayResult {
    double cpu = -1;          // CPU seconds of this process, -1 when it did not start
    double firstFrameMs = -1; // PlayFile to the first frame painted in the whole view
    double endNoticeS = -1;   // start to the end notice; -1: none came
    int notices = 0;          // end notices taken (one is right)
};

// Plays path until its end notice (bounded) and a moment more, as the dialog
// would: every notice the graph posts is taken with CheckCompletion.
PlayResult PlayToEnd(Hosts &hosts, const QString &path, double seconds)
{
    PlayResult result;
    VideoPlayer player;
    const double cpu0 = ProcessCpuSeconds();
    QElapsedTimer timer;
    timer.start();
    if (player.PlayFile(&hosts.window, hosts.whole, hosts.left, hosts.right, path) != S_OK)
        return result;
    Wait([&] { return Painted(player) > 0; }, 5000, 1);
    result.firstFrameMs = double(timer.nsecsElapsed()) / 1e6;
    Wait([&] {
        if (player.CheckCompletion() && ++result.notices == 1)
            result.endNoticeS = double(timer.nsecsElapsed()) / 1e9;
        return result.notices > 0;
    }, int(seconds * 1000) + 10000);
    result.cpu = ProcessCpuSeconds() - cpu0;
    // A second notice would end the dialog's playback twice.
    Wait([&] { return player.CheckCompletion() && ++result.notices > 1; }, 500);
    return result;
}

struct LaunchResult {
    double cpu = -1;
    double wallS = -1;
    bool reachedEnd = false; // gst-launch-1.0 ends by itself (exit 0) at the end of stream
};

LaunchResult LaunchToEnd(const QString &path, double seconds)
{
    LaunchResult result;
    const std::string location = "location=" + path.toStdString();
    std::vector<std::string> args = {"gst-launch-1.0", "-q", "filesrc", location, "!", "asfdemux", "name=d",
        "d.video_0", "!", "queue", "!", "avdec_wmv2", "!", "tee", "name=t", "d.audio_0", "!", "queue", "!",
        "avdec_wmav2", "!", "audioconvert", "!", "audioresample", "!", "autoaudiosink"};
    for (int i = 0; i < 3; ++i)
        for (const char *a : {"t.", "!", "queue", "!", "videoconvert", "!", "ximagesink"})
            args.push_back(a);
    std::vector<char *> argv;
    for (auto &a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, "gst-launch-1.0", nullptr, nullptr, argv.data(), environ) != 0)
        return result;
    int status = 0;
    rusage usage{};
    QElapsedTimer timer;
    timer.start();
    while (wait4(pid, &status, WNOHANG, &usage) == 0) {
        if (timer.elapsed() > (seconds + 20) * 1000) {
            kill(pid, SIGTERM);
            wait4(pid, &status, 0, &usage);
            return result;
        }
        QThread::msleep(20);
    }
    result.cpu = Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
    result.wallS = double(timer.elapsed()) / 1000.0;
    result.reachedEnd = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return result;
}

// What a plain GStreamer encoding pipeline writes: its video lies 1000 hours
// after its sound, so no picture comes. PlayFile until it refuses, in ms.
double RefusalMs(Hosts &hosts, const QString &folder)
{
    const QString path = folder + QStringLiteral("/no picture.wmv");
    QProcess launch;
    launch.start(QStringLiteral("gst-launch-1.0"),
        QStringLiteral("-q audiotestsrc num-buffers=40 ! audioconvert ! avenc_wmav1 ! queue ! m. videotestsrc "
                       "num-buffers=50 ! video/x-raw,width=320,height=240,framerate=25/1 ! avenc_wmv1 ! queue ! "
                       "asfmux name=m ! filesink")
                .split(QLatin1Char(' '))
            << QStringLiteral("location=") + path);
    if (!launch.waitForFinished(60000) || launch.exitCode() != 0)
        return -1;
    VideoPlayer player;
    QElapsedTimer timer;
    timer.start();
    const HRESULT hr = player.PlayFile(&hosts.window, hosts.whole, hosts.left, hosts.right, path);
    return Failed(hr) ? double(timer.nsecsElapsed()) / 1e6 : -1;
}

double SeekMedianMs(Hosts &hosts, const QString &path, double seconds)
{
    VideoPlayer player;
    if (player.PlayFile(&hosts.window, hosts.whole, hosts.left, hosts.right, path) != S_OK)
        return -1;
    Wait([&] { return Painted(player) > 0; }, 5000);
    player.mediaControl->Pause();
    player.paused = 1;
    Wait([] { return false; }, 200);
    std::vector<double> times;
    for (int i = 0; i < 15; ++i) {
        const double target = std::fmod(1.3 + i * 1.7, seconds - 1.0);
        const long before = Painted(player);
        QElapsedTimer timer;
        timer.start();
        if (!player.SeekToSeconds(target))
            continue;
        if (Wait([&] { return Painted(player) > before; }, 3000, 1))
            times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    return Median(times);
}

double PictureMedianMs(const QString &folder)
{
    const QString path = folder + QStringLiteral("/photo.jpg");
    QImage photo(640, 480, QImage::Format_RGB32);
    photo.fill(Qt::darkCyan);
    photo.save(path, "JPEG");
    QImage target(336, 252, QImage::Format_RGB32);
    std::vector<double> times;
    for (int i = 0; i < 30; ++i) {
        CPicture picture;
        QElapsedTimer timer;
        timer.start();
        if (picture.LoadFromFile(path) && picture.Draw(&target, target.rect()))
            times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    return Median(times);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const double seconds = argc > 1 ? std::max(3.0, std::atof(argv[1])) : 20.0;
    QTemporaryDir folder;
    const QString path = MakeRecording(folder.path(), seconds);
    if (path.isEmpty()) {
        std::fprintf(stderr, "could not make the recording (ffmpeg)\n");
        return 1;
    }
    // The dialog makes its players when it starts, a while before the first
    // file is played.
    const double startCpu0 = ProcessCpuSeconds();
    const VideoPlayer madeAtStart;
    Wait([] { return false; }, 1000);
    const double startCpu = ProcessCpuSeconds() - startCpu0;
    Hosts hosts;
    const PlayResult play = PlayToEnd(hosts, path, seconds);
    const LaunchResult launch = LaunchToEnd(path, seconds);
    const double seekMs = SeekMedianMs(hosts, path, seconds);
    const double refusalMs = RefusalMs(hosts, folder.path());
    std::printf("platform %s; a %.0f s 320x240 30 fps file in the three views\n",
        qPrintable(QGuiApplication::platformName()), seconds);
    std::printf("%-34s %16s %16s   %s\n", "", "player", "gst-launch-1.0", "goal");
    std::printf("%-34s %16.2f %16.2f   ratio %.2f (goal <= 1.2)\n", "CPU to play it to its end (s)", play.cpu,
        launch.cpu, launch.cpu > 0 && play.cpu > 0 ? play.cpu / launch.cpu : -1.0);
    std::printf("%-34s %16.2f %16s   (gst-launch's own start is in its figure above)\n",
        "start: players made, plugins (CPU s)", startCpu, "-");
    std::printf("%-34s %16.1f %16s   <= 150\n", "PlayFile to first frame painted (ms)", play.firstFrameMs, "-");
    std::printf("%-34s %16.1f %16s   <= 100\n", "paused seek to frame painted (ms)", seekMs, "-");
    char player[64], baseline[64];
    std::snprintf(player, sizeof player, play.notices > 0 ? "%d, at %.2f s" : "none", play.notices, play.endNoticeS);
    std::snprintf(baseline, sizeof baseline, launch.reachedEnd ? "yes, at %.2f s" : "no", launch.wallS);
    std::printf("%-34s %16s %16s   exactly one\n", "end notices received", player, baseline);
    std::printf("%-34s %16.1f %16s   <= 1000\n", "file without a picture refused (ms)", refusalMs, "-");
    std::printf("CPicture load + draw of 640x480, median: %.2f ms (goal <= 15)\n", PictureMedianMs(folder.path()));
    return 0;
}
