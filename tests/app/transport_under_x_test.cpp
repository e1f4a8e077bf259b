// The transport bar of the real program on a real X server, driven the way a
// person does it: clicks at the buttons' pixel positions, screenshots, and
// the files found in the capture folders afterwards.
#include "tests/app/program_under_x.h"
#include "tests/support/test_environment.h"

#include <QDir>
#include <QElapsedTimer>
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

// Long enough that a pause pressed after a loaded machine's slow screenshots
// still comes well before the end, with some playing left after the resume.
constexpr int kRecordMs = 6000;

// Record 6 s, Stop, Play, pause, resume with a moving slider, end, restart.
void RecordAndPlay(TransportUnderX &x, const char *folder, const char *ext, bool camera)
{
    QElapsedTimer sinceRecord;
    sinceRecord.start();
    x.Click(kRecord);
    // The recording runs from the moment its file appears.
    ASSERT_TRUE(WaitFor([&] { return x.Captures(folder, ext).size() == 1; }, 10000));
    QElapsedTimer sinceFile;
    sinceFile.start();
    QThread::msleep(kRecordMs);
    const double stoppedAfter = sinceFile.elapsed() / 1000.0;
    x.Click(kStop);
    ASSERT_TRUE(WaitFor([&] { return x.Finished(folder, ext); }, 15000)) << "the file is finished after Stop";
    const double finishedAfter = sinceRecord.elapsed() / 1000.0;
    const QStringList files = x.Captures(folder, ext);
    ASSERT_EQ(files.size(), 1);
    // As long as the program really recorded: from the file's appearance
    // (less its graph's start) to Stop; never longer than Record to finished.
    const double seconds = DurationSeconds(x.Folder(folder) + "/" + files[0]);
    EXPECT_GT(seconds, stoppedAfter - testenv::Slack(0.8));
    EXPECT_LT(seconds, finishedAfter);
    // The camera's picture comes back once the file is finished.
    if (camera) {
        EXPECT_TRUE(WaitFor([&] { return ShowsPattern(x.Shot()); }, 5000)) << "the live picture is back after Stop";
    }

    // Play is taken once the program is done with Stop; the slider moves
    // from then on. What is waited for is the slider, not a time.
    const QImage idle = x.Shot();
    QElapsedTimer sincePlay;
    sincePlay.start();
    x.Click(kPlay);
    QImage early;
    ASSERT_TRUE(WaitFor([&] { return Differing(idle, early = x.Shot(), kSlider) > 0; }, 10000)) << "playing";
    EXPECT_GT(Differing(idle, early, kPlayButton), 10) << "Play looks pressed while playing";

    // Paused as soon as it plays: on a loaded machine the screenshots are
    // slow, and a pause pressed after the file's end would play it again.
    x.Click(kPlay);
    const qint64 pausedAfter = sincePlay.elapsed();
    // Paused once two looks 300 ms apart show the same slider; it then stays.
    QImage paused = x.Shot();
    ASSERT_TRUE(WaitFor([&] {
        const QImage before = paused;
        QThread::msleep(300);
        paused = x.Shot();
        return Differing(before, paused, kSlider) == 0;
    }, 5000)) << "pause taken; pressed " << pausedAfter << " ms after Play";
    QThread::msleep(600);
    EXPECT_EQ(Differing(paused, x.Shot(), kSlider), 0) << "the slider stays while paused";

    x.Click(kPlay); // resume: the slider moves on; then the end clears the Play look
    EXPECT_TRUE(WaitFor([&] { return Differing(paused, x.Shot(), kSlider) > 10; }, 3000))
        << "the slider moves while playing; paused " << pausedAfter << " ms after Play";
    // Paused, the button shows its unlatched look under the pointer.
    EXPECT_TRUE(WaitFor([&] { return Differing(paused, x.Shot(), kPlayButton) == 0; }, 15000)) << "end of file";
    x.Click(kPlay); // again from the start
    EXPECT_TRUE(WaitFor([&] { return Differing(paused, x.Shot(), kPlayButton) > 10; }, 5000))
        << "Play after the end plays again";
    x.Click(kStop);
}

TEST_F(TransportUnderX, SoloRecordsPlaysPausesAndPlaysAgainAfterTheEnd)
{
    Start(0);
    RecordAndPlay(*this, "AudioSolo", "wma", false);
}

TEST_F(TransportUnderX, VideoRecordsOnceForTwoQuickPressesAndGivesTheLivePictureBack)
{
    Start(2);
    Click(kRecord);
    QThread::msleep(200);
    Click(kRecord); // dropped: within the hold
    const QImage a = Shot();
    EXPECT_TRUE(WaitFor([&] { return Differing(a, Shot(), kWholeView) > 100; }, 3000))
        << "the live picture moves during the hold";
    QThread::msleep(2500); // recording
    Click(kStop);
    ASSERT_TRUE(WaitFor([&] { return Finished("Video", "wmv"); }, 15000)) << "the file is finished after Stop";
    EXPECT_EQ(Captures("Video", "wmv").size(), 1);
    // Clear for the full round.
    QDir(Folder("Video")).removeRecursively();
    QDir().mkpath(Folder("Video"));
    QThread::msleep(1000);
    RecordAndPlay(*this, "Video", "wmv", true);
}

TEST_F(TransportUnderX, PhotoTakesAPictureShowsItAndGoesBackToTheLivePicture)
{
    Start(4);
    Click(kRecord);
    ASSERT_TRUE(WaitFor([&] { return Captures("Photo", "jpg").size() == 1; }, 5000));
    ASSERT_TRUE(WaitFor([&] { return ShowsPattern(Shot()); }, 5000)) << "the live picture after the photo";
    const QImage photo(QDir::homePath() + "/Documents/Talvora/Photo/" + Captures("Photo", "jpg")[0]);
    ASSERT_FALSE(photo.isNull());
    Click(kPlay);
    // Shown once two looks in a row are the same picture: the preview moves.
    QImage shown;
    EXPECT_TRUE(WaitFor([&] { return Differing(shown = Shot(), Shot(), kWholeView) == 0; }, 5000))
        << "a still picture, not the moving preview";
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
    EXPECT_TRUE(WaitFor([&] { return Differing(Shot(), Shot(), kWholeView) > 0; }, 5000))
        << "the live picture moves again";
    Click(kPlay);
    EXPECT_TRUE(WaitFor([&] { return Differing(Shot(), Shot(), kWholeView) == 0; }, 5000)) << "the photo again";
    Click(kStop);
    EXPECT_TRUE(WaitFor([&] { return Differing(Shot(), Shot(), kWholeView) > 0; }, 5000))
        << "Stop also gives the live picture back";
}

} // namespace
