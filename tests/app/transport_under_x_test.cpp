// The transport bar of the real program on a real X server, driven the way a
// person does it: clicks at the buttons' pixel positions, screenshots, and
// the files found in the capture folders afterwards.
#include "tests/app/program_under_x.h"

#include <QDir>
#include <QThread>

namespace {
using namespace under_x;

class TransportUnderX : public ProgramUnderX {};

bool ShowsPattern(const QImage &shot)
{
    // The ball pattern: a white ball on black; some bright pixels and a dark majority.
    int bright = 0;
    for (int y = kWholeView.top(); y <= kWholeView.bottom(); y += 2)
        for (int x = kWholeView.left(); x <= kWholeView.right(); x += 2)
            bright += qGray(shot.pixel(x, y)) > 200;
    return bright > 50;
}

// Record 4 s, Stop, Play with a moving slider, pause, resume, end, restart.
void RecordAndPlay(TransportUnderX &x, const char *folder, const char *ext, QImage *afterStop)
{
    x.Click(kRecord);
    // The recording runs from the moment its file appears.
    ASSERT_TRUE(WaitFor([&] { return x.Captures(folder, ext).size() == 1; }, 10000));
    QThread::msleep(4000);
    x.Click(kStop);
    ASSERT_TRUE(WaitFor([&] { return x.Finished(folder, ext); }, 15000)) << "the file is finished after Stop";
    const QStringList files = x.Captures(folder, ext);
    ASSERT_EQ(files.size(), 1);
    EXPECT_NEAR(DurationSeconds(x.Folder(folder) + "/" + files[0]), 4.0, 0.8);
    *afterStop = x.Shot();

    // Play is taken once the program is done with Stop; the slider moves
    // from then on. What is waited for is the slider, not a time.
    const QImage idle = x.Shot();
    x.Click(kPlay);
    QImage early;
    ASSERT_TRUE(WaitFor([&] { return Differing(idle, early = x.Shot(), kSlider) > 0; }, 10000)) << "playing";
    EXPECT_GT(Differing(idle, early, kPlayButton), 10) << "Play looks pressed while playing";
    EXPECT_TRUE(WaitFor([&] { return Differing(early, x.Shot(), kSlider) > 10; }, 3000))
        << "the slider moves while playing";

    x.Click(kPlay); // pause
    // Paused once two looks 300 ms apart show the same slider; it then stays.
    QImage paused = x.Shot();
    ASSERT_TRUE(WaitFor([&] {
        const QImage before = paused;
        QThread::msleep(300);
        paused = x.Shot();
        return Differing(before, paused, kSlider) == 0;
    }, 5000)) << "pause taken";
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
    QDir(Folder("Video")).removeRecursively();
    QDir().mkpath(Folder("Video"));
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
