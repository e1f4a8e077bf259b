// The real program on a real X server: in the camera modes the whole view
// shows the virtual camera's test pattern.
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QProcess>
#include <QSettings>
#include <QThread>
#include "tests/support/test_environment.h"

#include <gtest/gtest.h>
#include <csignal>

namespace {

bool Near(QRgb a, QRgb b) { return std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) + std::abs(qBlue(a) - qBlue(b)) < 90; }

QImage GrabScreen(const QString &display)
{
    const QString file = QDir::homePath() + "/screen.png";
    QProcess grab;
    grab.start(QStringLiteral("ffmpeg"), {"-loglevel", "error", "-y", "-f", "x11grab", "-i", display, "-frames:v", "1",
                                          file});
    if (!grab.waitForFinished(15000) || grab.exitCode() != 0)
        return {};
    return QImage(file);
}

// The bars of the pattern, left to right, a quarter of the way down.
int PatternBarsSeen(const QImage &screen, const QRect &view)
{
    const QRgb bars[] = {qRgb(255, 255, 255), qRgb(255, 255, 0), qRgb(0, 255, 255), qRgb(0, 255, 0),
                         qRgb(255, 0, 255), qRgb(255, 0, 0), qRgb(0, 0, 255)};
    int seen = 0;
    for (int i = 0; i < 7; ++i)
        seen += Near(screen.pixel(view.x() + view.width() * (2 * i + 1) / 14, view.y() + view.height() / 4), bars[i]);
    return seen;
}

} // namespace

TEST(WindowUnderX, CameraModesShowTheTestPatternInTheWholeView)
{
    const QString display = qEnvironmentVariable("TALVORA_E2E_DISPLAY");
    if (display.isEmpty())
        GTEST_SKIP() << "no virtual X server (tools/test.sh starts one and sets TALVORA_E2E_DISPLAY)";
    for (int mode : {2, 3, 4}) {
        QSettings(QStringLiteral("Orvenic"), QStringLiteral("Talvora")).setValue(QStringLiteral("ModeState"), mode);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", display);
        env.remove("QT_QPA_PLATFORM");
        env.insert("TALVORA_PROGRAM_FILES", TALVORA_FIXTURE_ROOT "/noexport");
        QProcess run;
        run.setProcessEnvironment(env);
        run.start(QStringLiteral(TALVORA_BINARY), {"--camera=test", "--microphone=test"});
        ASSERT_TRUE(run.waitForStarted(5000));
        // The window is centred on the 1280 x 800 screen; the whole view starts at (160, 80) in it.
        const QRect whole(640 - 314 + 160, 400 - 223 + 80, 336, 252);
        int best = 0;
        QElapsedTimer timer;
        timer.start();
        // A sanitizer build starts and draws several times slower.
        while (best < 6 && timer.elapsed() < 15000 * testenv::TimeFactor()) {
            QThread::msleep(500);
            best = std::max(best, PatternBarsSeen(GrabScreen(display), whole));
        }
        kill(static_cast<pid_t>(run.processId()), SIGTERM);
        ASSERT_TRUE(run.waitForFinished(10000));
        EXPECT_EQ(run.exitCode(), 0);
        EXPECT_GE(best, 6) << "mode " << mode << ": the test pattern was not seen in the whole view";
    }
}
