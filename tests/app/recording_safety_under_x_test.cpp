// A recording that the process did not live to finish, and the overlay that
// shows a recording runs, on the real program under a real X server.
#include "tests/app/program_under_x.h"
#include "tests/support/test_environment.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStorageInfo>
#include <QThread>
#include <csignal>

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

// A player seeks to 2 s and decodes from there (the muxer's last packet draws
// a warning from this player in every file, so only frames count).
bool DecodesFromTwoSeconds(const QString &file)
{
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"), {"-v", "error", "-ss", "2", "-i", file, "-f", "framemd5", "-"});
    if (!ffmpeg.waitForFinished(20000) || ffmpeg.exitCode() != 0)
        return false;
    int frames = 0;
    for (const QByteArray &line : ffmpeg.readAllStandardOutput().split('\n'))
        frames += !line.isEmpty() && !line.startsWith('#');
    return frames > 10;
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
// sinceFile runs from the moment the capture's file was seen.
void KillRestartAndPlay(RecordingSafetyUnderX &x, const QElapsedTimer &sinceRecord, const QElapsedTimer &sinceFile,
                        int killAfterMs, int mode, const char *folder, const char *ext, const QString &microphone)
{
    SleepUntil(sinceRecord, killAfterMs);
    const QString mutedWhileRecording = SpeakersMuted();
    const double fileSeenFor = sinceFile.elapsed() / 1000.0;
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
    // What the camera and the microphone gave until the kill: no more than
    // since Record, no less than since the file was seen less the graph's start.
    EXPECT_GT(seconds, fileSeenFor - testenv::Slack(1.2));
    EXPECT_LT(seconds, killedAt + 0.1);
    EXPECT_TRUE(DecodesFromTwoSeconds(file));
    EXPECT_EQ(x.Captures(folder, ext), files) << "no other file, no temporary left";
    EXPECT_TRUE(QDir(x.Folder(folder)).entryList(QDir::Hidden | QDir::Files).filter(".repair").isEmpty());

    x.DismissStartMessage();
    if (!mutedWhileRecording.isEmpty()) { // a sound server runs
        EXPECT_EQ(mutedWhileRecording, QStringLiteral("yes"));
        EXPECT_TRUE(WaitFor([] { return SpeakersMuted() == QStringLiteral("no"); }, 5000))
            << "the speakers the recording muted are given back";
    }
    const QImage before = x.Shot();
    x.Click(kPlay); // the list selects its first (and only) capture
    QImage early;
    ASSERT_TRUE(WaitFor([&] { return Differing(before, early = x.Shot(), kSlider) > 0; }, 10000)) << "playing";
    EXPECT_TRUE(WaitFor([&] { return Differing(early, x.Shot(), kSlider) > 10; }, 3000))
        << "the repaired capture plays in the program";
    x.Click(kStop);
    EXPECT_TRUE(WaitFor([&] { return Differing(before, x.Shot(), kSlider) == 0; }, 5000)) << "Stop takes the slider back";
}

TEST_F(RecordingSafetyUnderX, AVideoRecordingShowsItsClockSurvivesAKillAndATonedOneNeverWarns)
{
    Start(2);
    ASSERT_EQ(run.state(), QProcess::Running);
    Click(kRecord);
    QElapsedTimer sinceRecord;
    sinceRecord.start();
    ASSERT_TRUE(WaitFor([&] { return Captures("Video", "wmv").size() == 1; }, 10000));
    QElapsedTimer sinceFile;
    sinceFile.start();
    QImage first;
    EXPECT_TRUE(WaitFor([&] { return Count(first = Shot(), kOverlay, Red) > 20; }, 5000)) << "a red dot";
    // The clock shows whole seconds: it advances within a second or two of the first look.
    QImage second;
    EXPECT_TRUE(WaitFor([&] { return Differing(first, second = Shot(), kClock) > 5; }, 3000))
        << "the elapsed time advanced";
    EXPECT_GT(Count(second, kOverlay, Red), 20);
    KillRestartAndPlay(*this, sinceRecord, sinceFile, 4300, 2, "Video", "wmv", QStringLiteral("test"));
    if (HasFatalFailure())
        return;

    // With a tone, no warning however long it runs; after Stop no overlay.
    Click(kRecord);
    QThread::msleep(7000);
    const QImage toned = Shot();
    EXPECT_GT(Count(toned, kOverlay, Red), 20);
    EXPECT_EQ(Count(toned, kOverlay, Amber), 0) << "the microphone hears the tone";
    Click(kStop);
    EXPECT_TRUE(WaitFor([&] {
        const QImage stopped = Shot();
        return Count(stopped, kOverlay, Red) + Count(stopped, kOverlay, Amber) == 0;
    }, 5000)) << "the overlay is gone";
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
    ASSERT_TRUE(WaitFor([&] { return Captures("AudioSolo", "wma").size() == 1; }, 10000));
    QElapsedTimer sinceFile;
    sinceFile.start();
    SleepUntil(sinceRecord, 3000);
    const QImage before = Shot();
    EXPECT_GT(Count(before, kOverlay, Red), 20);
    EXPECT_EQ(Count(before, kOverlay, Amber), 0) << "no warning before 5 s";
    // Five seconds of silence from the graph's start, which a loaded machine delays.
    SleepUntil(sinceRecord, 5500);
    QImage after;
    EXPECT_TRUE(WaitFor([&] { return Count(after = Shot(), kOverlay, Amber) > 20; }, 4000))
        << "the warning after 5 s of silence";
    EXPECT_EQ(Count(after, kOverlay, Red), 0);
    KillRestartAndPlay(*this, sinceRecord, sinceFile, 7600, 0, "AudioSolo", "wma", silence);
}

// Windows titled as the program's on the screen: its dialog, and a message box when one is open.
int ProgramWindows(RecordingSafetyUnderX &x)
{
    const QByteArray ids = x.Xdotool({"search", "--onlyvisible", "--name", "^Talvora$"});
    return int(ids.count('\n')); // one window id a line
}

bool Run(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    return p.waitForFinished(10000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// The Video folder on a tmpfs of its own, a little larger than the recording floor.
struct SmallDisk {
    explicit SmallDisk(const QString &folder) : folder(folder)
    {
        QDir().mkpath(folder);
        mounted = Run(QStringLiteral("mount"), {"-t", "tmpfs", "-o", "size=201M", "tmpfs", folder});
    }
    ~SmallDisk()
    {
        if (mounted)
            Run(QStringLiteral("umount"), {"-l", folder});
    }
    // Fills it until only bytes are free.
    bool LeaveFree(qint64 bytes)
    {
        const qint64 free = QStorageInfo(folder).bytesAvailable();
        return free > bytes && Run(QStringLiteral("fallocate"), {"-l", QString::number(free - bytes), folder + "/.fill"});
    }
    QString folder;
    bool mounted = false;
};

} // namespace

TEST_F(RecordingSafetyUnderX, ARecordingOnADiskRunningFullStopsItselfOnceAndItsFilePlays)
{
    SmallDisk disk(Folder("Video"));
    if (!disk.mounted)
        GTEST_SKIP() << "cannot mount a small tmpfs here (needs root)";
    // 100 kB above the floor: a few seconds of the moving pattern.
    ASSERT_TRUE(disk.LeaveFree(200LL * 1000 * 1000 + 100 * 1000));
    Start(2);
    ASSERT_EQ(run.state(), QProcess::Running);
    ASSERT_EQ(ProgramWindows(*this), 1);
    Click(kRecord);
    ASSERT_TRUE(WaitFor([&] { return ProgramWindows(*this) == 2; }, 30000)) << "a message when the disk runs full";
    const QStringList files = Captures("Video", "wmv");
    ASSERT_EQ(files.size(), 1);
    const QString file = Folder("Video") + "/" + files[0];
    EXPECT_FALSE(QFile::exists(file + ".recording")) << "the file was finished";
    EXPECT_GT(DurationSeconds(file), 1.0);
    EXPECT_TRUE(DecodesFromTwoSeconds(file));
    Xdotool({"key", "Return"});
    QThread::msleep(4000); // more than one more look at the disk
    EXPECT_EQ(ProgramWindows(*this), 1) << "the message shows once";

    const QImage idle = Shot();
    Click(kPlay);
    QImage early;
    ASSERT_TRUE(WaitFor([&] { return Differing(idle, early = Shot(), kSlider) > 0; }, 10000)) << "playing";
    EXPECT_TRUE(WaitFor([&] { return Differing(early, Shot(), kSlider) > 10; }, 3000))
        << "the program goes on and plays the file";
    Click(kStop);
    EXPECT_TRUE(WaitFor([&] { return Differing(idle, Shot(), kSlider) == 0; }, 5000)) << "Stop takes the slider back";
    kill(static_cast<pid_t>(run.processId()), SIGTERM);
    EXPECT_TRUE(run.waitForFinished(10000));
}
