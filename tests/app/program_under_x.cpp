#include "tests/app/program_under_x.h"
#include "tests/support/test_environment.h"

#include <QDir>
#include <QElapsedTimer>
#include <QSettings>
#include <QThread>
#include <csignal>

namespace under_x {

void ProgramUnderX::SetUp()
{
    display = qEnvironmentVariable("TALVORA_E2E_DISPLAY");
    if (display.isEmpty())
        GTEST_SKIP() << "no virtual X server (tools/test.sh starts one and sets TALVORA_E2E_DISPLAY)";
    QDir(QDir::homePath() + "/Documents/Talvora").removeRecursively();
}

void ProgramUnderX::TearDown()
{
    if (run.state() == QProcess::NotRunning)
        return;
    kill(static_cast<pid_t>(run.processId()), SIGTERM);
    EXPECT_TRUE(run.waitForFinished(10000));
    EXPECT_EQ(run.exitCode(), 0);
}

void ProgramUnderX::Launch(int mode, const QString &microphone)
{
    QSettings(QStringLiteral("Orvenic"), QStringLiteral("Talvora")).setValue(QStringLiteral("ModeState"), mode);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", display);
    env.remove("QT_QPA_PLATFORM");
    env.insert("TALVORA_PROGRAM_FILES", TALVORA_FIXTURE_ROOT "/noexport");
    run.setProcessEnvironment(env);
    // A moving pattern, so a frozen picture shows.
    run.start(QStringLiteral(TALVORA_BINARY), {"--camera=test:pattern=18", "--microphone=" + microphone});
    ASSERT_TRUE(run.waitForStarted(5000));
}

void ProgramUnderX::Start(int mode, const QString &microphone)
{
    Launch(mode, microphone);
    if (run.state() == QProcess::Running)
        DismissStartMessage();
}

void ProgramUnderX::DismissStartMessage()
{
    // The window on the screen, however slow the start; then a message box
    // over it (a start-up message) is closed with Return.
    EXPECT_TRUE(WaitFor([&] { return VisibleWindows() >= 1; }, 20000)) << "the window is shown";
    EXPECT_TRUE(WaitFor([&] { return Painted(Shot()); }, 20000)) << "the window is painted";
    if (VisibleWindows() > 1) {
        Xdotool({"key", "Return"});
        EXPECT_TRUE(WaitFor([&] { return VisibleWindows() == 1; }, 10000)) << "the start-up message closed";
    }
}

int ProgramUnderX::VisibleWindows()
{
    const QByteArray ids =
        Xdotool({"search", "--onlyvisible", "--pid", QString::number(run.processId())});
    return static_cast<int>(ids.count('\n'));
}

void ProgramUnderX::KillHard()
{
    kill(static_cast<pid_t>(run.processId()), SIGKILL);
    run.waitForFinished(5000);
}

QByteArray ProgramUnderX::Xdotool(const QStringList &args)
{
    QProcess tool;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", display);
    tool.setProcessEnvironment(env);
    tool.start(QStringLiteral("xdotool"), args);
    tool.waitForFinished(5000);
    return tool.readAllStandardOutput();
}

void ProgramUnderX::Click(QPoint p)
{
    Xdotool({"mousemove", QString::number(kOriginX + p.x()), QString::number(kOriginY + p.y()), "click", "1"});
}

QImage ProgramUnderX::Shot()
{
    const QString file = QDir::homePath() + "/under-x-shot.png";
    QProcess grab;
    grab.start(QStringLiteral("ffmpeg"), {"-loglevel", "error", "-y", "-f", "x11grab", "-video_size", "628x447", "-i",
                                          QStringLiteral("%1+%2,%3").arg(display).arg(kOriginX).arg(kOriginY),
                                          "-frames:v", "1", file});
    if (!grab.waitForFinished(15000) || grab.exitCode() != 0)
        return {};
    return QImage(file).convertToFormat(QImage::Format_RGB32);
}

QString ProgramUnderX::Folder(const char *folder) const
{
    return QDir::homePath() + "/Documents/Talvora/" + folder;
}

QStringList ProgramUnderX::Captures(const char *folder, const char *ext) const
{
    return QDir(Folder(folder)).entryList({QStringLiteral("*.") + ext}, QDir::Files);
}

bool ProgramUnderX::Finished(const char *folder, const char *ext) const
{
    return Captures(folder, ext).size() == 1
        && QDir(Folder(folder)).entryList({QStringLiteral("*.recording")}, QDir::Files | QDir::Hidden).isEmpty();
}

bool Painted(const QImage &shot)
{
    // The skin's lighter parts (buttons, labels), not the black of an unpainted window.
    int light = 0;
    for (int y = 0; y < shot.height(); y += 4)
        for (int x = 0; x < shot.width(); x += 4)
            light += qGray(shot.pixel(x, y)) > 60;
    return light > 500;
}

int Differing(const QImage &a, const QImage &b, const QRect &r)
{
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            n += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q)) > 30;
        }
    return n;
}

double DurationSeconds(const QString &file)
{
    QProcess probe;
    probe.start(QStringLiteral("ffprobe"), {"-v", "error", "-show_entries", "format=duration", "-of", "csv=p=0", file});
    probe.waitForFinished(15000);
    return QString::fromLatin1(probe.readAllStandardOutput()).trimmed().toDouble();
}

bool WaitFor(const std::function<bool()> &done, int ms)
{
    QElapsedTimer t;
    t.start();
    const qint64 bound = qint64(ms * testenv::TimeFactor());
    while (!done() && t.elapsed() < bound)
        QThread::msleep(300);
    return done();
}

} // namespace under_x
