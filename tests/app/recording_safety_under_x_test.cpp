// A recording that the process did not live to finish, and the overlay that
// shows a recording runs, on the real program under a real X server.
#include "tests/app/program_under_x.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>

namespace {
using namespace under_x;

class RecordingSafetyUnderX : public ProgramUnderX {};

// The overlay's corner of the view (the whole view, or the audio picture at the same place).
const QRect kOverlay(162, 82, 320, 26);
// The elapsed time, right of the dot.
const QRect kClock(184, 88, 34, 16);

int Count(const QImage &shot, const QRect &r, bool (*match)(QRgb))
{
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            n += match(shot.pixel(x, y));
    return n;
}
bool Red(QRgb p) { return qRed(p) > 180 && qGreen(p) < 90 && qBlue(p) < 90; }
bool Amber(QRgb p) { return qRed(p) > 200 && qGreen(p) > 110 && qGreen(p) < 200 && qBlue(p) < 90; }

// A player that decodes the file from 2 s on.
bool DecodesFromTwoSeconds(const QString &file)
{
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"), {"-v", "error", "-ss", "2", "-i", file, "-f", "null", "-"});
    return ffmpeg.waitForFinished(20000) && ffmpeg.exitCode() == 0 && ffmpeg.readAllStandardError().isEmpty();
}

// The speakers as the sound server has them: "yes", "no", or empty without a server.
QString SpeakersMuted()
{
    QProcess pactl;
    pactl.start(QStringLiteral("pactl"), {"get-sink-mute", "@DEFAULT_SINK@"});
    if (!pactl.waitForFinished(5000) || pactl.exitCode() != 0)
        return {};
    return QString::fromLatin1(pactl.readAllStandardOutput()).section(QLatin1Char(':'), 1).trimmed();
}

void SleepUntil(const QElapsedTimer &clock, qint64 ms)
{
    if (clock.elapsed() < ms)
        QThread::msleep(static_cast<unsigned long>(ms - clock.elapsed()));
}

// Kills the program killAfterMs after Record was clicked, starts it again and
// expects the capture repaired within 5 s; then plays it in the program.
void KillRestartAndPlay(RecordingSafetyUnderX &x, const QElapsedTimer &sinceRecord, int killAfterMs, int mode,
                        const char *folder, const char *ext, const QString &microphone)
{
    SleepUntil(sinceRecord, killAfterMs);
    const QString mutedWhileRecording = SpeakersMuted();
    x.KillHard();
    const double killedAt = sinceRecord.elapsed() / 1000.0;
    const QStringList files = x.Captures(folder, ext);
    ASSERT_EQ(files.size(), 1);
    const QString file = x.Folder(folder) + "/" + files[0];
    ASSERT_TRUE(QFile::exists(file + ".recording")) << "a file being written is marked";

    QElapsedTimer sinceStart;
    sinceStart.start();
    x.Launch(mode, microphone);
    EXPECT_TRUE(WaitFor([&] { return !QFile::exists(file + ".recording"); }, 5000)) << "repaired within 5 s";
    EXPECT_LT(sinceStart.elapsed(), 5500);
    const double seconds = DurationSeconds(file);
    // What the camera and the microphone gave until the kill, less the graph's start.
    EXPECT_GT(seconds, killedAt - 1.2);
    EXPECT_LT(seconds, killedAt + 0.1);
    EXPECT_TRUE(DecodesFromTwoSeconds(file));
    EXPECT_EQ(x.Captures(folder, ext), files) << "no other file, no temporary left";
    EXPECT_TRUE(QDir(x.Folder(folder)).entryList(QDir::Hidden | QDir::Files).filter(".repair").isEmpty());

    QThread::msleep(5000);
    if (!mutedWhileRecording.isEmpty()) { // a sound server runs
        EXPECT_EQ(mutedWhileRecording, QStringLiteral("yes"));
        EXPECT_EQ(SpeakersMuted(), QStringLiteral("no")) << "the speakers the recording muted are given back";
    }
    x.Xdotool({"key", "Return"});
    QThread::msleep(1000);
    x.Click(kPlay); // the list selects its first (and only) capture
    QThread::msleep(700);
    const QImage early = x.Shot();
    QThread::msleep(800);
    EXPECT_GT(Differing(early, x.Shot(), kSlider), 10) << "the repaired capture plays in the program";
    x.Click(kStop);
    QThread::msleep(800);
}

TEST_F(RecordingSafetyUnderX, AVideoRecordingShowsItsClockSurvivesAKillAndATonedOneNeverWarns)
{
    Start(2);
    ASSERT_EQ(run.state(), QProcess::Running);
    Click(kRecord);
    QElapsedTimer sinceRecord;
    sinceRecord.start();
    SleepUntil(sinceRecord, 1300);
    const QImage first = Shot();
    SleepUntil(sinceRecord, 3300);
    const QImage second = Shot();
    EXPECT_GT(Count(first, kOverlay, Red), 20) << "a red dot";
    EXPECT_GT(Count(second, kOverlay, Red), 20);
    EXPECT_GT(Differing(first, second, kClock), 5) << "the elapsed time advanced";
    KillRestartAndPlay(*this, sinceRecord, 4300, 2, "Video", "wmv", QStringLiteral("test"));
    if (HasFatalFailure())
        return;

    // With a tone, no warning however long it runs; after Stop no overlay.
    Click(kRecord);
    QThread::msleep(7000);
    const QImage toned = Shot();
    EXPECT_GT(Count(toned, kOverlay, Red), 20);
    EXPECT_EQ(Count(toned, kOverlay, Amber), 0) << "the microphone hears the tone";
    Click(kStop);
    QThread::msleep(1500);
    const QImage stopped = Shot();
    EXPECT_EQ(Count(stopped, kOverlay, Red) + Count(stopped, kOverlay, Amber), 0) << "the overlay is gone";
    EXPECT_EQ(Captures("Video", "wmv").size(), 2u);
}

TEST_F(RecordingSafetyUnderX, ASilentSoloRecordingWarnsAfterFiveSecondsAndSurvivesAKill)
{
    const QString silence = QStringLiteral("test:wave=4");
    Start(0, silence);
    ASSERT_EQ(run.state(), QProcess::Running);
    Click(kRecord);
    QElapsedTimer sinceRecord;
    sinceRecord.start();
    SleepUntil(sinceRecord, 3000);
    const QImage before = Shot();
    EXPECT_GT(Count(before, kOverlay, Red), 20);
    EXPECT_EQ(Count(before, kOverlay, Amber), 0) << "no warning before 5 s";
    SleepUntil(sinceRecord, 7000);
    const QImage after = Shot();
    EXPECT_GT(Count(after, kOverlay, Amber), 20) << "the warning after 5 s of silence";
    EXPECT_EQ(Count(after, kOverlay, Red), 0);
    KillRestartAndPlay(*this, sinceRecord, 7600, 0, "AudioSolo", "wma", silence);
}

} // namespace
