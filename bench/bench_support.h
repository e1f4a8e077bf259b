#pragma once
// What the benchmarks share: the process's CPU time, an event loop run for a
// while or until something holds, and the three video views of the dialog laid out in a window.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <sys/resource.h>

namespace bench {

inline double Seconds(const timeval &tv) { return double(tv.tv_sec) + double(tv.tv_usec) / 1e6; }

inline double ProcessCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
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
