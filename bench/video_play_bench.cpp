// Playback figures, run by hand (on an X display for drawn views, e.g.
// QT_QPA_PLATFORM=xcb DISPLAY=:145, with a sound server in PULSE_SERVER):
//   video_play_bench [seconds [rounds]]
// 1. CPU per second while a 320x240 30 fps recording (default 20 s) plays to
//    its end in the three views, against gst-launch-1.0 running demuxer,
//    decoders, tee, three converters and three X sinks on the same file; both
//    play at the same time and are read from /proc over the same window of
//    their playing (start and end left out), in rounds (default 5): the median
//    ratio is the figure.
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
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <vector>


namespace {
using bench::Median;
using bench::ProcessCpuSeconds;

// CPU is read over the same window of both sides' playing: from this long
// after the start to a second before the file's end, so building and ending
// a graph, and gst-launch-1.0's own start, stay out of the comparison.
constexpr int kSettleMs = 1500;
int WindowMs(double seconds) { return int(seconds * 1000) - kSettleMs - 1000; }



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
    double cpuRate = -1;      // CPU per second of this process while it plays, -1 when it did not start
    double firstFrameMs = -1; // PlayFile to the first frame painted in the whole view
    double endNoticeS = -1;   // start to the end notice; -1: none came
    int notices = 0;          // end notices taken (one is right)
};

// Plays path until its end notice (bounded) and a moment more, as the dialog
// would: every notice the graph posts is taken with CheckCompletion. The
// baseline playing alongside is read over the same window (-1 without one).
PlayResult PlayToEnd(Hosts &hosts, const QString &path, double seconds, pid_t alongside, double *alongsideRate)
{
    PlayResult result;
    VideoPlayer player;
    QElapsedTimer timer;
    timer.start();
    if (player.PlayFile(&hosts.window, hosts.whole, hosts.left, hosts.right, path) != S_OK)
        return result;
    auto takeNotice = [&] {
        if (player.CheckCompletion() && ++result.notices == 1)
            result.endNoticeS = double(timer.nsecsElapsed()) / 1e9;
        return result.notices > 0;
    };
    Wait([&] { return Painted(player) > 0; }, 5000, 1);
    result.firstFrameMs = double(timer.nsecsElapsed()) / 1e6;
    Wait(takeNotice, kSettleMs - int(timer.elapsed()));
    const bench::CpuWindow window(getpid());
    const bench::CpuWindow baseline(alongside);
    // Within the window the notice is looked for as seldom as the dialog's
    // position timer runs: polling faster would be the benchmark's own CPU.
    Wait(takeNotice, WindowMs(seconds), 100);
    result.cpuRate = window.Rate();
    *alongsideRate = baseline.Rate();
    Wait(takeNotice, int(seconds * 1000) + 10000);
    // A second notice would end the dialog's playback twice.
    Wait([&] { return player.CheckCompletion() && ++result.notices > 1; }, 500);
    return result;
}

struct LaunchResult {
    double cpuRate = -1;
    double wallS = -1;
    bool reachedEnd = false; // gst-launch-1.0 ends by itself (exit 0) at the end of stream
};

// gst-launch-1.0 playing path with the same elements, drawing the three views.
pid_t StartLaunch(const QString &path)
{
    const std::string location = "location=" + path.toStdString();
    std::vector<std::string> args = {"-q", "filesrc", location, "!", "asfdemux", "name=d", "d.video_0", "!", "queue",
        "!", "avdec_wmv2", "!", "tee", "name=t", "d.audio_0", "!", "queue", "!", "avdec_wmav2", "!", "audioconvert",
        "!", "audioresample", "!", "autoaudiosink"};
    for (int i = 0; i < 3; ++i)
        for (const char *a : {"t.", "!", "queue", "!", "videoconvert", "!", "ximagesink"})
            args.push_back(a);
    return bench::SpawnGstLaunch(std::move(args));
}

// Waits (bounded) for gst-launch-1.0, started timer's ms ago, to end by itself.
LaunchResult FinishLaunch(pid_t pid, const QElapsedTimer &timer, double seconds, double cpuRate)
{
    LaunchResult result;
    result.cpuRate = cpuRate;
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (timer.elapsed() > (seconds + 20) * 1000) {
            kill(pid, SIGTERM);
            waitpid(pid, &status, 0);
            result.cpuRate = -1;
            return result;
        }
        QThread::msleep(20);
    }
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
    const double seconds = argc > 1 ? std::max(4.0, std::atof(argv[1])) : 20.0;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
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
    // Both sides play at the same time and are read over the same window:
    // run one after the other, what else the machine did changed single
    // rounds by a factor of two or more.
    std::vector<double> ratios, firstFrames, playRates, launchRates;
    std::vector<PlayResult> plays;
    std::vector<LaunchResult> launches;
    for (int round = 0; round < rounds; ++round) {
        QElapsedTimer launchTimer;
        launchTimer.start();
        const pid_t pid = StartLaunch(path);
        double launchRate = -1;
        const PlayResult play = PlayToEnd(hosts, path, seconds, pid, &launchRate);
        const LaunchResult launch = pid > 0 ? FinishLaunch(pid, launchTimer, seconds, launchRate) : LaunchResult{};
        const double ratio = play.cpuRate > 0 && launch.cpuRate > 0 ? play.cpuRate / launch.cpuRate : -1.0;
        if (ratio > 0)
            ratios.push_back(ratio);
        playRates.push_back(play.cpuRate);
        launchRates.push_back(launch.cpuRate);
        if (play.firstFrameMs >= 0)
            firstFrames.push_back(play.firstFrameMs);
        plays.push_back(play);
        launches.push_back(launch);
        std::printf("round %d: player %.4f, gst-launch-1.0 %.4f CPU s per s, ratio %.2f\n", round + 1, play.cpuRate,
            launch.cpuRate, ratio);
        std::fflush(stdout);
    }
    const double seekMs = SeekMedianMs(hosts, path, seconds);
    const double refusalMs = RefusalMs(hosts, folder.path());
    std::printf("platform %s; a %.0f s 320x240 30 fps file in the three views\n",
        qPrintable(QGuiApplication::platformName()), seconds);
    std::printf("%-34s %16s %16s   %s\n", "", "player", "gst-launch-1.0", "goal");
    std::printf("%-34s %16.4f %16.4f   median ratio %.2f of %d rounds (goal <= 1.2)\n",
        "CPU per second of playing", Median(playRates), Median(launchRates),
        Median(ratios), rounds);
    std::printf("%-34s %16.2f %16s   (gst-launch's own start is outside both windows)\n",
        "start: players made, plugins (CPU s)", startCpu, "-");
    std::printf("%-34s %16.1f %16s   <= 150 (median of the rounds; first %.1f)\n",
        "PlayFile to first frame painted (ms)", Median(firstFrames), "-", plays.front().firstFrameMs);
    std::printf("%-34s %16.1f %16s   <= 100\n", "paused seek to frame painted (ms)", seekMs, "-");
    for (size_t i = 0; i < plays.size(); ++i) {
        char player[64], baseline[64];
        std::snprintf(player, sizeof player, plays[i].notices > 0 ? "%d, at %.2f s" : "none", plays[i].notices,
            plays[i].endNoticeS);
        std::snprintf(baseline, sizeof baseline, launches[i].reachedEnd ? "yes, at %.2f s" : "no",
            launches[i].wallS);
        std::printf("%-34s %16s %16s   exactly one\n", QStringLiteral("end notices received, round %1").arg(i + 1)
            .toLatin1().constData(), player, baseline);
    }
    std::printf("%-34s %16.1f %16s   <= 1000\n", "file without a picture refused (ms)", refusalMs, "-");
    std::printf("CPicture load + draw of 640x480, median: %.2f ms (goal <= 15)\n", PictureMedianMs(folder.path()));
    return 0;
}
