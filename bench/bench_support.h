#pragma once
// What the benchmarks share: the process's CPU time, an event loop run for a
// while or until something holds, and the three video views of the dialog laid out in a window.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace bench {

inline double Seconds(const timeval &tv) { return double(tv.tv_sec) + double(tv.tv_usec) / 1e6; }

inline double ProcessCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
}

// CPU seconds (user and system, all threads) a process has used so far, as
// /proc counts them: one reading for this process and for a child alike, so
// both sides of a comparison are measured the same way. -1 when unreadable.
inline double CpuSecondsOf(pid_t pid)
{
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%d/stat", int(pid));
    std::FILE *file = std::fopen(path, "r");
    if (!file)
        return -1;
    char line[1024] = {};
    const bool read = std::fgets(line, sizeof line, file) != nullptr;
    std::fclose(file);
    // The command name may hold blanks and parentheses; the fields follow its last ')'.
    const char *fields = read ? std::strrchr(line, ')') : nullptr;
    unsigned long user = 0, system = 0;
    if (!fields
        || std::sscanf(fields + 1, " %*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu", &user, &system) != 2)
        return -1;
    return double(user + system) / double(sysconf(_SC_CLK_TCK));
}

// CPU per wall second of a process over a window of its steady running, its
// start and its end left out on both sides of a comparison.
class CpuWindow {
public:
    explicit CpuWindow(pid_t pid) : pid_(pid), cpu0_(CpuSecondsOf(pid)) { wall_.start(); }
    // CPU seconds per second since the window opened; -1 when unreadable.
    double Rate() const
    {
        const double cpu = CpuSecondsOf(pid_);
        const double wall = double(wall_.nsecsElapsed()) / 1e9;
        return cpu < 0 || cpu0_ < 0 || wall <= 0 ? -1 : (cpu - cpu0_) / wall;
    }

private:
    pid_t pid_;
    double cpu0_;
    QElapsedTimer wall_;
};

// Starts gst-launch-1.0 with these arguments; its pid, or 0 when it could not start.
inline pid_t SpawnGstLaunch(std::vector<std::string> args)
{
    args.insert(args.begin(), "gst-launch-1.0");
    std::vector<char *> argv;
    for (auto &a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    return posix_spawnp(&pid, "gst-launch-1.0", nullptr, nullptr, argv.data(), environ) == 0 ? pid : 0;
}

// The same for a pipeline description, quiet and ending its stream on SIGINT (-e).
inline pid_t SpawnGstLaunch(const QString &pipeline)
{
    std::vector<std::string> args{"-q", "-e"};
    for (const QString &part : QProcess::splitCommand(pipeline))
        args.push_back(part.toStdString());
    return SpawnGstLaunch(std::move(args));
}

inline double Median(std::vector<double> v)
{
    if (v.empty())
        return -1;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// Runs the event loop as the dialog would, without polling.
inline void Pump(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Runs the event loop until done() holds or ms have passed; it sleeps between
// rounds, so the waiting itself costs next to no CPU.
inline bool WaitUntil(const std::function<bool()> &done, int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
        QThread::msleep(2);
    }
    return done();
}

struct Hosts {
    Hosts()
    {
        window.resize(700, 260);
        whole = new QWidget(&window);
        left = new QWidget(&window);
        right = new QWidget(&window);
        whole->setGeometry(0, 0, 336, 252);
        left->setGeometry(340, 0, 168, 252);
        right->setGeometry(512, 0, 168, 252);
        window.show();
    }
    QWidget window;
    QWidget *whole, *left, *right;
};

} // namespace bench
