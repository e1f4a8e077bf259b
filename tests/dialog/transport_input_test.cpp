// The transport and the list as a person meets them, driven by clicks and
// keys: Forward and Backward keep the chosen item in view without scrolling
// past it, a refused Record during a playback leaves a consistent dialog, a
// repair finishing in the background leaves the selection alone, and Return
// and Escape do nothing wherever the focus is.
#include "controls/hover_button.h"
#include "controls/my_slider_control.h"
#include "platform/devices/device_config.h"
#include "platform/media/recording_marker.h"
#include "platform/ui/list_view.h"
#include "tests/dialog/capture_files.h"
#include "tests/dialog/dialog_fixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScrollBar>
#include <QSlider>
#include <QTest>

namespace {

QString Name(int i) { return QStringLiteral("20260101-1000%1.wma").arg(i, 2, 10, QLatin1Char('0')); }

// Listed captures need only their names; these hold foreign bytes.
void MakeForeignCaptures(const QString &folder, int count)
{
    QDir().mkpath(folder);
    for (int i = 0; i < count; ++i)
        testenv::WriteFile(folder + Name(i), "not a real capture");
}

QString SoloFolder() { return QDir::homePath() + QStringLiteral("/Documents/Talvora/AudioSolo/"); }

} // namespace

TEST_F(DialogTest, ForwardAndBackwardBringTheItemIntoViewAndNoFurther)
{
    MakeForeignCaptures(SoloFolder(), 8);
    MainDlg &d = Open();
    ui::ListView *list = d.ThumbnailList();
    ASSERT_EQ(list->GetItemCount(), 8);
    const int row = list->gridSize().height();
    const int view = list->viewport()->height();
    auto rectOf = [&](int i) { return list->visualItemRect(list->item(i)); };

    QScrollBar *bar = list->verticalScrollBar();
    for (int k = 1; k < 8; ++k) {
        const int before = bar->value();
        QTest::mouseClick(d.forwardButton, Qt::LeftButton);
        ASSERT_EQ(list->GetNextSelectedItem(-1), k);
        const QRect r = rectOf(k);
        EXPECT_GE(r.top(), 0) << k;
        EXPECT_LE(r.bottom(), view) << "item " << k << " is shown whole";
        // When the list had to scroll, the chosen item is its last row
        // shown: the view did not move a row beyond it.
        if (bar->value() != before) {
            EXPECT_GT(r.bottom(), view - row / 2) << "item " << k << " sits at the bottom";
        }
    }
    for (int k = 6; k >= 0; --k) {
        const int before = bar->value();
        QTest::mouseClick(d.backwardButton, Qt::LeftButton);
        ASSERT_EQ(list->GetNextSelectedItem(-1), k);
        const QRect r = rectOf(k);
        EXPECT_GE(r.top(), 0) << "item " << k << " is shown whole";
        EXPECT_LE(r.bottom(), view) << k;
        if (bar->value() != before) {
            EXPECT_LT(r.top(), row / 2) << "item " << k << " sits at the top";
        }
    }
}

TEST_F(DialogTest, ARecordRefusedDuringAPlaybackLeavesTheDialogIdleWithTheLiveViewBack)
{
    if (qEnvironmentVariableIsEmpty("PULSE_SERVER"))
        GTEST_SKIP() << "needs the test run's private sound server (tools/test.sh)";
    devices::DeviceConfigScope devices(devices::DeviceConfig::Parse(
        {QStringLiteral("--camera=test"), QStringLiteral("--microphone=test")}, QString(), QString()));
    StoreMode(Video);
    const QString folder = QDir::homePath() + QStringLiteral("/Documents/Talvora/Video/");
    QDir().mkpath(folder);
    ASSERT_TRUE(capturefiles::MakeCapture(folder + "20260101-090000.wmv", 5.0, true));
    MainDlg &d = Open();
    d.DiskWatch().SetFreeBytes([](const QString &) { return qint64(50) * 1000 * 1000; });
    QTest::mouseClick(d.playButton, Qt::LeftButton);
    ASSERT_EQ(d.CurrentActivity(), Playing) << boxes.Texts().join(" | ").toStdString();
    ASSERT_FALSE(d.videoRecorder.running);

    boxes.Clear();
    QTest::mouseClick(d.recordButton, Qt::LeftButton);
    EXPECT_EQ(boxes.Texts(), QStringList({QStringLiteral("There is not enough free disk space to record.")}));
    EXPECT_EQ(d.CurrentActivity(), Idle);
    EXPECT_FALSE(d.videoPlayer.graph) << "no player is left behind";
    EXPECT_TRUE(d.videoRecorder.running) << "the live view is back";
    EXPECT_FALSE(d.playButton->IsLatched());
    EXPECT_FALSE(d.recordButton->IsLatched());
    EXPECT_FALSE(d.mute.IsMuted());
    EXPECT_EQ(QDir(folder).entryList(QDir::Files).size(), 1);

    // From there Play plays again.
    ASSERT_TRUE(PumpUntil([] { return !recordBusy; }, 5000)); // the Record hold
    d.ThumbnailList()->setFocus();
    QTest::mouseClick(d.ThumbnailList()->viewport(), Qt::LeftButton, Qt::NoModifier,
                      d.ThumbnailList()->visualItemRect(d.ThumbnailList()->item(0)).center());
    QTest::mouseClick(d.playButton, Qt::LeftButton);
    EXPECT_EQ(d.CurrentActivity(), Playing) << boxes.Texts().join(" | ").toStdString();
}

TEST_F(DialogTest, ARepairFinishingInTheBackgroundLeavesTheSelectionWhereItWas)
{
    const QString folder = SoloFolder();
    ASSERT_TRUE(QDir().mkpath(folder));
    for (int i = 1; i <= 3; ++i)
        ASSERT_TRUE(capturefiles::MakeCapture(folder + Name(i), 1.0, false));
    MainDlg &d = Open();
    ASSERT_TRUE(PumpUntil([&] { return !d.RepairsBusy(); }, 30000)); // the start's own pass
    ui::ListView *list = d.ThumbnailList();
    ASSERT_EQ(list->GetItemCount(), 3);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, list->visualItemRect(list->item(2)).center());
    ASSERT_EQ(list->GetNextSelectedItem(-1), 2);

    // A capture a dead process left behind, listed before the others.
    const QString cut = folder + Name(0);
    ASSERT_TRUE(capturefiles::MakeCapture(cut, 1.0, false));
    QFile marker(media::RecordingMarkerPath(cut));
    ASSERT_TRUE(marker.open(QIODevice::WriteOnly));
    marker.write("1 an-earlier-boot\n");
    marker.close();
    d.RepairInterrupted({folder});
    ASSERT_TRUE(PumpUntil([&] { return !QFileInfo::exists(marker.fileName()) && !d.RepairsBusy(); }, 30000));
    ASSERT_TRUE(PumpUntil([&] { return list->GetItemCount() == 4; }, 3000)) << "the repaired capture is listed";
    EXPECT_EQ(list->GetSelectedCount(), 1);
    EXPECT_EQ(list->GetItemText(list->GetNextSelectedItem(-1)), Name(3)) << "still the item the user chose";
    EXPECT_EQ(list->GetItemText(list->GetSelectionMark()), Name(3));
}

TEST_F(DialogTest, ReturnAndEscapeDoNothingWhereverTheFocusIs)
{
    MakeForeignCaptures(SoloFolder(), 2);
    MainDlg &d = Open();
    boxes.Clear();
    const int volume = d.volumeSlider->value();
    QWidget *focusables[] = {d.ThumbnailList(), d.volumeSlider, d.positionSlider, d.recordButton, d.playButton,
                             d.muteButton, d.soloButton};
    for (QWidget *w : focusables) {
        w->setFocus();
        for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
            QTest::keyClick(w, key);
            EXPECT_TRUE(d.isVisible()) << w->objectName().toStdString() << " " << key;
        }
    }
    PumpFor(200);
    EXPECT_EQ(d.CurrentActivity(), Idle);
    EXPECT_EQ(d.CurrentMode(), Solo);
    EXPECT_FALSE(d.mute.IsMuted());
    EXPECT_EQ(d.volumeSlider->value(), volume);
    EXPECT_EQ(d.positionSlider->value(), 0);
    EXPECT_TRUE(boxes.Texts().isEmpty()) << boxes.Texts().join(" | ").toStdString();
    EXPECT_EQ(QDir(SoloFolder()).entryList(QDir::Files).size(), 2);
    EXPECT_FALSE(StoredMode().isValid()) << "nothing was closed";
}
