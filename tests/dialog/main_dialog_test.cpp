#include "controls/hover_button.h"
#include "dialog/control_ids.h"
#include "platform/shell/shell.h"
#include "platform/ui/image_list.h"
#include "platform/ui/list_view.h"
#include "tests/dialog/dialog_fixture.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QSlider>
#include <QTest>

namespace {

QRect Geometry(const MainDlg &d, int id)
{
    QWidget *w = d.ControlById(id);
    return w ? w->geometry() : QRect();
}

// Stacking index among the dialog's children (higher is drawn above).
int Stacking(const MainDlg &d, int id)
{
    QWidget *w = d.ControlById(id);
    return static_cast<int>(d.children().indexOf(w));
}

} // namespace

TEST_F(DialogTest, OpensCentredAtItsFixedSizeWithEveryControlInPlace)
{
    MainDlg &d = Open();
    EXPECT_EQ(d.size(), QSize(628, 447));
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(d.pos(), QPoint(screen.width() / 2 - 628 / 2, screen.height() / 2 - 447 / 2));

    const QSize video = d.ControlById(ids::kAudioPicture)->size();
    EXPECT_EQ(video.width() * 3, video.height() * 4) << "the video area keeps a 4:3 picture";
    EXPECT_LE(80 + video.height(), 340) << "the video area ends above the position slider";

    const int modeIds[] = {ids::kSolo, ids::kConference, ids::kVideo, ids::kVideoTracing, ids::kPhoto};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(Geometry(d, modeIds[i]).topLeft(), QPoint(215 + 70 * i, 10));
    const int labelIds[] = {ids::kLabelSolo, ids::kLabelConference, ids::kLabelVideo, ids::kLabelTracing,
                            ids::kLabelPhoto};
    const int labelX[] = {230, 283, 367, 417, 507};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(Geometry(d, labelIds[i]), QRect(labelX[i], 60, 70, 50));
    const int transportIds[] = {ids::kBackward, ids::kStop, ids::kRecord, ids::kPlay, ids::kForward};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(Geometry(d, transportIds[i]).topLeft(), QPoint(170 + 30 * i, 375));
    EXPECT_EQ(Geometry(d, ids::kVolumeDown).topLeft(), QPoint(360, 375));
    EXPECT_EQ(Geometry(d, ids::kVolumeUp).topLeft(), QPoint(470, 375));
    EXPECT_EQ(Geometry(d, ids::kVolumeSlider), QRect(380, 375, 90, 20));
    EXPECT_EQ(Geometry(d, ids::kMute).topLeft(), QPoint(335, 375));
    EXPECT_EQ(Geometry(d, ids::kBackdrop).topLeft(), QPoint(160, 368));
    EXPECT_EQ(Geometry(d, ids::kDeviceMenu).topLeft(), QPoint(510, 365));
    EXPECT_EQ(Geometry(d, ids::kShareMenu).topLeft(), QPoint(560, 365));
    EXPECT_EQ(Geometry(d, ids::kPositionSlider), QRect(160, 340, 430, 15));
    EXPECT_EQ(Geometry(d, ids::kAudioPicture), QRect(QPoint(160, 80), video));
    EXPECT_EQ(Geometry(d, ids::kLogo).topLeft(), QPoint(33, 5));
    EXPECT_EQ(Geometry(d, ids::kThumbnailList), QRect(11, 116, 139, 279));
    EXPECT_EQ(Geometry(d, ids::kWholeFrame), QRect(QPoint(160, 80), video));
    EXPECT_EQ(Geometry(d, ids::kLeftFrame), QRect(160, 80, video.width() / 2, video.height()));
    EXPECT_EQ(Geometry(d, ids::kRightFrame), QRect(160 + video.width() / 2, 80, video.width() / 2, video.height()));

    // Later rows lie above earlier ones; the right half ends on top of the other views.
    EXPECT_GT(Stacking(d, ids::kRightFrame), Stacking(d, ids::kLeftFrame));
    EXPECT_GT(Stacking(d, ids::kLeftFrame), Stacking(d, ids::kWholeFrame));
    EXPECT_GT(Stacking(d, ids::kWholeFrame), Stacking(d, ids::kAudioPicture));
    EXPECT_GT(Stacking(d, ids::kLabelSolo), Stacking(d, ids::kSolo));
    // The backdrop stays behind the buttons it frames.
    EXPECT_LT(Stacking(d, ids::kBackdrop), Stacking(d, ids::kPlay));
    EXPECT_FALSE(d.ControlById(ids::kBackdrop)->isEnabled());
    EXPECT_FALSE(d.ControlById(ids::kSpare)->isVisible());
}

TEST_F(DialogTest, InitialisesSlidersAndPathsAndShowsTheBackground)
{
    MainDlg &d = Open();
    auto *position = static_cast<QSlider *>(d.ControlById(ids::kPositionSlider));
    EXPECT_EQ(position->minimum(), 0);
    EXPECT_EQ(position->maximum(), 1000);
    EXPECT_EQ(position->value(), 0);
    auto *volume = static_cast<QSlider *>(d.ControlById(ids::kVolumeSlider));
    EXPECT_EQ(volume->maximum(), 7);
    EXPECT_EQ(volume->value(), 0);
    EXPECT_TRUE(d.Paths().baseFolder.endsWith(QStringLiteral("/Talvora/")));
    EXPECT_TRUE(d.BackgroundLoaded());
    // The background is really painted: the window is not the default grey.
    const QImage shot = d.grab().toImage();
    EXPECT_NE(shot.pixelColor(5, 440), d.palette().color(QPalette::Window));
}

TEST_F(DialogTest, ModeLabelsCarryTheirTexts)
{
    MainDlg &d = Open();
    const int labelIds[] = {ids::kLabelSolo, ids::kLabelConference, ids::kLabelVideo, ids::kLabelTracing,
                            ids::kLabelPhoto};
    const char *texts[] = {"Solo", "Conference", "Video", "Video Tracing", "Photo"};
    for (int i = 0; i < 5; ++i) {
        auto *label = static_cast<QLabel *>(d.ControlById(labelIds[i]));
        EXPECT_EQ(label->text(), QLatin1String(texts[i]));
        // One line in the 70-pixel cell: a wrapped second line would hide under the video area.
        EXPECT_LE(QFontMetrics(label->font()).horizontalAdvance(label->text()), 70) << texts[i];
    }
}

TEST_F(DialogTest, EnterAndEscapeDoNotCloseTheDialog)
{
    MainDlg &d = Open();
    for (Qt::Key key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter}) {
        QTest::keyClick(&d, key);
        EXPECT_TRUE(d.isVisible()) << key;
    }
    EXPECT_FALSE(StoredMode().isValid()) << "nothing was closed, so nothing was stored";
}

TEST_F(DialogTest, ClosingStoresTheCurrentModeAndStopsEverything)
{
    StoreMode(1);
    MainDlg &d = Open();
    EXPECT_EQ(d.CurrentMode(), Conference);
    d.OnPhoto();
    d.close();
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(StoredMode().toUInt(), 4u);
    EXPECT_EQ(d.CurrentActivity(), Idle);
}

TEST_F(DialogTest, MissingFaceDetectorShowsOneMessageAndEveryModeStillWorks)
{
    // A product folder without the detector (the build tree's has one).
    const QByteArray saved = qgetenv("TALVORA_PROGRAM_FILES");
    qputenv("TALVORA_PROGRAM_FILES", TALVORA_FIXTURE_ROOT "/none");
    MainDlg &d = Open();
    qputenv("TALVORA_PROGRAM_FILES", saved);
    EXPECT_EQ(boxes.Texts(),
              QStringList{QStringLiteral("Can not load facedetect.dll and tracing function will be disabled ")});
    for (auto handler : {&MainDlg::OnConference, &MainDlg::OnVideo, &MainDlg::OnVideoTracing, &MainDlg::OnPhoto,
                         &MainDlg::OnSolo}) {
        (d.*handler)();
    }
    EXPECT_EQ(d.CurrentMode(), Solo);
    EXPECT_EQ(boxes.Count(QStringLiteral("Can not load facedetect.dll and tracing function will be disabled ")), 1);
}

TEST_F(DialogTest, MissingBackgroundBitmapIsReportedAndNothingIsDrawn)
{
    class NoBackground : public MainDlg {
    protected:
        QImage LoadSkinResource(int id) const override
        {
            return id == ids::kBackgroundBitmap ? QImage() : MainDlg::LoadSkinResource(id);
        }
    };
    NoBackground d;
    d.OnInitDialog();
    d.show();
    EXPECT_TRUE(boxes.Texts().contains(QStringLiteral("Error loading bitmap")));
    EXPECT_FALSE(d.BackgroundLoaded());
    EXPECT_NE(d.size(), QSize(628, 447)) << "the window is neither centred nor resized";
}

TEST_F(DialogTest, F1OpensTheHelpFileFromTheProductFolder)
{
    QStringList opened;
    shell::SetOpenHook([&](const QString &p) { opened << p; return true; });
    MainDlg &d = Open();
    QTest::keyClick(&d, Qt::Key_F1);
    shell::SetOpenHook(nullptr);
    ASSERT_EQ(opened.size(), 1);
    EXPECT_TRUE(opened.front().endsWith(QStringLiteral("/Talvora/Talvora Help.mht"))) << opened.front().toStdString();
    EXPECT_TRUE(QFile::exists(opened.front())) << "the build tree carries the help file";
}
