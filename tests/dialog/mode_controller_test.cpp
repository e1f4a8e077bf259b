#include "controls/hover_button.h"
#include "dialog/control_ids.h"
#include "platform/ui/image_list.h"
#include "platform/ui/list_view.h"
#include "tests/dialog/dialog_fixture.h"

#include <QDir>
#include <QFile>
#include <QTest>

namespace {

int LatchedMode(const MainDlg &d)
{
    int latched = -1;
    for (int m = 0; m < 5; ++m) {
        if (d.ModeButton(m)->IsLatched()) {
            if (latched != -1)
                return -2; // more than one
            latched = m;
        }
    }
    return latched;
}

bool AudioLayoutShown(const MainDlg &d)
{
    return d.ControlById(ids::kAudioPicture)->isVisible() && !d.ControlById(ids::kWholeFrame)->isVisible()
           && !d.ControlById(ids::kLeftFrame)->isVisible() && !d.ControlById(ids::kRightFrame)->isVisible();
}

bool VideoLayoutShown(const MainDlg &d)
{
    return !d.ControlById(ids::kAudioPicture)->isVisible() && d.ControlById(ids::kWholeFrame)->isVisible()
           && d.ControlById(ids::kLeftFrame)->isVisible() && d.ControlById(ids::kRightFrame)->isVisible();
}

} // namespace

TEST_F(DialogTest, WithoutStoredModeOrWithAValueNamingNoModeItStartsInSolo)
{
    for (const QVariant &stored : {QVariant(), QVariant(7), QVariant(QStringLiteral("abc")), QVariant(-1)}) {
        if (stored.isValid())
            StoreMode(stored);
        MainDlg &d = Open();
        EXPECT_EQ(d.CurrentMode(), Solo) << stored.toString().toStdString();
        EXPECT_EQ(LatchedMode(d), Solo);
        EXPECT_TRUE(AudioLayoutShown(d));
        EXPECT_EQ(d.CurrentActivity(), Idle);
        dialog.reset();
    }
}

TEST_F(DialogTest, StoredModeIsEnteredWithItsLayoutAndImageFormat)
{
    StoreMode(4);
    MainDlg &d = Open();
    EXPECT_EQ(d.CurrentMode(), Photo);
    EXPECT_EQ(LatchedMode(d), Photo);
    EXPECT_TRUE(VideoLayoutShown(d));
    ASSERT_NE(d.ThumbnailList()->GetImageList(), nullptr);
    EXPECT_EQ(d.ThumbnailList()->GetImageList()->CellSize(), QSize(87, 65));
    EXPECT_EQ(d.ThumbnailList()->VerticalSpacing(), 90);
    EXPECT_FALSE(static_cast<CHoverButton *>(d.ControlById(ids::kRecord))->IsLatched());
}

TEST_F(DialogTest, ClickingModeButtonsLatchesThatButtonAndSwitchesTheLayout)
{
    MainDlg &d = Open();
    struct Step {
        int id;
        int mode;
        bool audio;
    };
    const Step steps[] = {{ids::kVideo, Video, false},         {ids::kConference, Conference, true},
                          {ids::kVideoTracing, VideoTracing, false}, {ids::kPhoto, Photo, false},
                          {ids::kSolo, Solo, true}};
    for (const Step &s : steps) {
        QTest::mouseClick(d.ControlById(s.id), Qt::LeftButton);
        EXPECT_EQ(d.CurrentMode(), s.mode);
        EXPECT_EQ(LatchedMode(d), s.mode);
        EXPECT_EQ(AudioLayoutShown(d), s.audio);
        EXPECT_EQ(VideoLayoutShown(d), !s.audio);
        EXPECT_EQ(d.ThumbnailList()->GetImageList()->CellSize(), s.audio ? QSize(65, 69) : QSize(87, 65));
        EXPECT_EQ(d.ThumbnailList()->VerticalSpacing(), s.audio ? 94 : 90);
    }
}

TEST_F(DialogTest, EachModeListsItsOwnFolderAndSelectsTheFirstCapture)
{
    MainDlg &d = Open();
    const QString video = d.Paths().videoFolder;
    for (const char *name : {"20260101-100000.wmv", "20260101-090000.wmv"})
        QFile(video + QLatin1String(name)).open(QIODevice::WriteOnly);
    d.OnVideo();
    ui::ListView *list = d.ThumbnailList();
    ASSERT_EQ(list->GetItemCount(), 2);
    EXPECT_EQ(list->GetItemText(0), QStringLiteral("20260101-090000.wmv"));
    EXPECT_EQ(list->GetNextSelectedItem(-1), 0);
    d.OnSolo();
    EXPECT_EQ(list->GetItemCount(), 0);
}

TEST_F(DialogTest, PressingTheCurrentModeButtonDoesNothing)
{
    MainDlg &d = Open();
    d.OnVideo();
    debug.Clear();
    d.OnVideo();
    EXPECT_TRUE(debug.Lines().isEmpty()) << "no engine was touched: " << debug.Lines().join(" | ").toStdString();
    EXPECT_EQ(LatchedMode(d), Video);
}

TEST_F(DialogTest, SaveFailureIsReportedOnlyOnTheDiagnosticsChannel)
{
    MainDlg &d = Open();
    // The store's folder replaced by a file: it can no longer be written.
    const QString folder = QDir::homePath() + "/.config/Orvenic";
    QDir(folder).removeRecursively();
    QDir().mkpath(QDir::homePath() + "/.config");
    QFile blocker(folder);
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    boxes.Clear();
    d.SaveModeState(3);
    EXPECT_TRUE(debug.Contains(QStringLiteral("save registry error")));
    EXPECT_TRUE(boxes.Texts().isEmpty());
    EXPECT_EQ(d.LoadModeState(), 0u);
    QFile::remove(folder);
}

TEST_F(DialogTest, DeleteCommandRemovesTheSelectedCapturesOfTheCurrentMode)
{
    MainDlg &d = Open();
    const QString photos = d.Paths().photoFolder;
    for (const char *name : {"20260101-090000.jpg", "20260101-090001.jpg", "20260101-090002.jpg"})
        QFile(photos + QLatin1String(name)).open(QIODevice::WriteOnly);
    d.OnPhoto();
    ui::ListView *list = d.ThumbnailList();
    ASSERT_EQ(list->GetItemCount(), 3);
    list->SetItemState(2, ui::ListView::kSelected, ui::ListView::kSelected);
    d.OnDeleteSelected();
    EXPECT_FALSE(QFile::exists(photos + "20260101-090000.jpg"));
    EXPECT_TRUE(QFile::exists(photos + "20260101-090001.jpg"));
    EXPECT_FALSE(QFile::exists(photos + "20260101-090002.jpg"));
    EXPECT_EQ(list->GetItemCount(), 1);
    boxes.Clear();
    list->SetItemState(0, 0, ui::ListView::kSelected);
    d.OnDeleteSelected();
    EXPECT_EQ(boxes.Texts(), QStringList{QStringLiteral("No items were selected!!")});
}
