#include "dialog/main_dlg.h"

#include "audio/mic_array_status.h"
#include "controls/hover_button.h"
#include "controls/label.h"
#include "controls/my_slider_control.h"
#include "dialog/control_ids.h"
#include "platform/diag/diagnostics.h"
#include "platform/media/graph_notify_event.h"
#include "platform/mixer/mixer_control_change_event.h"
#include "platform/session/session_notifier.h"
#include "platform/shell/shell.h"
#include "platform/ui/image_list.h"
#include "platform/ui/list_view.h"
#include "platform/ui/message_box.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QFontMetrics>
#include <QPainter>
#include <QScreen>
#include <QSlider>
#include <QTimer>

QRect pictureRect;

// The skin lives in a static library; this keeps its resources linked in.
static void InitSkinResources() { Q_INIT_RESOURCE(skin); }

namespace {

constexpr int kWindowWidth = 628;
constexpr int kWindowHeight = 447;

// The twenty skin bitmaps in loading order; their sizes drive the layout.
constexpr std::array<int, 20> kSkinIds = {300, 301, 302, 303, 155, 158, 146, 164, 178, 160,
                                          154, 150, 186, 141, 143, 169, 139, 207, 170, 209};

QString ControlName(int id) { return QStringLiteral("control%1").arg(id); }

QWidget *MakeHost(QWidget *parent, int id, bool blackFrame)
{
    auto *host = new QWidget(parent);
    host->setObjectName(ControlName(id));
    host->setAutoFillBackground(blackFrame);
    if (blackFrame) {
        QPalette pal = host->palette();
        pal.setColor(QPalette::Window, Qt::black);
        host->setPalette(pal);
    }
    host->hide();
    return host;
}

// The template's 8-point dialog font, made smaller where the system's sans
// font runs wide, so every mode label fits its 70-pixel cell on one line
// (a second line would lie under the video area).
QFont DialogFont(QFont font)
{
    font.setPointSizeF(8.0);
    while (font.pointSizeF() > 6.0 && QFontMetrics(font).horizontalAdvance(QStringLiteral("Video Tracing")) > 68)
        font.setPointSizeF(font.pointSizeF() - 0.25);
    return font;
}

} // namespace

MainDlg::MainDlg(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Talvora"));
    setObjectName(QStringLiteral("TalvoraDlg"));
    InitSkinResources();
    setFont(DialogFont(font()));
    CreateControls();
    playTimer_ = new QTimer(this);
    recordHold_ = new QTimer(this);
    recordHold_->setSingleShot(true);
    ConnectCommands();
}

MainDlg::~MainDlg()
{
    // A dialog torn down without being closed still stores its mode and
    // stops every engine, so no recording is left open.
    if (!destroyed_ && modeEntered_)
        OnDestroy();
    // A hold cut short by the window's end must not lock Record for good.
    if (recordHold_->isActive())
        recordBusy = false;
}

void MainDlg::CreateControls()
{
    auto button = [this](int id, const char *caption) {
        auto *b = new CHoverButton(this, QLatin1String(caption));
        b->setObjectName(ControlName(id));
        return b;
    };
    soloButton = button(ids::kSolo, "Solo");
    conferenceButton = button(ids::kConference, "Conference");
    videoTracingButton = button(ids::kVideoTracing, "TVdieo");
    videoButton = button(ids::kVideo, "Video");
    photoButton = button(ids::kPhoto, "Photo");
    backwardButton = button(ids::kBackward, "Backward");
    stopButton = button(ids::kStop, "Stop");
    playButton = button(ids::kPlay, "Play");
    forwardButton = button(ids::kForward, "Forward");
    recordButton = button(ids::kRecord, "Record");
    rightHalfFrame = MakeHost(this, 1023, false);
    leftHalfFrame = MakeHost(this, 1024, false);
    wholeFrameControl = MakeHost(this, 1022, true);
    positionSlider = new QSlider(Qt::Horizontal, this);
    positionSlider->setObjectName(ControlName(1011));
    positionSlider->setAccessibleName(QStringLiteral("Position"));
    volumeUpButton = button(ids::kVolumeUp, "+");
    volumeDownButton = button(ids::kVolumeDown, "-");
    volumeSlider = new CMySliderControl(this);
    volumeSlider->setObjectName(ControlName(1021));
    volumeSlider->setAccessibleName(QStringLiteral("Volume"));
    deviceMenuButton = button(ids::kDeviceMenu, "A");
    shareMenuButton = button(ids::kShareMenu, "ATT");
    backdropButton = button(ids::kBackdrop, "Button1");
    backdropButton->setEnabled(false);
    spareButton = button(ids::kSpare, "Button1");
    spareButton->setEnabled(false);
    spareButton->hide();
    muteButton = button(ids::kMute, "Button1");
    muteButton->setAccessibleName(QStringLiteral("Mute"));
    muteButton->setCheckable(true);
    audioPicture = new QLabel(this);
    audioPicture->setObjectName(ControlName(1034));
    audioPicture->hide();
    logo = new QLabel(this);
    logo->setObjectName(ControlName(1043));
    const std::array<int, 5> labelIds = {ids::kLabelSolo, ids::kLabelConference, ids::kLabelVideo,
                                         ids::kLabelTracing, ids::kLabelPhoto};
    for (size_t i = 0; i < modeLabels.size(); ++i) {
        modeLabels[i] = new CLabel(this);
        modeLabels[i]->setObjectName(ControlName(labelIds[i]));
        modeLabels[i]->setText(QStringLiteral("Static"));
    }
    thumbnailList = new ui::ListView(this);
    thumbnailList->setObjectName(ControlName(1035));
    thumbnailList->setAccessibleName(QStringLiteral("Captures"));
}

void MainDlg::ConnectCommands()
{
    connect(&diskWatch_, &library::DiskSpaceWatch::StopNeeded, this, &MainDlg::OnRecordingMustStop);
    connect(&repairs_, &library::InterruptedRecordings::Done, this, &MainDlg::OnRepairsDone);
    connect(soloButton, &QAbstractButton::clicked, this, &MainDlg::OnSolo);
    connect(conferenceButton, &QAbstractButton::clicked, this, &MainDlg::OnConference);
    connect(videoButton, &QAbstractButton::clicked, this, &MainDlg::OnVideo);
    connect(videoTracingButton, &QAbstractButton::clicked, this, &MainDlg::OnVideoTracing);
    connect(photoButton, &QAbstractButton::clicked, this, &MainDlg::OnPhoto);
    connect(deviceMenuButton, &QAbstractButton::clicked, this, &MainDlg::OnDeviceMenu);
    connect(shareMenuButton, &QAbstractButton::clicked, this, &MainDlg::OnShareMenu);
    connect(thumbnailList, &ui::ListView::RightClicked, this, &MainDlg::OnListRightClick);
    connect(recordButton, &QAbstractButton::clicked, this, &MainDlg::OnRecord);
    connect(stopButton, &QAbstractButton::clicked, this, &MainDlg::OnStop);
    connect(playButton, &QAbstractButton::clicked, this, &MainDlg::OnPlay);
    connect(forwardButton, &QAbstractButton::clicked, this, &MainDlg::OnForward);
    connect(backwardButton, &QAbstractButton::clicked, this, &MainDlg::OnBackward);
    connect(thumbnailList, &ui::ListView::ItemDoubleClicked, this, [this](int) { OnListDoubleClick(); });
    connect(playTimer_, &QTimer::timeout, this, [this] { OnTimer(ids::kPlayTimer); });
    connect(recordHold_, &QTimer::timeout, this, [] { recordBusy = false; });
    // WM_HSCROLL comes from the user only: every action (each drag movement
    // included) and the release, never the timer's own position updates.
    connect(positionSlider, &QAbstractSlider::actionTriggered, this,
            [this](int action) { OnHScroll(action, positionSlider->sliderPosition(), positionSlider); });
    connect(positionSlider, &QAbstractSlider::sliderReleased, this,
            [this] { OnHScroll(QAbstractSlider::SliderNoAction, positionSlider->sliderPosition(), positionSlider); });
    connect(volumeDownButton, &QAbstractButton::clicked, this, &MainDlg::OnVolumeDown);
    connect(volumeUpButton, &QAbstractButton::clicked, this, &MainDlg::OnVolumeUp);
    // Every change a person makes ends in the released-capture handler: a
    // drag, a click on the track, a key, the wheel.
    connect(volumeSlider, &CMySliderControl::ReleasedCapture, this, &MainDlg::OnVolumeSliderReleased);
    connect(volumeSlider, &CMySliderControl::EndTrack, this, &MainDlg::OnVolumeSliderReleased);
    connect(muteButton, &QAbstractButton::clicked, this, &MainDlg::OnMuteButton);
    // The mute button looks pressed exactly while its check state says muted.
    connect(muteButton, &QAbstractButton::toggled, muteButton, &CHoverButton::SetLatched);
}

bool MainDlg::FollowsSession() const { return sessionNotifier_ && !sessionNotifier_->SessionPath().isEmpty(); }

bool MainDlg::OnInitDialog()
{
    sessionNotifier_ = std::make_unique<session::SessionNotifier>();
    sessionNotifier_->Register({[this](unsigned event, unsigned id) { return OnSessionChange(event, id); },
                                [this](unsigned event, long data) { return OnPowerBroadcast(event, data); }});
    if (!LoadMicArrayStatus(mediaLibrary.micArrayModule, micArrayPresent))
        diag::OutputDebugString(QStringLiteral("Load MicArray lib fail"));
    if (!micArrayPresent)
        diag::OutputDebugString(QStringLiteral("Can not get MicArray"));
    LoadSkinBitmaps();
    SetModeLabels();
    SetButtonBitmaps();
    LayOutControls();
    mute.InitMuteButton(muteButton, this);
    UnmuteAfterInterruptedRecording();
    volumeSlider->setRange(0, 7);
    volumeSlider->setValue(mute.VolumeToSliderLevel());
    positionSlider->setRange(0, 1000);
    // A click on the track moves a fifth; an arrow key a hundredth.
    positionSlider->setPageStep(1000 / 5);
    positionSlider->setSingleStep(1000 / 100);
    positionSlider->setValue(0);
    library::BuildMediaPaths(paths, mediaLibrary);
    wholeFrame = wholeFrameControl;
    leftFrame = leftHalfFrame;
    rightFrame = rightHalfFrame;
    faceDetect.Bind(this);
    InitPictureDisplay();
    RestoreSavedMode();
    return true;
}

QImage MainDlg::LoadSkinResource(int id) const
{
    return QImage(QStringLiteral(":/skin/%1.png").arg(id));
}

void MainDlg::LoadSkinBitmaps()
{
    for (size_t i = 0; i < kSkinIds.size(); ++i) {
        skinBitmaps[i] = LoadSkinResource(kSkinIds[i]);
        bitmapSizes[i] = skinBitmaps[i].size();
    }
}

QSize MainDlg::SkinSize(int id) const
{
    for (size_t i = 0; i < kSkinIds.size(); ++i)
        if (kSkinIds[i] == id)
            return bitmapSizes[i];
    return {};
}

void MainDlg::SetModeLabels()
{
    const std::array<const char *, 5> texts = {"Solo", "Conference", "Video", "Video Tracing", "Photo"};
    for (size_t i = 0; i < modeLabels.size(); ++i) {
        modeLabels[i]->SetLabelText(QLatin1String(texts[i]));
        modeLabels[i]->SetTransparent(true);
        modeLabels[i]->SetTextColour(CLabel::FromColorRef(0x00FF0000));
    }
}

void MainDlg::SetButtonBitmaps()
{
    struct Faces {
        CHoverButton *button;
        int normal, hover, pressed;
    };
    const Faces faces[] = {
        {soloButton, 300, 300, 162},       {conferenceButton, 301, 301, 148},
        {videoTracingButton, 303, 303, 168}, {videoButton, 302, 302, 166},
        {photoButton, 155, 155, 156},      {backwardButton, 146, 146, 145},
        {stopButton, 164, 164, 163},       {playButton, 158, 158, 210},
        {forwardButton, 178, 178, 179},    {recordButton, 160, 160, 159},
        {volumeUpButton, 154, 154, 153},   {volumeDownButton, 150, 150, 149},
        {deviceMenuButton, 141, 141, 177}, {shareMenuButton, 143, 143, 144},
        {backdropButton, 139, 139, 139},   {muteButton, 170, 170, 208},
    };
    for (const Faces &f : faces)
        f.button->LoadBitmaps(f.normal, f.hover, f.pressed);
}

void MainDlg::LayOutControls()
{
    // Each control is raised as it is placed, so later rows lie above earlier ones.
    auto place = [](QWidget *w, int x, int y, QSize size) {
        w->setGeometry(x, y, size.width(), size.height());
        w->raise();
    };
    const std::array<CHoverButton *, 5> modes = {soloButton, conferenceButton, videoButton, videoTracingButton,
                                                 photoButton};
    const std::array<int, 5> modeBitmaps = {300, 301, 302, 303, 155};
    for (int i = 0; i < 5; ++i)
        place(modes[i], 215 + 70 * i, 10, SkinSize(modeBitmaps[i]));
    const std::array<int, 5> labelX = {230, 283, 367, 417, 507};
    for (int i = 0; i < 5; ++i)
        place(modeLabels[i], labelX[i], 60, QSize(70, 50));
    const std::array<CHoverButton *, 5> transport = {backwardButton, stopButton, recordButton, playButton,
                                                     forwardButton};
    const std::array<int, 5> transportBitmaps = {146, 164, 160, 158, 178};
    for (int i = 0; i < 5; ++i)
        place(transport[i], 170 + 30 * i, 375, SkinSize(transportBitmaps[i]));
    place(volumeDownButton, 360, 375, SkinSize(150));
    place(volumeUpButton, 470, 375, SkinSize(154));
    place(spareButton, 380, 375, SkinSize(207));
    place(volumeSlider, 380, 375, QSize(90, 20));
    place(muteButton, 335, 375, SkinSize(170));
    place(backdropButton, 160, 368, SkinSize(139));
    place(deviceMenuButton, 510, 365, SkinSize(141));
    place(shareMenuButton, 560, 365, SkinSize(143));
    place(positionSlider, 160, 340, QSize(430, 15));
    const QSize video = SkinSize(ids::kVideoAreaBitmap);
    place(audioPicture, 160, 80, video);
    place(logo, 33, 5, SkinSize(ids::kLogoBitmap));
    place(thumbnailList, 11, 116, QSize(139, 279));
    place(wholeFrameControl, 160, 80, video);
    place(leftHalfFrame, 160, 80, QSize(video.width() / 2, video.height()));
    place(rightHalfFrame, 160 + video.width() / 2, 80, QSize(video.width() / 2, video.height()));
    // The backdrop is a disabled picture behind the transport buttons; drawn
    // above them it would hide the very buttons it frames.
    backdropButton->lower();
    audioPicture->setPixmap(QPixmap::fromImage(skinBitmaps[15]));
    logo->setPixmap(QPixmap::fromImage(skinBitmaps[19]));
}

void MainDlg::InitPictureDisplay()
{
    pictureRect = audioPicture->contentsRect();
    picture.MeasureForDevice(audioPicture);
}

void MainDlg::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    if (background.isNull())
        OnSize();
}

void MainDlg::OnSize()
{
    QImage loaded = LoadSkinResource(ids::kBackgroundBitmap);
    if (loaded.isNull()) {
        ui::InformationBox(this, QStringLiteral("Error loading bitmap"));
        return;
    }
    background = loaded;
    QScreen *screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->geometry() : QRect(0, 0, kWindowWidth, kWindowHeight);
    setFixedSize(kWindowWidth, kWindowHeight);
    move(area.x() + area.width() / 2 - background.width() / 2, area.y() + area.height() / 2 - background.height() / 2);
    raise();
}

void MainDlg::paintEvent(QPaintEvent *event)
{
    if (!background.isNull()) {
        QPainter painter(this);
        painter.drawImage(QRect(0, 0, kWindowWidth, kWindowHeight), background,
                          QRect(0, 0, kWindowWidth, kWindowHeight));
    }
    QDialog::paintEvent(event);
    // The whole frame is a child window: the shown photo is drawn again by
    // its own layer, which an expose of the dialog repaints with it.
    if (pictureLayer_ && mode == Photo && activity == Playing)
        pictureLayer_->update();
}

void MainDlg::keyPressEvent(QKeyEvent *event)
{
    // Neither Enter nor Escape closes the dialog; only WM_CLOSE does.
    switch (event->key()) {
    case Qt::Key_F1: // WM_HELP: F1 anywhere in the dialog
        OnHelp();
        event->accept();
        return;
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        event->accept();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}

void MainDlg::done(int result)
{
    if (!destroyed_)
        OnDestroy();
    QDialog::done(result);
}

void MainDlg::customEvent(QEvent *event)
{
    if (event->type() == mixer::MixerControlChangeEvent::Type()) {
        const auto *change = static_cast<mixer::MixerControlChangeEvent *>(event);
        OnMixerControlChange(change->Mixer(), change->ControlId());
        return;
    }
    if (event->type() == media::GraphNotifyEvent::Type()
        && static_cast<media::GraphNotifyEvent *>(event)->Message() == ids::kGraphNotify) {
        OnGraphEvent();
        return;
    }
    QDialog::customEvent(event);
}

void MainDlg::OnDestroy()
{
    destroyed_ = true;
    if (mode >= 0)
        SaveModeState(static_cast<std::uint32_t>(mode));
    StopEverything();
    mediaLibrary.micArrayModule.reset();
    if (sessionNotifier_)
        sessionNotifier_->Unregister();
    if (frameWindow)
        QMetaObject::invokeMethod(frameWindow, &QWidget::close, Qt::QueuedConnection);
}

bool MainDlg::OnHelp()
{
    QString path;
    if (const auto folder = shell::ProgramFilesFolder())
        path = QStringLiteral("%1/%2/%3").arg(*folder, QStringLiteral("Talvora"), QStringLiteral("Talvora Help.mht"));
    else
        diag::OutputDebugString(QStringLiteral("Can't get program files folder path"));
    shell::OpenWithDefaultHandler(path);
    return true;
}

CHoverButton *MainDlg::ModeButton(int m) const
{
    switch (m) {
    case Solo: return soloButton;
    case Conference: return conferenceButton;
    case Video: return videoButton;
    case VideoTracing: return videoTracingButton;
    case Photo: return photoButton;
    default: return nullptr;
    }
}

QWidget *MainDlg::ControlById(int id) const
{
    return findChild<QWidget *>(ControlName(id), Qt::FindDirectChildrenOnly);
}

void MainDlg::Redraw(CHoverButton *button)
{
    button->repaint();
}
