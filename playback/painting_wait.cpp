#include "playback/painting_wait.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

namespace playback {

namespace {
// Short slices: a decided start is seen within one of them.
constexpr int kSliceMs = 5;
} // namespace

bool WaitWhilePainting(int ms, const std::function<bool()> &done)
{
    QElapsedTimer waited;
    waited.start();
    const bool onGuiThread
        = QCoreApplication::instance() && QThread::currentThread() == QCoreApplication::instance()->thread();
    while (!done()) {
        if (waited.elapsed() >= ms)
            return false;
        if (!onGuiThread) {
            QThread::msleep(kSliceMs);
            continue;
        }
        QEventLoop slice;
        QTimer::singleShot(kSliceMs, &slice, &QEventLoop::quit);
        slice.exec(QEventLoop::ExcludeUserInputEvents);
    }
    return true;
}

} // namespace playback
