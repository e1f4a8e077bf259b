// The transport bar of the real program on a real X server, driven the way a
// person does it: clicks at the buttons' pixel positions, screenshots, and
// the files found in the capture folders afterwards.
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QThread>
#include <gtest/gtest.h>
#include <csignal>
#include <functional>

namespace {

// The 628 x 447 window centred on the 1280 x 800 screen (no window manager).
constexpr int kOriginX = 640 - 314, kOriginY = 400 - 223;
// Transport buttons are 28 x 28 at y 375.
const QPoint kBackward(170 + 14, 389), kStop(200 + 14, 389), kRecord(230 + 14, 389), kPlay(260 + 14, 389);
const QRect kSlider(160, 340, 430, 15), kPlayButton(260, 375, 28, 28), kWholeView(160, 80, 336, 252);

class TransportUnderX : public ::testing::Test {
protected:
    void SetUp() override
    {
        display = qEnvironmentVariable("TALVORA_E2E_DISPLAY");
        if (display.isEmpty())
            GTEST_SKIP() << "no virtual X server (tools/test.sh starts one and sets TALVORA_E2E_DISPLAY)";
        QDir(QDir::homePath() + "/Documents/Talvora").removeRecursively();
    }
    void TearDown() override
    {
        if (run.state() == QProcess::NotRunning)
            return;
        kill(static_cast<pid_t>(run.processId()), SIGTERM);
        EXPECT_TRUE(run.waitForFinished(10000));
        EXPECT_EQ(run.exitCode(), 0);
    }

public:
    void Start(int mode)
    {
        QSettings(QStringLiteral("Orvenic"), QStringLiteral("Talvora")).setValue(QStringLiteral("ModeState"), mode);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", display);
        env.remove("QT_QPA_PLATFORM");
        env.insert("TALVORA_PROGRAM_FILES", TALVORA_FIXTURE_ROOT "/noexport");
        run.setProcessEnvironment(env);
        // A moving pattern, so a frozen picture shows.
        run.start(QStringLiteral(TALVORA_BINARY), {"--camera=test:pattern=18", "--microphone=test"});
        ASSERT_TRUE(run.waitForStarted(5000));
        QThread::msleep(4000);
        // The start-up message about the face detector, when it is open.
        Xdotool({"key", "Return"});
        QThread::msleep(1500);
    }

    void Xdotool(const QStringList &args)
    {
        QProcess tool;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", display);
        tool.setProcessEnvironment(env);
        tool.start(QStringLiteral("xdotool"), args);
        tool.waitForFinished(5000);
    }

    void Click(QPoint p)
    {
        Xdotool({"mousemove", QString::number(kOriginX + p.x()), QString::number(kOriginY + p.y()), "click", "1"});
    }

    // The window's client area as seen on the screen.
    QImage Shot()
    {
        const QString file = QDir::homePath() + "/transport-shot.png";
        QProcess grab;
        grab.start(QStringLiteral("ffmpeg"), {"-loglevel", "error", "-y", "-f", "x11grab", "-video_size", "628x447",
                                              "-i", QStringLiteral("%1+%2,%3").arg(display).arg(kOriginX).arg(kOriginY),
                                              "-frames:v", "1", file});
        if (!grab.waitForFinished(15000) || grab.exitCode() != 0)
            return {};
        return QImage(file).convertToFormat(QImage::Format_RGB32);
    }

    QStringList Captures(const char *folder, const char *ext)
    {
        return QDir(QDir::homePath() + "/Documents/Talvora/" + folder).entryList({QStringLiteral("*.") + ext}, QDir::Files);
    }

    QString display;
    QProcess run;
};

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

bool ShowsPattern(const QImage &shot)
{
    // The ball pattern: a white ball on black; some bright pixels and a dark majority.
    int bright = 0;
    for (int y = kWholeView.top(); y <= kWholeView.bottom(); y += 2)
        for (int x = kWholeView.left(); x <= kWholeView.right(); x += 2)
            bright += qGray(shot.pixel(x, y)) > 200;
    return bright > 50;
}

bool WaitFor(const std::function<bool()> &done, int ms)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms)
        QThread::msleep(300);
    return done();
}

// Record 4 s, Stop, Play with a moving slider, pause, resume, end, restart.
void RecordAndPlay(TransportUnderX &x, const char *folder, const char *ext, QImage *afterStop)
{
    x.Click(kRecord);
    QThread::msleep(4000);
    x.Click(kStop);
    QThread::msleep(1500);
    *afterStop = x.Shot();
    const QStringList files = x.Captures(folder, ext);
    ASSERT_EQ(files.size(), 1);
    EXPECT_NEAR(DurationSeconds(QDir::homePath() + "/Documents/Talvora/" + folder + "/" + files[0]), 4.0, 0.8);

    const QImage idle = x.Shot();
    x.Click(kPlay);
    QThread::msleep(400);
    const QImage early = x.Shot();
    QThread::msleep(600);
    const QImage later = x.Shot();
    EXPECT_GT(Differing(early, later, kSlider), 10) << "the slider moves while playing";
    EXPECT_GT(Differing(idle, early, kPlayButton), 10) << "Play looks pressed while playing";

    x.Click(kPlay); // pause
    QThread::msleep(300);
    const QImage paused = x.Shot();
    QThread::msleep(600);
    EXPECT_EQ(Differing(paused, x.Shot(), kSlider), 0) << "the slider stays while paused";

    x.Click(kPlay); // resume; then the end clears the Play look
    // Paused, the button shows its unlatched look under the pointer.
    EXPECT_TRUE(WaitFor([&] { return Differing(paused, x.Shot(), kPlayButton) == 0; }, 15000)) << "end of file";
    x.Click(kPlay); // again from the start
    QThread::msleep(700);
    EXPECT_GT(Differing(paused, x.Shot(), kPlayButton), 10) << "Play after the end plays again";
    x.Click(kStop);
}

TEST_F(TransportUnderX, SoloRecordsPlaysPausesAndPlaysAgainAfterTheEnd)
{
    Start(0);
    QImage afterStop;
    RecordAndPlay(*this, "AudioSolo", "wma", &afterStop);
}

TEST_F(TransportUnderX, VideoRecordsOnceForTwoQuickPressesAndGivesTheLivePictureBack)
{
    Start(2);
    Click(kRecord);
    QThread::msleep(200);
    Click(kRecord); // dropped: within the hold
    const QImage a = Shot();
    QThread::msleep(500);
    const QImage b = Shot();
    EXPECT_GT(Differing(a, b, kWholeView), 100) << "the live picture moves during the hold";
    QThread::msleep(2500);
    Click(kStop);
    QThread::msleep(1500);
    EXPECT_EQ(Captures("Video", "wmv").size(), 1);
    // Clear for the full round.
    QDir(QDir::homePath() + "/Documents/Talvora/Video").removeRecursively();
    QDir().mkpath(QDir::homePath() + "/Documents/Talvora/Video");
    QThread::msleep(1000);
    QImage afterStop;
    RecordAndPlay(*this, "Video", "wmv", &afterStop);
    EXPECT_TRUE(ShowsPattern(afterStop)) << "the live picture is back after Stop";
}

TEST_F(TransportUnderX, PhotoTakesAPictureShowsItAndGoesBackToTheLivePicture)
{
    Start(4);
    Click(kRecord);
    ASSERT_TRUE(WaitFor([&] { return Captures("Photo", "jpg").size() == 1; }, 5000));
    QThread::msleep(1200);
    ASSERT_TRUE(ShowsPattern(Shot()));
    const QImage photo(QDir::homePath() + "/Documents/Talvora/Photo/" + Captures("Photo", "jpg")[0]);
    ASSERT_FALSE(photo.isNull());
    Click(kPlay);
    QThread::msleep(1000);
    const QImage shown = Shot();
    const QImage still = Shot();
    EXPECT_EQ(Differing(shown, still, kWholeView), 0) << "a still picture, not the moving preview";
    // The photo drawn into the whole view: its bright ball is where the photo has it.
    const QImage scaled = photo.scaled(kWholeView.size()).convertToFormat(QImage::Format_RGB32);
    int ball = 0, matched = 0;
    for (int y = 0; y < scaled.height(); ++y)
        for (int x = 0; x < scaled.width(); ++x)
            if (qGray(scaled.pixel(x, y)) > 200) {
                ++ball;
                matched += qGray(shown.pixel(kWholeView.x() + x, kWholeView.y() + y)) > 150;
            }
    ASSERT_GT(ball, 50);
    EXPECT_GT(matched, ball * 7 / 10) << "the whole view shows the photo";
    Click(kPlay);
    QThread::msleep(1000);
    EXPECT_GT(Differing(Shot(), Shot(), kWholeView), 0) << "the live picture moves again";
    Click(kPlay);
    QThread::msleep(800);
    Click(kStop);
    QThread::msleep(1000);
    EXPECT_GT(Differing(Shot(), Shot(), kWholeView), 0) << "Stop also gives the live picture back";
}

} // namespace
