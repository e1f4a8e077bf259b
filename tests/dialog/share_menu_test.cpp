// The share menu in the dialog: its items in every mode, mail from any mode
// while a recording runs, and the upload item that only acts in Photo.
#include "tests/dialog/dialog_fixture.h"
#include "tests/support/mail_doubles.h"

#include "platform/ui/list_view.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QFileInfo>
#include <QJsonArray>
#include <QMenu>
#include <QProcess>
#include <QTest>
#include <QTimer>
#include <optional>

using maildoubles::FakeXdgEmail;
using maildoubles::PrivateBus;
using maildoubles::WaitFor;

namespace {

struct MenuSeen {
    QStringList texts;
    QList<bool> enabled;
    QRect geometry;
};

// Chooses the item `text` of the next menu that pops up, recording what it showed.
void ChooseInNextMenu(const QString &text, MenuSeen *seen)
{
    auto *poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, text, seen] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        if (!menu)
            return;
        poll->stop();
        poll->deleteLater();
        seen->geometry = menu->geometry();
        QAction *pick = nullptr;
        for (QAction *a : menu->actions()) {
            seen->texts.append(a->text());
            seen->enabled.append(a->isEnabled());
            if (a->text() == text)
                pick = a;
        }
        if (pick) {
            // Chosen as a user does, so the menu's own loop returns it.
            menu->setActiveAction(pick);
            QTest::keyClick(menu, Qt::Key_Return);
        } else {
            menu->close();
        }
    });
    poll->start(20);
}

class ShareMenuTest : public DialogTest {
protected:
    void SetUp() override
    {
        DialogTest::SetUp();
        ASSERT_TRUE(bus.Ok());
    }
    MainDlg &OpenWithBus()
    {
        MainDlg &d = Open();
        d.mailAttachment.Composer().SetBus(bus.Bus());
        return d;
    }
    // Captures in the current mode's folder, listed and all selected.
    QStringList ListAndSelect(MainDlg &d, const QStringList &names)
    {
        QStringList paths;
        const QString folder = d.mediaLibrary.modeFolders[static_cast<size_t>(d.CurrentMode())];
        for (const QString &name : names) {
            paths.append(folder + name);
            testenv::WriteFile(paths.last(), "capture");
            d.ThumbnailList()->InsertItem(d.ThumbnailList()->GetItemCount(), name, 0);
        }
        for (int i = 0; i < d.ThumbnailList()->GetItemCount(); ++i)
            d.ThumbnailList()->SetItemState(i, ui::ListView::kSelected, ui::ListView::kSelected);
        return paths;
    }
    static QStringList Paths(const QJsonObject &call)
    {
        QStringList out;
        for (const QJsonValue &v : call.value(QStringLiteral("paths")).toArray())
            out.append(v.toString());
        return out;
    }
    static double DurationSeconds(const QString &file)
    {
        QProcess probe;
        probe.start(QStringLiteral("/usr/bin/ffprobe"),
                    {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
                     QStringLiteral("format=duration"), QStringLiteral("-of"), QStringLiteral("default=nw=1:nk=1"), file});
        if (!probe.waitForFinished(30000))
            return -1;
        bool ok = false;
        const double seconds = QString::fromUtf8(probe.readAllStandardOutput()).trimmed().toDouble(&ok);
        return ok ? seconds : -1;
    }

    PrivateBus bus;
};

TEST_F(ShareMenuTest, ItemsAreTheSameInEveryModeAndUploadOnlyActsInPhoto)
{
    MainDlg &d = OpenWithBus();
    using Enter = void (MainDlg::*)();
    const Enter modes[] = {&MainDlg::OnSolo, &MainDlg::OnConference, &MainDlg::OnVideo, &MainDlg::OnVideoTracing,
                           &MainDlg::OnPhoto};
    for (Enter enter : modes) {
        (d.*enter)();
        ListAndSelect(d, {QStringLiteral("20240101-000001.jpg")});
        const QString handoff = d.Paths().baseFolder + QStringLiteral("Talvora.xml");
        QFile::remove(handoff);
        boxes.Clear();
        MenuSeen seen;
        ChooseInNextMenu(QStringLiteral("Upload File(s) to Flickr"), &seen);
        d.OnShareMenu();
        EXPECT_EQ(seen.texts, (QStringList{QStringLiteral("Attach File(s) to Mail"),
                                           QStringLiteral("Upload File(s) to Flickr")}));
        EXPECT_EQ(seen.enabled, (QList<bool>{true, true})) << "drawn normally, never greyed, in mode " << d.CurrentMode();
        const bool photo = d.CurrentMode() == Photo;
        EXPECT_EQ(QFileInfo::exists(handoff), photo) << "mode " << d.CurrentMode();
        // In Photo the tool is missing from the build's product folder.
        EXPECT_EQ(boxes.Texts(), photo ? QStringList{QStringLiteral("Launch FilckrUploader fail")} : QStringList())
            << "mode " << d.CurrentMode();
    }
}

TEST_F(ShareMenuTest, MenuOpensAboveTheCursor)
{
    MainDlg &d = OpenWithBus();
    QCursor::setPos(400, 500);
    const QPoint cursor = QCursor::pos();
    MenuSeen seen;
    ChooseInNextMenu(QString(), &seen);
    d.OnShareMenu();
    ASSERT_FALSE(seen.geometry.isEmpty());
    EXPECT_EQ(seen.geometry.left(), cursor.x());
    EXPECT_NEAR(seen.geometry.bottom(), cursor.y(), 2) << "bottom-aligned at the cursor";
}

TEST_F(ShareMenuTest, MailWhileRecordingSendsTheSelectionInOrderAndTheRecordingGoesOn)
{
    devices::DeviceConfigScope devices(devices::DeviceConfig::Parse(
        {QStringLiteral("--camera=test"), QStringLiteral("--microphone=test")}, QString(), QString()));
    ASSERT_TRUE(bus.StartPortal(0));
    std::optional<FakeXdgEmail> xdg(std::in_place, true);
    MainDlg &d = OpenWithBus();
    d.OnVideo();
    const QStringList files = ListAndSelect(d, {QStringLiteral("20240101-000001.wmv"),
                                                 QStringLiteral("20240101-000002.wmv"),
                                                 QStringLiteral("20240101-000003.wmv")});
    d.videoRecorder.ReleaseGraph();
    ASSERT_EQ(d.videoRecorder.StartRecording(d.Paths().videoFolder, d.wholeFrame, d.leftFrame, d.rightFrame, false),
              S_OK);
    d.activity = Recording;
    boxes.Clear();
    const QString recording = d.videoRecorder.RecordingFileName();

    MenuSeen seen;
    ChooseInNextMenu(QStringLiteral("Attach File(s) to Mail"), &seen);
    d.OnShareMenu();
    EXPECT_TRUE(WaitFor([&] { return !bus.Calls().isEmpty(); }));
    WaitFor([] { return false; }, 2500);
    EXPECT_EQ(d.CurrentActivity(), Recording);
    EXPECT_TRUE(d.isEnabled()) << "the window stays usable while the mail client opens";
    d.videoRecorder.ReleaseGraph();

    ASSERT_EQ(bus.Calls().size(), 1);
    EXPECT_EQ(Paths(bus.Calls()[0]), files);
    EXPECT_TRUE(boxes.Texts().isEmpty()) << boxes.Texts().join(QLatin1Char('|')).toStdString();
    EXPECT_FALSE(xdg->Called());
    xdg.reset(); // the probe needs the real PATH
    EXPECT_GE(DurationSeconds(recording), 2.0) << "the recording ran through the mail hand-off: "
                                                << recording.toStdString();
}

TEST_F(ShareMenuTest, NothingSelectedOrNoHandOffIsReported)
{
    FakeXdgEmail none(false);
    MainDlg &d = OpenWithBus();
    d.OnPhoto();
    boxes.Clear();
    d.OnAttachToMail();
    EXPECT_EQ(boxes.Texts(), QStringList{QStringLiteral("No items were selected!!")});
    boxes.Clear();
    ListAndSelect(d, {QStringLiteral("20240101-000001.jpg")});
    d.OnAttachToMail();
    EXPECT_TRUE(WaitFor([&] { return !boxes.Texts().isEmpty(); }));
    EXPECT_EQ(boxes.Texts(), QStringList{QStringLiteral("cant load dll")});
    EXPECT_TRUE(debug.Contains(QStringLiteral("Attach Mail function fail!")));
}

} // namespace
