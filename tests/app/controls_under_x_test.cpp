// The volume slider and the list's "delete" menu of the real program on a
// real X server and the test run's own sound server, clicked at their pixels.
#include "tests/app/program_under_x.h"
#include "tests/audio/pulse_test_util.h"
#include "tests/support/test_environment.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QThread>

namespace {
using namespace under_x;

constexpr std::uint32_t kStep = 65536 / 7;
// The volume slider is 90 x 20 at (380, 375); its left end is track whenever
// the level is above 0.
const QPoint kVolumeTrackLeftEnd(383, 385);
// The first item of the list (139 x 279 at (11, 116)).
const QPoint kFirstItem(80, 150);

class ControlsUnderX : public ProgramUnderX {
protected:
    void SetUp() override
    {
        ProgramUnderX::SetUp();
        if (IsSkipped())
            return;
        server = qEnvironmentVariable("PULSE_SERVER");
        if (server.isEmpty())
            GTEST_SKIP() << "needs the test run's private sound server (tools/test.sh)";
    }
    void RightClick(QPoint p)
    {
        Xdotool({"mousemove", QString::number(kOriginX + p.x()), QString::number(kOriginY + p.y()), "click", "3"});
    }
    int VisibleWindows()
    {
        const QString found = QString::fromLatin1(Xdotool({"search", "--onlyvisible", "--name", "^Talvora$"}));
        return static_cast<int>(found.split(QLatin1Char('\n'), Qt::SkipEmptyParts).size());
    }
    QString server;
};

TEST_F(ControlsUnderX, AClickOnTheVolumeTrackLowersTheSpeakersOneStep)
{
    pulsetest::SetSinkMute(server, false);
    pulsetest::SetSinkVolume(server, {QString::number(4 * kStep)});
    Start(0);
    const QImage before = Shot();
    Click(kVolumeTrackLeftEnd);
    EXPECT_TRUE(WaitFor([&] { return pulsetest::SinkVolume(server) == 3 * kStep; }, 3000))
        << pulsetest::SinkVolume(server);
    EXPECT_GT(Differing(before, Shot(), QRect(380, 375, 90, 20)), 10) << "the thumb moved";
    Click(kVolumeTrackLeftEnd);
    EXPECT_TRUE(WaitFor([&] { return pulsetest::SinkVolume(server) == 2 * kStep; }, 3000))
        << pulsetest::SinkVolume(server);
}

TEST_F(ControlsUnderX, AVideoRecordingDeletedFromTheMenuIsKeptAndPlaysInFull)
{
    Start(2);
    Click(kRecord);
    ASSERT_TRUE(WaitFor([&] { return Captures("Video", "wmv").size() == 1; }, 5000));
    QElapsedTimer sinceFile;
    sinceFile.start();
    const QString file = Folder("Video") + "/" + Captures("Video", "wmv")[0];
    QThread::msleep(1500);
    RightClick(kFirstItem);
    // The menu is a window of the program's own over the dialog.
    ASSERT_TRUE(WaitFor([&] { return ProgramUnderX::VisibleWindows() == 2; }, 3000)) << "the menu opens";
    // The menu opens above and to the right of the pointer; "delete" is its only item.
    Click(kFirstItem + QPoint(25, -12));
    // The refusal comes as a message box: a second visible window of the program.
    EXPECT_TRUE(WaitFor([&] { return VisibleWindows() == 2; }, 3000)) << "the sharing violation is shown";
    Xdotool({"key", "Return"}); // the message box
    EXPECT_TRUE(WaitFor([&] { return VisibleWindows() == 1; }, 3000));
    const double deletedAfter = sinceFile.elapsed() / 1000.0;
    QThread::msleep(2500);
    const double stoppedAfter = sinceFile.elapsed() / 1000.0;
    Click(kStop);
    ASSERT_TRUE(WaitFor([&] { return Finished("Video", "wmv"); }, 5000)) << "the capture is kept";
    EXPECT_TRUE(QFileInfo::exists(file));
    // Recorded to Stop (less the graph's start), not cut off at the delete.
    const double seconds = DurationSeconds(file);
    EXPECT_GT(seconds, stoppedAfter - testenv::Slack(1.0))
        << "stopped after " << stoppedAfter << " s, the delete after " << deletedAfter << " s";
    EXPECT_EQ(run.state(), QProcess::Running);
}

} // namespace
