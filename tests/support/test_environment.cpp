#include "tests/support/test_environment.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <QUuid>

namespace testenv {

QString Home() { return QDir::homePath(); }

QString MakeTempFolder(const QString &hint)
{
    const QString path = Home() + QStringLiteral("/tmp/") + hint + QLatin1Char('-')
        + QUuid::createUuid().toString(QUuid::Id128).left(8);
    QDir().mkpath(path);
    return path;
}

bool WriteFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return f.write(bytes) == bytes.size();
}

double TimeFactor()
{
    bool ok = false;
    const double factor = qEnvironmentVariable("TALVORA_TEST_TIME_FACTOR").toDouble(&ok);
    return ok && factor > 1 ? factor : 1;
}

double Slack(double seconds) { return seconds * TimeFactor(); }

bool PumpUntil(const std::function<bool()> &done, int ms)
{
    QElapsedTimer timer;
    timer.start();
    const qint64 bound = qint64(ms * TimeFactor());
    while (!done() && timer.elapsed() < bound) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
    return done();
}

// A fixed stretch (a recording's length): not widened by the time factor.
void PumpFor(int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
}

} // namespace testenv
