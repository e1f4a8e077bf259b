// The position slider as a person uses it on a paused file: a click on the
// track moves a fifth of the length and seeks there; keys and the wheel seek.
#include "controls/hover_button.h"
#include "platform/ui/list_view.h"
#include "tests/dialog/dialog_fixture.h"
#include "tests/dialog/slider_input.h"
#include "tests/dialog/capture_files.h"

#include <QDir>
#include <QSlider>
#include <QTest>

namespace {

constexpr double kSeconds = 10.0;

class PositionSliderTest : public DialogTest, public ::testing::WithParamInterface<int> {
protected:
    void SetUp() override
    {
        DialogTest::SetUp();
        if (qEnvironmentVariableIsEmpty("PULSE_SERVER"))
            GTEST_SKIP() << "needs the test run's private sound server (tools/test.sh)";
    }
    double Position(MainDlg &d) const
    {
        double p = -1;
        if (IsAudioMode(d.CurrentMode()))
            d.audioPlayer.GetPosition(&p);
        else
            d.videoPlayer.GetPositionSeconds(&p);
        return p;
    }
    // The player ends up where the slider says (a seek settles a moment later).
    bool SeeksToTheSlider(MainDlg &d)
    {
        const double wanted = d.positionSlider->value() * kSeconds / 1000.0;
        return PumpUntil([&] { return std::abs(Position(d) - wanted) < 0.15; }, 3000);
    }
};

} // namespace

TEST_P(PositionSliderTest, TrackClicksKeysAndTheWheelSeekAPausedFile)
{
    const int mode = GetParam();
    StoreMode(mode);
    const QString folder = QDir::homePath()
        + (mode == Solo ? QStringLiteral("/Documents/Talvora/AudioSolo/") : QStringLiteral("/Documents/Talvora/Video/"));
    ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_TRUE(capturefiles::MakeCapture(folder + (mode == Solo ? "20260101-090000.wma" : "20260101-090000.wmv"),
                                          kSeconds, mode != Solo));

    MainDlg &d = Open();
    ASSERT_EQ(d.ThumbnailList()->GetNextSelectedItem(-1), 0);
    QTest::mouseClick(d.playButton, Qt::LeftButton);
    ASSERT_EQ(d.CurrentActivity(), Playing) << boxes.Texts().join(" | ").toStdString();
    QTest::mouseClick(d.playButton, Qt::LeftButton);
    ASSERT_EQ(d.CurrentActivity(), Paused);
    QSlider *slider = d.positionSlider;
    EXPECT_EQ(slider->pageStep(), 200) << "a fifth of the range";

    const int before = slider->value();
    sliderinput::ClickTrack(slider, true);
    EXPECT_EQ(slider->value(), before + 200);
    EXPECT_TRUE(SeeksToTheSlider(d)) << "track click: " << Position(d);
    sliderinput::ClickTrack(slider, true);
    EXPECT_EQ(slider->value(), before + 400);
    EXPECT_TRUE(SeeksToTheSlider(d)) << "second click: " << Position(d);
    sliderinput::ClickTrack(slider, false);
    EXPECT_EQ(slider->value(), before + 200);
    EXPECT_TRUE(SeeksToTheSlider(d)) << "click left of the thumb: " << Position(d);

    slider->setFocus();
    QTest::keyClick(slider, Qt::Key_Home);
    EXPECT_EQ(slider->value(), 0);
    EXPECT_TRUE(SeeksToTheSlider(d)) << "Home: " << Position(d);
    QTest::keyClick(slider, Qt::Key_PageUp);
    QTest::keyClick(slider, Qt::Key_PageUp);
    QTest::keyClick(slider, Qt::Key_PageUp);
    EXPECT_EQ(slider->value(), 600);
    EXPECT_TRUE(SeeksToTheSlider(d)) << "PageUp: " << Position(d);
    for (int i = 0; i < 10; ++i)
        QTest::keyClick(slider, Qt::Key_Left);
    EXPECT_EQ(slider->value(), 500) << "an arrow moves a hundredth";
    EXPECT_TRUE(SeeksToTheSlider(d)) << "Left: " << Position(d);

    sliderinput::TurnWheel(slider, -5, sliderinput::ThumbRect(slider).center());
    EXPECT_EQ(slider->value(), 350) << "five notches down, three hundredths each";
    EXPECT_TRUE(SeeksToTheSlider(d)) << "wheel: " << Position(d);

    sliderinput::DragThumbTo(slider, 800);
    EXPECT_NEAR(slider->value(), 800, 5);
    EXPECT_TRUE(SeeksToTheSlider(d)) << "drag: " << Position(d);
    EXPECT_EQ(d.CurrentActivity(), Paused) << "seeking does not resume";
}

INSTANTIATE_TEST_SUITE_P(Modes, PositionSliderTest, ::testing::Values(Solo, Video),
                         [](const ::testing::TestParamInfo<int> &info) {
                             return std::string(info.param == Solo ? "Solo" : "Video");
                         });
