// The list's "delete" menu as a person uses it with the mouse: it opens when
// the right button goes up (over an item or over empty space), a right drag
// chooses nothing, and a capture being recorded or played is never deleted.
#include "controls/hover_button.h"
#include "platform/devices/device_config.h"
#include "platform/ui/list_view.h"
#include "tests/capture/capture_test_util.h"
#include "tests/dialog/dialog_fixture.h"
#include "tests/dialog/capture_files.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QTest>
#include <QTimer>

namespace {

// What the next pop-up menu showed and when, and what the hand did with it.
struct MenuWatch {
    // True while the test holds the right button down.
    bool rightHeld = false;
    bool openedWhileHeld = false;
    int opened = 0;
    QStringList texts;
    // Chosen when the menu opens after the release; empty closes it.
    QString choose;

    void Arm()
    {
        auto *poll = new QTimer;
        QObject::connect(poll, &QTimer::timeout, [this, poll] {
            auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
            if (!menu)
                return;
            poll->stop();
            poll->deleteLater();
            ++opened;
            for (QAction *a : menu->actions())
                texts.append(a->text());
            if (rightHeld) {
                // The hand still holds the button: it slides onto "delete" and lets go.
                openedWhileHeld = true;
                QAction *remove = menu->actions().value(0);
                const QPoint at = menu->actionGeometry(remove).center();
                QTest::mouseMove(menu, at);
                QTest::mouseRelease(menu, Qt::RightButton, Qt::NoModifier, at);
                if (menu->isVisible())
                    menu->close();
                return;
            }
            QAction *pick = nullptr;
            for (QAction *a : menu->actions())
                if (!choose.isEmpty() && a->text() == choose)
                    pick = a;
            if (pick) {
                menu->setActiveAction(pick);
                QTest::keyClick(menu, Qt::Key_Return);
            } else {
                QTest::keyClick(menu, Qt::Key_Escape);
            }
        });
        poll->start(20);
    }
};

QPoint ItemCentre(ui::ListView *list, int row) { return list->visualItemRect(list->item(row)).center(); }

void RightClick(ui::ListView *list, QPoint at, MenuWatch &watch)
{
    watch.Arm();
    QTest::mouseClick(list->viewport(), Qt::RightButton, Qt::NoModifier, at);
    PumpUntil([&] { return watch.opened > 0; }, 3000);
}

QString SharingViolation(const QString &path)
{
    return QStringLiteral("A sharing violation occurred while accessing %1.").arg(path);
}

class ListMenuTest : public DialogTest {
protected:
    // Solo captures made before the window opens, listed, the first selected.
    MainDlg &OpenWith(const QStringList &names)
    {
        folder = QDir::homePath() + QStringLiteral("/Documents/Talvora/AudioSolo/");
        QDir().mkpath(folder);
        for (const QString &name : names)
            EXPECT_TRUE(capturefiles::MakeCapture(folder + name, 3.0, false));
        return Open();
    }
    QString folder;
};

} // namespace

TEST_F(ListMenuTest, TheMenuOpensOnTheReleaseAndARightDragDeletesNothing)
{
    MainDlg &d = OpenWith({"20260101-100000.wma", "20260101-100001.wma", "20260101-100002.wma"});
    ui::ListView *list = d.ThumbnailList();
    ASSERT_EQ(list->GetItemCount(), 3);

    MenuWatch watch;
    watch.Arm();
    watch.rightHeld = true;
    QTest::mousePress(list->viewport(), Qt::RightButton, Qt::NoModifier, ItemCentre(list, 2));
    PumpFor(200);
    EXPECT_EQ(watch.opened, 0) << "no menu under a button still held";
    QTest::mouseMove(list->viewport(), ItemCentre(list, 0));
    PumpFor(100);
    watch.rightHeld = false;
    QTest::mouseRelease(list->viewport(), Qt::RightButton, Qt::NoModifier, ItemCentre(list, 0));
    ASSERT_TRUE(PumpUntil([&] { return watch.opened > 0; }, 3000)) << "the release opens the menu";
    EXPECT_FALSE(watch.openedWhileHeld);
    EXPECT_EQ(watch.texts, QStringList({QStringLiteral("delete")}));
    EXPECT_EQ(QDir(folder).entryList(QDir::Files).size(), 3) << "nothing was deleted";
    EXPECT_EQ(list->GetItemCount(), 3);
}

TEST_F(ListMenuTest, ARightClickOnEmptySpaceOpensTheMenuAndOneOnAnItemDeletesIt)
{
    MainDlg &d = OpenWith({"20260101-100000.wma", "20260101-100001.wma"});
    ui::ListView *list = d.ThumbnailList();
    ASSERT_EQ(list->GetItemCount(), 2);

    MenuWatch empty;
    RightClick(list, QPoint(list->viewport()->width() / 2, list->viewport()->height() - 4), empty);
    EXPECT_EQ(empty.opened, 1) << "below the last item";
    EXPECT_EQ(empty.texts, QStringList({QStringLiteral("delete")}));

    // On an item: it is selected by the press and deleted from the menu.
    MenuWatch onItem;
    onItem.choose = QStringLiteral("delete");
    RightClick(list, ItemCentre(list, 1), onItem);
    ASSERT_EQ(onItem.opened, 1);
    EXPECT_TRUE(PumpUntil([&] { return list->GetItemCount() == 1; }, 2000));
    EXPECT_EQ(QDir(folder).entryList(QDir::Files), QStringList({QStringLiteral("20260101-100000.wma")}));
    EXPECT_TRUE(boxes.Texts().filter(QStringLiteral("sharing")).isEmpty());
}

TEST_F(ListMenuTest, ThePlayingCaptureIsRefusedAndTheOtherSelectedOnesAreDeleted)
{
    MainDlg &d = OpenWith({"20260101-100000.wma", "20260101-100001.wma", "20260101-100002.wma"});
    ui::ListView *list = d.ThumbnailList();
    ASSERT_EQ(list->GetItemCount(), 3);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, ItemCentre(list, 1));
    QTest::mouseClick(d.playButton, Qt::LeftButton);
    ASSERT_EQ(d.CurrentActivity(), Playing) << boxes.Texts().join(" | ").toStdString();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier, ItemCentre(list, 0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier, ItemCentre(list, 2));
    ASSERT_EQ(list->GetSelectedCount(), 3);

    boxes.Clear();
    MenuWatch watch;
    watch.choose = QStringLiteral("delete");
    RightClick(list, ItemCentre(list, 1), watch);
    ASSERT_EQ(watch.opened, 1);
    EXPECT_EQ(boxes.Texts(), QStringList({SharingViolation(folder + "20260101-100001.wma")}));
    EXPECT_EQ(QDir(folder).entryList(QDir::Files), QStringList({QStringLiteral("20260101-100001.wma")}));
    ASSERT_EQ(list->GetItemCount(), 1);
    EXPECT_EQ(list->GetItemText(0), QStringLiteral("20260101-100001.wma"));
    EXPECT_EQ(d.CurrentActivity(), Playing) << "the playback goes on";

    // Paused and at its end the player still holds the file.
    QTest::mouseClick(d.playButton, Qt::LeftButton);
    ASSERT_EQ(d.CurrentActivity(), Paused);
    boxes.Clear();
    MenuWatch paused;
    paused.choose = QStringLiteral("delete");
    RightClick(list, ItemCentre(list, 0), paused);
    EXPECT_EQ(boxes.Count(SharingViolation(folder + "20260101-100001.wma")), 1);
    EXPECT_TRUE(QFileInfo::exists(folder + "20260101-100001.wma"));

    // Stopped, it can go.
    QTest::mouseClick(d.stopButton, Qt::LeftButton);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, ItemCentre(list, 0));
    MenuWatch stopped;
    stopped.choose = QStringLiteral("delete");
    RightClick(list, ItemCentre(list, 0), stopped);
    EXPECT_TRUE(QDir(folder).entryList(QDir::Files).isEmpty());
}

TEST_F(ListMenuTest, ACaptureBeingRecordedIsKeptAndPlaysInFullAfterStop)
{
    if (qEnvironmentVariableIsEmpty("PULSE_SERVER"))
        GTEST_SKIP() << "needs the test run's private sound server (tools/test.sh)";
    devices::DeviceConfigScope devices(devices::DeviceConfig::Parse(
        {QStringLiteral("--camera=test:pattern=ball"), QStringLiteral("--microphone=test")}, QString(), QString()));
    StoreMode(Video);
    const QString video = QDir::homePath() + QStringLiteral("/Documents/Talvora/Video/");
    QDir().mkpath(video);
    ASSERT_TRUE(capturefiles::MakeCapture(video + "20260101-100000.wmv", 1.0, true)); // an older capture
    MainDlg &d = Open();
    ui::ListView *list = d.ThumbnailList();
    QTest::mouseClick(d.recordButton, Qt::LeftButton);
    ASSERT_EQ(d.CurrentActivity(), Recording);
    ASSERT_TRUE(capturetest::WaitUntilRunning(d.videoRecorder.graph)) << "the recording runs";
    ASSERT_EQ(list->GetItemCount(), 2);
    const QString recording = video + list->GetItemText(1);
    EXPECT_EQ(list->GetNextSelectedItem(-1), 1) << "the new capture is selected";
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier, ItemCentre(list, 0));
    ASSERT_EQ(list->GetSelectedCount(), 2);
    PumpFor(1000);

    boxes.Clear();
    MenuWatch watch;
    watch.choose = QStringLiteral("delete");
    RightClick(list, ItemCentre(list, 1), watch);
    ASSERT_EQ(watch.opened, 1);
    EXPECT_EQ(boxes.Texts(), QStringList({SharingViolation(recording)}));
    EXPECT_FALSE(QFileInfo::exists(video + "20260101-100000.wmv")) << "the other selected capture is deleted";
    EXPECT_TRUE(QFileInfo::exists(recording));
    EXPECT_EQ(d.CurrentActivity(), Recording);

    PumpFor(2000);
    QTest::mouseClick(d.stopButton, Qt::LeftButton);
    ASSERT_EQ(d.CurrentActivity(), Idle);
    ASSERT_TRUE(PumpUntil([&] { return !d.RepairsBusy(); }, 30000));
    ASSERT_EQ(list->GetItemCount(), 1);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, ItemCentre(list, 0));
    boxes.Clear();
    QTest::mouseClick(d.playButton, Qt::LeftButton);
    ASSERT_EQ(d.CurrentActivity(), Playing) << boxes.Texts().join(" | ").toStdString();
    double length = 0;
    d.videoPlayer.GetDurationSeconds(&length);
    EXPECT_GT(length, 2.5) << "the recording was not cut off by the delete";
    EXPECT_TRUE(PumpUntil([&] { return d.CurrentActivity() == PlaybackEnded; }, 20000)) << "it plays to its end";
}
