// A desktop program is silent when nothing is wrong: a normal start and a
// recording of the real program under X write nothing to the terminal, and
// the diagnostics channel writes only when asked for.
#include "tests/app/program_under_x.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>
#include <csignal>
#include <string>

using namespace under_x;

namespace {

class QuietStart : public ProgramUnderX {
protected:
    // The real product folder of the build (face detector and help file), the
    // run's sound server and the virtual devices; the channel as env asks.
    void LaunchVideo(const QStringList &extraEnv)
    {
        QSettings(QStringLiteral("Orvenic"), QStringLiteral("Talvora")).setValue(QStringLiteral("ModeState"), 2);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", display);
        env.remove("QT_QPA_PLATFORM");
        env.remove("QT_LOGGING_RULES");
        env.remove("TALVORA_DEBUG");
        for (const QString &pair : extraEnv)
            env.insert(pair.section('=', 0, 0), pair.section('=', 1));
        run.setProcessEnvironment(env);
        run.start(QStringLiteral(TALVORA_BINARY), {"--camera=test", "--microphone=test"});
        ASSERT_TRUE(run.waitForStarted(5000));
    }

    // Without the window, what the program said on its way out is the why.
    ::testing::AssertionResult WindowShown()
    {
        if (WaitFor([&] { return !Xdotool({"search", "--onlyvisible", "--name", "^Talvora$"}).isEmpty(); }, 20000))
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "no window; the program " << (run.state() == QProcess::NotRunning
            ? "ended with " + std::to_string(run.exitCode()) : std::string("still runs"))
            << ", its error output:\n" << run.readAllStandardError().constData();
    }

    void Terminate()
    {
        kill(static_cast<pid_t>(run.processId()), SIGTERM);
        ASSERT_TRUE(run.waitForFinished(10000));
        EXPECT_EQ(run.exitCode(), 0);
    }
};

} // namespace

TEST_F(QuietStart, StartAndARecordingWriteNothingToTheTerminal)
{
    LaunchVideo({});
    ASSERT_TRUE(WindowShown());
    Click(kRecord);
    QString file;
    ASSERT_TRUE(WaitFor([&] {
        const QStringList found = Captures("Video", "wmv");
        file = found.isEmpty() ? QString() : Folder("Video") + '/' + found.first();
        return !file.isEmpty() && QFileInfo(file).size() > 150000;
    }, 20000)) << "Record started a recording that grows";
    Click(kStop);
    ASSERT_TRUE(WaitFor([&] { return !QFile::exists(file + ".recording"); }, 15000)) << "Stop finished the file";
    EXPECT_GT(DurationSeconds(file), 0.0) << "the file decodes";
    Terminate();
    EXPECT_EQ(QString::fromLocal8Bit(run.readAllStandardOutput()), QString());
    EXPECT_EQ(QString::fromLocal8Bit(run.readAllStandardError()), QString());
}

// Without a sound server (and, on a machine like CI's, without a sound card)
// a file plays silently: the sound output is not hunted through every output
// library, each of which would complain on the terminal.
TEST_F(QuietStart, PlayingWithoutASoundServerWritesNothingToTheTerminal)
{
    LaunchVideo({QStringLiteral("PULSE_SERVER=unix:") + QDir::homePath() + QStringLiteral("/no-sound-server")});
    ASSERT_TRUE(WindowShown());
    Click(kRecord);
    ASSERT_TRUE(WaitFor([&] {
        const QStringList found = Captures("Video", "wmv");
        return !found.isEmpty() && QFileInfo(Folder("Video") + '/' + found.first()).size() > 100000;
    }, 20000)) << "Record started a recording that grows";
    Click(kStop);
    ASSERT_TRUE(WaitFor([&] { return Finished("Video", "wmv"); }, 15000)) << "Stop finished the file";
    const QImage before = Shot();
    Click(kPlay);
    EXPECT_TRUE(WaitFor([&] { return Differing(Shot(), before, kSlider) > 20; }, 10000))
        << "the new capture plays: its position moves";
    Terminate();
    EXPECT_EQ(QString::fromLocal8Bit(run.readAllStandardOutput()), QString());
    EXPECT_EQ(QString::fromLocal8Bit(run.readAllStandardError()), QString());
}

TEST_F(QuietStart, TheDiagnosticsChannelWritesWhenAskedFor)
{
    for (const QString &ask : {QStringLiteral("TALVORA_DEBUG=1"), QStringLiteral("QT_LOGGING_RULES=talvora.debug.debug=true")}) {
        LaunchVideo({ask});
        run.setReadChannel(QProcess::StandardError);
        QByteArray seen;
        EXPECT_TRUE(WaitFor([&] {
            run.waitForReadyRead(100);
            seen += run.readAllStandardError();
            return seen.contains("talvora.debug: ");
        }, 20000)) << qPrintable(ask);
        Terminate();
    }
}

// The two answers a terminal asks for; neither opens a window.
TEST(CommandLine, HelpAndVersionAnswerOnStandardOutput)
{
    for (const QString &option : {QStringLiteral("--help"), QStringLiteral("--version")}) {
        QProcess run;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        run.setProcessEnvironment(env);
        run.start(QStringLiteral(TALVORA_BINARY), {option});
        ASSERT_TRUE(run.waitForFinished(10000)) << qPrintable(option);
        EXPECT_EQ(run.exitCode(), 0);
        EXPECT_EQ(run.readAllStandardError(), QByteArray());
        const QString out = QString::fromLocal8Bit(run.readAllStandardOutput());
        if (option == QStringLiteral("--help"))
            EXPECT_TRUE(out.contains("--camera=SOURCE") && out.contains("TALVORA_DEBUG")) << qPrintable(out);
        else
            EXPECT_TRUE(QRegularExpression("^talvora \\d+\\.\\d+\\.\\d+\\n$").match(out).hasMatch()) << qPrintable(out);
    }
}
