// The recording overlay: its clock, the silence warning, and what it draws.
#include "controls/recording_indicator.h"
#include "tests/controls/widget_pixels.h"

#include <QDeadlineTimer>
#include <gtest/gtest.h>

using namespace controls_test;
using Level = CRecordingIndicator::Level;

namespace {
Level Tone(std::uint64_t n) { return Level{-12.0, n}; }
Level Silence(std::uint64_t n) { return Level{-1000.0, n}; }

struct IndicatorFixture : ::testing::Test {
    SolidParent window{QColor(0, 0, 255)};
    QWidget *view = new QWidget(&window);
    CRecordingIndicator *indicator = new CRecordingIndicator([] { return Level{}; }, &window);

    void SetUp() override
    {
        window.resize(628, 447);
        view->setGeometry(160, 80, 336, 252);
        window.show();
    }
    QColor Dot() { return At(Grab(window), indicator->x() + 11, indicator->y() + indicator->height() / 2); }
};
} // namespace

TEST(RecordingIndicatorClock, ShowsMinutesAndSecondsThenHours)
{
    EXPECT_EQ(CRecordingIndicator::FormatElapsed(0), QStringLiteral("0:00"));
    EXPECT_EQ(CRecordingIndicator::FormatElapsed(999), QStringLiteral("0:00"));
    EXPECT_EQ(CRecordingIndicator::FormatElapsed(65000), QStringLiteral("1:05"));
    EXPECT_EQ(CRecordingIndicator::FormatElapsed(3599999), QStringLiteral("59:59"));
    EXPECT_EQ(CRecordingIndicator::FormatElapsed(3600000), QStringLiteral("1:00:00"));
    EXPECT_EQ(CRecordingIndicator::FormatElapsed(3725000), QStringLiteral("1:02:05"));
    EXPECT_EQ(CRecordingIndicator::FormatElapsed(-5), QStringLiteral("0:00"));
}

TEST_F(IndicatorFixture, WarnsAfterFiveSecondsOfSilenceOnlyAndRecoversOnSound)
{
    indicator->Start(view);
    indicator->Stop(); // the test drives the clock itself
    std::uint64_t n = 0;
    for (qint64 ms = 0; ms < 5000; ms += 100)
        indicator->Tick(ms, Silence(++n));
    EXPECT_FALSE(indicator->Warning());
    indicator->Tick(5000, Silence(++n));
    EXPECT_TRUE(indicator->Warning());
    EXPECT_EQ(indicator->Text(), QStringLiteral("0:05  No sound from the microphone"));
    indicator->Tick(5100, Tone(++n));
    EXPECT_FALSE(indicator->Warning());
    EXPECT_EQ(indicator->Text(), QStringLiteral("0:05"));

    // A tone never warns; a microphone that delivers nothing at all does.
    indicator->Start(view);
    indicator->Stop();
    for (qint64 ms = 0; ms <= 60000; ms += 100)
        indicator->Tick(ms, Tone(++n));
    EXPECT_FALSE(indicator->Warning());
    indicator->Start(view);
    indicator->Stop();
    indicator->Tick(5000, Level{});
    EXPECT_TRUE(indicator->Warning());
}

TEST_F(IndicatorFixture, LevelBarSpansSixtyDecibels)
{
    indicator->Tick(0, Level{-60.0, 1});
    EXPECT_DOUBLE_EQ(indicator->BarFraction(), 0.0);
    indicator->Tick(100, Level{-30.0, 2});
    EXPECT_DOUBLE_EQ(indicator->BarFraction(), 0.5);
    indicator->Tick(200, Level{0.0, 3});
    EXPECT_DOUBLE_EQ(indicator->BarFraction(), 1.0);
    indicator->Tick(300, Level{-1000.0, 4});
    EXPECT_DOUBLE_EQ(indicator->BarFraction(), 0.0);
}

TEST_F(IndicatorFixture, SitsInTheViewsCornerRedThenAmberMovesNothingAndGoesOnStop)
{
    indicator->Start(view);
    EXPECT_TRUE(indicator->isVisible());
    EXPECT_TRUE(indicator->testAttribute(Qt::WA_TransparentForMouseEvents));
    EXPECT_EQ(indicator->pos(), QPoint(166, 86));
    EXPECT_TRUE(view->geometry().contains(indicator->geometry()));
    EXPECT_EQ(view->geometry(), QRect(160, 80, 336, 252));
    QColor dot = Dot();
    EXPECT_GT(dot.red(), 200);
    EXPECT_LT(dot.green(), 80);
    indicator->Stop(); // from here the test drives the clock
    indicator->show();
    indicator->Tick(6000, Silence(1));
    dot = Dot();
    EXPECT_GT(dot.red(), 200);
    EXPECT_GT(dot.green(), 130);
    EXPECT_LT(dot.blue(), 80);
    indicator->Stop();
    EXPECT_FALSE(indicator->isVisible());
    EXPECT_EQ(Dot(), QColor(0, 0, 255));
}

TEST_F(IndicatorFixture, ItsTimerReadsTheLevelSource)
{
    int reads = 0;
    auto *fed = new CRecordingIndicator([&reads] { ++reads; return Level{-6.0, std::uint64_t(reads)}; }, &window);
    fed->Start(view);
    const QDeadlineTimer deadline(5000);
    while (reads < 3 && !deadline.hasExpired())
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    EXPECT_GE(reads, 3);
    EXPECT_GT(fed->BarFraction(), 0.8);
    fed->Stop();
}

TEST_F(IndicatorFixture, DrawsItselfAnewOnlyWhenTheTimeTheWarningOrTheBarChanges)
{
    indicator->Start(view);
    indicator->Stop();
    indicator->show();
    std::uint64_t n = 0;
    indicator->Tick(0, Tone(++n));
    const int first = indicator->Renders();
    const QImage before = Grab(window);
    for (qint64 ms = 100; ms < 1000; ms += 100)
        indicator->Tick(ms, Tone(++n));
    EXPECT_EQ(indicator->Renders(), first) << "a steady tone within one second changes nothing shown";
    indicator->Tick(1000, Tone(++n));
    EXPECT_EQ(indicator->Renders(), first + 1) << "the clock turned";
    indicator->Tick(1100, Level{-45.0, ++n});
    EXPECT_EQ(indicator->Renders(), first + 2) << "the bar shrank";
    const QImage after = Grab(window);
    const QRect overlay = indicator->geometry();
    int changed = 0;
    for (int y = overlay.top(); y <= overlay.bottom(); ++y)
        for (int x = overlay.left(); x <= overlay.right(); ++x)
            changed += before.pixel(x, y) != after.pixel(x, y);
    EXPECT_GT(changed, 20) << "what was drawn anew reaches the screen";
}
