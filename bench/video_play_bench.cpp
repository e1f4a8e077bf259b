// Playback figures, run by hand (on an X display for drawn views, e.g.
// QT_QPA_PLATFORM=xcb DISPLAY=:145, with a sound server in PULSE_SERVER):
//   video_play_bench [seconds]
// 1. CPU seconds to play a 320x240 30 fps recording (default 20 s) to its end
//    in the three views, against gst-launch-1.0 running demuxer, decoders,
//    tee, three converters and three X sinks on the same file.
// 2. Time from PlayFile to the first frame painted in the whole view.
// 3. Median time of SeekToSeconds until the new frame is painted.
// 4. CPicture::LoadFromFile plus Draw of a 640x480 photo, median.
#include "bench/bench_support.h"
#include "imaging/picture.h"
#include "playback/video_player.h"
#include "platform/media/video_renderer.h"

#include <QApplication>
#include <QElapsedTimer>
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



bool Wait(const std::function<bool()> &done, int ms) { return bench::WaitUntil(done, ms); }

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

// Plays path to its end notice; CPU seconds of this process, or -1.
double PlayToEnd(Hosts &hosts, const QString &path, double seconds, double *firstFrameMs)
{
    VideoPlayer player;
    const double cpu0 = ProcessCpuSeconds();
    QElapsedTimer timer;
    timer.start();
    if (player.PlayFile(&hosts.window, hosts.whole, hosts.left, hosts.right, path) != S_OK)
        return -1;
    Wait([&] { return Painted(player) > 0; }, 5000);
    *firstFrameMs = double(timer.nsecsElapsed()) / 1e6;
    // The end notice, or else (reported) the position reaching the end.
    bool notice = false;
    const bool ended = Wait([&] {
        double position = 0;
        notice = notice || player.CheckCompletion();
        return notice || (player.GetPositionSeconds(&position) && position >= seconds - 0.05);
    }, int(seconds * 1000) + 10000);
    const double cpu = ProcessCpuSeconds() - cpu0;
    if (!notice) {
        double position = -1;
        player.GetPositionSeconds(&position);
        std::fprintf(stderr, "no end notice; stopped at %.2f s\n", position);
        media::LONG code = 0;
        media::LONG_PTR p1 = 0, p2 = 0;
        while (Succeeded(player.mediaEvent->GetEvent(&code, &p1, &p2, 0)))
            std::fprintf(stderr, "queued event %d\n", int(code));
    }
    return ended ? cpu : -1;
}

double LaunchToEnd(const QString &path, double seconds)
{
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
        return -1;
    int status = 0;
    rusage usage{};
    QElapsedTimer timer;
    timer.start();
    while (wait4(pid, &status, WNOHANG, &usage) == 0) {
        if (timer.elapsed() > (seconds + 20) * 1000) {
            kill(pid, SIGTERM);
            wait4(pid, &status, 0, &usage);
            return -1;
        }
        QThread::msleep(20);
    }
    return Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
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
        if (Wait([&] { return Painted(player) > before; }, 3000))
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
    Hosts hosts;
    double firstFrameMs = -1;
    const double cpu = PlayToEnd(hosts, path, seconds, &firstFrameMs);
    const double launch = LaunchToEnd(path, seconds);
    std::printf("platform %s\n", qPrintable(QGuiApplication::platformName()));
    std::printf("play %.0f s to its end, CPU: player %.2f s, gst-launch-1.0 %.2f s, ratio %.2f (goal <= 1.2)\n",
        seconds, cpu, launch, launch > 0 ? cpu / launch : -1.0);
    std::printf("PlayFile to first frame painted: %.1f ms (goal <= 200)\n", firstFrameMs);
    std::printf("seek to new frame painted, median: %.1f ms (goal <= 100)\n", SeekMedianMs(hosts, path, seconds));
    std::printf("CPicture load + draw of 640x480, median: %.2f ms (goal <= 15)\n", PictureMedianMs(folder.path()));
    return 0;
}
