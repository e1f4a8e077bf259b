// Runs the real program: one instance at a time, and a termination request
// closes it exactly like the close box.
#include "tests/support/test_environment.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QThread>
#include <gtest/gtest.h>
#include <csignal>

namespace {

class ProgramRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        // A face-detector library without its exports: loads, so no message box waits.
        env.insert("TALVORA_PROGRAM_FILES", TALVORA_FIXTURE_ROOT "/noexport");
        env.insert("TALVORA_CAMERA", "test");
        env.insert("TALVORA_MICROPHONE", "test");
        // The diagnostics tell when the dialog is up.
        env.insert("TALVORA_DEBUG", "1");
    }

    std::unique_ptr<QProcess> Start()
    {
        auto p = std::make_unique<QProcess>();
        p->setProcessEnvironment(env);
        p->setProcessChannelMode(QProcess::MergedChannels);
        p->start(QStringLiteral(TALVORA_BINARY), {});
        EXPECT_TRUE(p->waitForStarted(int(5000 * testenv::TimeFactor())));
        return p;
    }

    // The dialog has finished its initialisation once this text was written.
    static bool WaitForInitialised(QProcess &p, int ms = 15000)
    {
        QByteArray seen;
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < ms) {
            p.waitForReadyRead(100);
            seen += p.readAll();
            if (seen.contains("Can not get MicArray")) {
                QThread::msleep(300); // into the dialog's loop
                return true;
            }
            if (p.state() == QProcess::NotRunning)
                return false;
        }
        return false;
    }

    static QString ConfigFile() { return QDir::homePath() + "/.config/Orvenic/Talvora.conf"; }

    QProcessEnvironment env;
};

} // namespace

TEST_F(ProgramRun, SecondStartExitsAtOnceAndLeavesTheFirstRunning)
{
    auto first = Start();
    ASSERT_TRUE(WaitForInitialised(*first));
    QElapsedTimer timer;
    timer.start();
    auto second = Start();
    ASSERT_TRUE(second->waitForFinished(int(5000 * testenv::TimeFactor())));
    EXPECT_EQ(second->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second->exitCode(), 0);
    EXPECT_TRUE(second->readAll().isEmpty()) << "the second start is silent";
    EXPECT_EQ(first->state(), QProcess::Running);

    kill(static_cast<pid_t>(first->processId()), SIGTERM);
    ASSERT_TRUE(first->waitForFinished(int(10000 * testenv::TimeFactor())));
    EXPECT_EQ(first->exitCode(), 0);
}

TEST_F(ProgramRun, TerminationStoresTheModeLikeTheCloseBox)
{
    QSettings store(QStringLiteral("Orvenic"), QStringLiteral("Talvora"));
    store.setValue(QStringLiteral("ModeState"), 4);
    store.sync();
    for (int signal : {SIGTERM, SIGINT}) {
        auto run = Start();
        ASSERT_TRUE(WaitForInitialised(*run));
        // Written on close, not at start: remove it while the program runs.
        ASSERT_TRUE(QFile::remove(ConfigFile()));
        kill(static_cast<pid_t>(run->processId()), signal);
        ASSERT_TRUE(run->waitForFinished(int(10000 * testenv::TimeFactor()))) << signal;
        EXPECT_EQ(run->exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(run->exitCode(), 0);
        QSettings after(QStringLiteral("Orvenic"), QStringLiteral("Talvora"));
        EXPECT_EQ(after.value(QStringLiteral("ModeState")).toUInt(), 4u) << signal;
    }
}

TEST_F(ProgramRun, TerminationWhileAMessageBoxIsOpenStillEndsTheProgram)
{
    // No face-detector library at all: the information box is open at start.
    env.insert("TALVORA_PROGRAM_FILES", QDir::homePath() + "/no-program-files");
    auto run = Start();
    QThread::msleep(2500);
    ASSERT_EQ(run->state(), QProcess::Running);
    QFile::remove(ConfigFile());
    kill(static_cast<pid_t>(run->processId()), SIGTERM);
    ASSERT_TRUE(run->waitForFinished(int(10000 * testenv::TimeFactor())));
    EXPECT_EQ(run->exitCode(), 0);
    EXPECT_TRUE(QFile::exists(ConfigFile())) << "the mode was stored on the way out";
}
