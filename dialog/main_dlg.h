#pragma once
// MainDlg: the program's only visible window. It owns every engine and every
// control; its handlers are split over the files of dialog/ by concern.
#include "audio/master_mute.h"
#include "capture/audio_recorder.h"
#include "capture/device_settings.h"
#include "capture/photo_preview.h"
#include "capture/video_recorder.h"
#include "dialog/app_kit.h"
#include "dialog/mode.h"
#include "dialog/session.h"
#include "imaging/picture.h"
#include "library/disk_space_watch.h"
#include "library/interrupted_recordings.h"
#include "library/mail_attachment.h"
#include "library/media_library.h"
#include "library/media_paths.h"
#include "library/uploader_handoff.h"
#include "playback/audio_player.h"
#include "playback/video_player.h"
#include "tracking/face_detect.h"
#include "tracking/tracking_engine.h"
#include "tracking/tracking_wake.h"

#include <QDialog>
#include <QImage>
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>

class CHoverButton;
class CLabel;
class CMySliderControl;
class CRecordingIndicator;
class QLabel;
class QSlider;
class QTimer;
namespace session {
class SessionNotifier;
} // namespace session
namespace ui {
class ImageList;
class ListView;
} // namespace ui

// Where stored photos are drawn: the client rectangle of the audio picture.
extern QRect pictureRect;
// True while a Record command is in progress or in its one-second hold.
extern bool recordBusy;
// False while the console session is switched away; gates suspend and resume.
extern bool consoleAttached;

class MainDlg : public QDialog {
    Q_OBJECT
public:
    explicit MainDlg(QWidget *parent = nullptr);
    ~MainDlg() override;

    // WM_INITDIALOG: everything the window needs before it is shown.
    bool OnInitDialog();

    // Mode controller.
    void OnSolo();
    void OnConference();
    void OnVideo();
    void OnVideoTracing();
    void OnPhoto();
    void RestoreSavedMode();
    void StopEverything();
    void UseAudioLayout();
    void UseVideoLayout();
    void ClearModeButtons();
    void SaveModeState(std::uint32_t value);
    std::uint32_t LoadModeState();

    // Transport commands.
    void OnRecord();
    void OnStop();
    void OnPlay();
    void OnForward();
    void OnBackward();
    // True when the notification's result was set (false on the early returns).
    bool OnListDoubleClick();
    void OnTimer(unsigned id);
    void OnHScroll(int code, int position, QObject *control);
    int OnGraphEvent();

    // Transport operations, also used by the mode controller and the session handlers.
    // True when the recording (or the snapshot) started.
    bool StartRecordingForMode();
    void StopRecording();
    void ReleaseRecordingEngine();
    void FinishRecording();
    HRESULT PlayFileInMode(const QString &path);
    void PausePlayback();
    void ResumePlayback();
    void StopPlayback();
    void StopPlaybackAndRestorePreview();
    void UnmuteAfterRecording();

    // Session and power events.
    long OnSessionChange(unsigned event, unsigned sessionId);
    long OnPowerBroadcast(unsigned event, long data);
    void StopActivity();
    void StopAllEngines();

    // Keeping recordings safe: the overlay and the disk watch run with every
    // recording; interrupted captures are repaired off this thread.
    bool RoomToRecord();
    void UnmuteAfterInterruptedRecording();
    void BeginRecordingWatch();
    void EndRecordingWatch();
    void RepairCutShort();
    void TellOfRemovedFolder();
    void OnRecordingMustStop(library::DiskSpaceWatch::Reason reason);
    void RepairInterrupted(const QStringList &folders);
    void OnRepairsDone(int repaired);
    CRecordingIndicator *RecordingIndicator() const { return recordingIndicator_; }
    library::DiskSpaceWatch &DiskWatch() { return diskWatch_; }
    bool RepairsBusy() const { return repairs_.Busy(); }
    // logind named the program's session and its changes are followed.
    bool FollowsSession() const;

    // Tracking loops: false when no loop was started (incomplete detector
    // binding, no thread) or, for the stops, when none was held.
    bool StartLiveTracking();
    bool StopLiveTracking();
    bool StartPlaybackTracking();
    bool StopPlaybackTracking();

    // The stored photo shown in the whole view (photo mode's Play): draws
    // `picture` there and keeps it across exposes, until cleared.
    void DrawPictureInWholeFrame();
    void ClearPictureFromWholeFrame();

    // Menus.
    void OnDeviceMenu();
    void OnWebcamProperty();
    void OnMicrophoneProperty();
    void OnListRightClick(const QPoint &globalPos);
    void OnDeleteSelected();
    QStringList FilesInUse() const;
    void OnShareMenu();
    void OnAttachToMail();
    void OnUploadToFlickr();

    // Volume and mute.
    void OnVolumeDown();
    void OnVolumeUp();
    void OnVolumeSliderReleased();
    long OnMixerControlChange(std::uint64_t mixer, std::uint32_t controlId);
    void OnMuteButton();

    // WM_HELP.
    bool OnHelp();

    // Accessors for tests and the application object.
    int CurrentMode() const { return mode; }
    int CurrentActivity() const { return activity; }
    CHoverButton *ModeButton(int m) const;
    QWidget *ControlById(int id) const;
    ui::ListView *ThumbnailList() const { return thumbnailList; }
    const library::MediaPaths &Paths() const { return paths; }
    bool BackgroundLoaded() const { return !background.isNull(); }
    bool MicArrayPresent() const { return micArrayPresent; }

    QWidget *frameWindow = nullptr;

protected:
    // Skin bitmaps come from the embedded resources; tests override this.
    virtual QImage LoadSkinResource(int id) const;

    void customEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    // Paints the shown photo over the whole frame's video (picture_display.cpp).
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void done(int result) override;

private:
    void CreateControls();
    void ConnectCommands();
    void LoadSkinBitmaps();
    void SetModeLabels();
    void SetButtonBitmaps();
    void LayOutControls();
    void InitPictureDisplay();
    void OnSize();
    void OnDestroy();
    void EnterMode(int newMode);
    void SwitchTo(int m);
    void StartLiveView(int m);
    void UseLayout(bool audio);
    bool StartTracking(std::unique_ptr<std::thread> *thread, std::atomic<bool> *finished,
                       std::unique_ptr<TrackingEngine> engine, const char *threadName);
    bool StopTracking(std::unique_ptr<std::thread> *thread, const std::atomic<bool> &finished);
    QSize SkinSize(int id) const;
    void Redraw(CHoverButton *button);
    void SetButtonLatched(CHoverButton *button, bool latched);
    void RestoreLiveView(bool useMicArray);
    void StopLiveTrackingAndClear();
    void StopPlaybackTrackingAndClear();
    void FinishRecordingAndSelectLast();
    HRESULT PlayVideoFile(const QString &path);
    void StartPlayTimer();
    void MoveSelection(bool forward);
    void StepVolume(int direction);
    void UnmuteUnlessRecording();
    void UserSetTheMute();

public:
    // Members in declaration order.
    CHoverButton *soloButton = nullptr;
    CHoverButton *conferenceButton = nullptr;
    CHoverButton *videoTracingButton = nullptr;
    CHoverButton *videoButton = nullptr;
    CHoverButton *photoButton = nullptr;
    CHoverButton *backwardButton = nullptr;
    CHoverButton *stopButton = nullptr;
    CHoverButton *playButton = nullptr;
    CHoverButton *forwardButton = nullptr;
    CHoverButton *recordButton = nullptr;
    QWidget *rightHalfFrame = nullptr;
    QWidget *leftHalfFrame = nullptr;
    QWidget *wholeFrameControl = nullptr;
    QSlider *positionSlider = nullptr;
    CHoverButton *volumeUpButton = nullptr;
    CHoverButton *volumeDownButton = nullptr;
    CMySliderControl *volumeSlider = nullptr;
    CHoverButton *deviceMenuButton = nullptr;
    CHoverButton *shareMenuButton = nullptr;
    CHoverButton *backdropButton = nullptr;
    CHoverButton *spareButton = nullptr;
    CHoverButton *muteButton = nullptr;
    QLabel *audioPicture = nullptr;
    QLabel *logo = nullptr;
    std::array<CLabel *, 5> modeLabels{};
    library::MediaLibrary mediaLibrary;
    AudioPlayer audioPlayer;
    AudioRecorder audioRecorder;
    VideoPlayer videoPlayer;
    VideoRecorder videoRecorder;
    PhotoPreview photoPreview;
    DeviceSettings deviceSettings;
    CPicture picture;
    MasterMute mute;
    std::uint32_t lastMasterVolume = 0;
    CSession session;
    bool mutedBeforeRecording = false;
    int activity = Idle;
    int mode = -1; // no mode until RestoreSavedMode enters one
    library::MediaPaths paths;
    QString currentFilePath;
    unsigned playTimerId = 0;
    QWidget *wholeFrame = nullptr;
    QWidget *leftFrame = nullptr;
    QWidget *rightFrame = nullptr;
    bool micArrayPresent = false;
    std::array<QSize, 22> bitmapSizes{};
    QImage background;
    std::array<QImage, 22> skinBitmaps{};
    std::unique_ptr<std::thread> playbackTrackingThread;
    std::unique_ptr<std::thread> liveTrackingThread;
    CFaceDetect faceDetect;
    std::atomic<bool> trackingRun{false};
    TrackingWake trackingWake;
    std::atomic<bool> liveTrackingFinished{true};
    std::atomic<bool> playbackTrackingFinished{true};
    std::int32_t detectorInitialised = 0;
    media::BITMAPINFOHEADER streamHeader{};
    std::int32_t detectorWidth = 0, detectorHeight = 0;
    ui::ListView *thumbnailList = nullptr;
    std::unique_ptr<ui::ImageList> imageList;
    CAppKit kit;
    // Sharing: mail hand-offs still waiting for the mail client end with the dialog.
    library::MailAttachment mailAttachment;
    library::UploaderHandoff uploader;

private:
    bool destroyed_ = false;
    bool modeEntered_ = false;
    // The position timer (id 100) and the one-second Record hold; both run on
    // the event loop so the live picture keeps being painted.
    QTimer *playTimer_ = nullptr;
    QTimer *recordHold_ = nullptr;
    CRecordingIndicator *recordingIndicator_ = nullptr;
    library::DiskSpaceWatch diskWatch_;
    library::InterruptedRecordings repairs_;
    // Above the whole frame's video windows while a stored photo is shown.
    QWidget *pictureLayer_ = nullptr;
    // Last member: gone first, so no session event reaches a dialog being torn down.
    std::unique_ptr<session::SessionNotifier> sessionNotifier_;
};
