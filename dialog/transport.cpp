// MainDlg: the transport (Record, Stop, Play, Forward, Backward, the list's
// double-click, the position slider and timer, the players' end-of-file).
#include "dialog/main_dlg.h"

#include "controls/hover_button.h"
#include "dialog/control_ids.h"
#include "platform/diag/diagnostics.h"
#include "platform/settings/settings_store.h"
#include "platform/ui/list_view.h"
#include "platform/ui/message_box.h"

#include <QSlider>
#include <QTimer>
#include <cmath>

bool recordBusy = false;

namespace {

constexpr int kRecordHoldMs = 1000;
constexpr int kPlayTimerMs = 100;

bool IsPlaybackActivity(int activity)
{
    return activity == Playing || activity == PlaybackEnded || activity == Paused;
}

// Slider position 0..1000 of position p in length d, truncated; -1 when the
// length gives no position (an empty or unknown length would divide by zero).
int SliderPosition(double p, double d)
{
    if (!(d > 0.0) || !std::isfinite(p) || !std::isfinite(d))
        return -1;
    const double v = std::trunc(p * 1000.0 / d);
    return static_cast<int>(std::clamp(v, 0.0, 1000.0));
}

} // namespace

void MainDlg::SetButtonLatched(CHoverButton *button, bool latched)
{
    button->SetLatched(latched);
    Redraw(button);
}

void MainDlg::StopLiveTrackingAndClear()
{
    if (!liveTrackingThread)
        return;
    StopLiveTracking();
    // The stop joins and clears the handle; one still joinable is kept, as
    // dropping it would end the process.
    if (liveTrackingThread && !liveTrackingThread->joinable())
        liveTrackingThread.reset();
}

void MainDlg::StopPlaybackTrackingAndClear()
{
    if (!playbackTrackingThread)
        return;
    StopPlaybackTracking();
    if (playbackTrackingThread && !playbackTrackingThread->joinable())
        playbackTrackingThread.reset();
}

// The mode's idle view again after a recording or a playback.
void MainDlg::RestoreLiveView(bool useMicArray)
{
    switch (mode) {
    case Video:
        videoRecorder.StartPreview(wholeFrame, leftFrame, rightFrame, false);
        break;
    case VideoTracing: {
        const HRESULT hr = videoRecorder.StartPreview(wholeFrame, leftFrame, rightFrame, useMicArray);
        if (!Failed(hr) && PreviewStarted) {
            StartLiveTracking();
            PreviewStarted = false;
        }
        break;
    }
    case Photo:
        ClearPictureFromWholeFrame();
        photoPreview.ResumePreview();
        break;
    default:
        break;
    }
}

void MainDlg::OnRecord()
{
    if (recordBusy)
        return;
    recordBusy = true;
    if (mode != Photo) {
        if (activity != Recording) {
            // A mute a recording ended by the session or a suspend left behind
            // is the program's, not the user's: this recording gives it back.
            mutedBeforeRecording = mute.IsMuted() && !settings::SettingsStore::ReadMutedForRecording();
            if (!mutedBeforeRecording) {
                mute.MuteOn();
                settings::SettingsStore::WriteMutedForRecording(true);
            }
        } else if (!mutedBeforeRecording) {
            mute.MuteOff();
        }
    }
    if (IsPlaybackActivity(activity))
        StopPlaybackAndRestorePreview();
    if (activity != Recording) {
        // A refused start (no room, no device) after a playback was stopped
        // leaves no player: the dialog is idle with the live view back.
        if (!StartRecordingForMode() && IsPlaybackActivity(activity))
            activity = Idle;
    } else
        FinishRecording();
    mediaLibrary.RefreshThumbnails(mode, this);
    mediaLibrary.SelectLastItem();
    // The hold runs on the event loop: a second Record press meanwhile is
    // dropped, while the views go on painting.
    recordHold_->start(kRecordHoldMs);
}

bool MainDlg::StartRecordingForMode()
{
    HRESULT hr = S_OK;
    // Without a camera there was no live view to give back on a failed start
    // (and trying again would repeat the device message).
    const bool liveViewRan = videoRecorder.running;
    if (!RoomToRecord()) {
        UnmuteAfterRecording();
        return false;
    }
    switch (mode) {
    case Solo:
        hr = audioRecorder.StartRecording(paths.audioSoloFolder, micArrayPresent);
        break;
    case Conference:
        hr = audioRecorder.StartRecording(paths.audioConferenceFolder, false);
        break;
    case Video:
        videoRecorder.ReleaseGraph();
        hr = videoRecorder.StartRecording(paths.videoFolder, wholeFrame, leftFrame, rightFrame, false);
        break;
    case VideoTracing:
        StopLiveTrackingAndClear();
        videoRecorder.ReleaseGraph();
        hr = videoRecorder.StartRecording(paths.tVideoFolder, wholeFrame, leftFrame, rightFrame, false);
        if (!Failed(hr) && PreviewStarted) {
            StartLiveTracking();
            PreviewStarted = false;
        }
        break;
    case Photo:
        photoPreview.TakeSnapshot(paths.photoFolder);
        activity = Idle;
        return true;
    default:
        return false;
    }
    if (!Succeeded(hr)) {
        // The engine told the user (device messages) or failed silently; either
        // way no recording exists, so the dialog does not claim one, and the
        // speakers muted for it come back (StopRecording).
        StopRecording();
        if (liveViewRan)
            RestoreLiveView(false);
        return false;
    }
    activity = Recording;
    SetButtonLatched(recordButton, true);
    BeginRecordingWatch();
    return true;
}

void MainDlg::StopRecording()
{
    UnmuteAfterRecording();
    ReleaseRecordingEngine();
    activity = Idle;
    SetButtonLatched(recordButton, false);
}

// The mode's recording engine stopped, which closes its file; the speakers
// and the Record look are the caller's. The overlay and the disk watch end
// with the engine, whoever stops it (Stop, a full disk, the session).
void MainDlg::ReleaseRecordingEngine()
{
    EndRecordingWatch();
    switch (mode) {
    case Solo:
    case Conference:
        audioRecorder.ReleaseGraph();
        break;
    case Video:
        videoRecorder.ReleaseGraph();
        break;
    case VideoTracing:
        StopLiveTrackingAndClear();
        videoRecorder.ReleaseGraph();
        break;
    default:
        break;
    }
    TellOfRemovedFolder();
    RepairCutShort();
}

void MainDlg::FinishRecording()
{
    StopRecording();
    if (mode == Video || mode == VideoTracing)
        RestoreLiveView(false);
}

// Gives the speakers back when the recording muted them (they were not muted before).
void MainDlg::UnmuteAfterRecording()
{
    if (!mutedBeforeRecording && mute.IsMuted()) {
        mute.muted = false;
        mute.SetMuteValue(false);
        muteButton->setChecked(false);
    }
    settings::SettingsStore::WriteMutedForRecording(false);
}

void MainDlg::FinishRecordingAndSelectLast()
{
    FinishRecording();
    mediaLibrary.RefreshThumbnails(mode, this);
    mediaLibrary.SelectLastItem();
}

void MainDlg::OnStop()
{
    if (IsPlaybackActivity(activity)) {
        StopPlaybackAndRestorePreview();
        mediaLibrary.RefreshThumbnails(mode, this);
    } else if (activity == Recording) {
        FinishRecordingAndSelectLast();
    }
    activity = Idle;
    positionSlider->setValue(0);
}

void MainDlg::OnPlay()
{
    if (activity == Recording)
        FinishRecordingAndSelectLast();
    QString path;
    if (!mediaLibrary.GetSelectedFilePath(mode, &path, this))
        return;
    if (activity == Idle || path != currentFilePath || activity == PlaybackEnded)
        PlayFileInMode(path);
    else if (activity == Playing)
        PausePlayback();
    else if (activity == Paused)
        ResumePlayback();
}

HRESULT MainDlg::PlayFileInMode(const QString &path)
{
    currentFilePath = path;
    HRESULT hr = S_OK;
    switch (mode) {
    case Solo:
    case Conference:
        audioPlayer.ReleaseGraph();
        hr = audioPlayer.OpenAndPlay(path, this);
        if (Failed(hr)) {
            ui::InformationBox(this, QStringLiteral("Audio Player Fail!!"));
            return hr;
        }
        break;
    case Video:
    case VideoTracing:
        hr = PlayVideoFile(path);
        if (Failed(hr))
            return hr;
        break;
    case Photo:
        photoPreview.PausePreview();
        picture.LoadFromFile(path);
        DrawPictureInWholeFrame();
        break;
    default:
        return E_FAIL;
    }
    StartPlayTimer();
    SetButtonLatched(playButton, true);
    activity = Playing;
    return hr;
}

HRESULT MainDlg::PlayVideoFile(const QString &path)
{
    const bool liveViewRan = videoRecorder.running;
    if (mode == VideoTracing)
        StopLiveTrackingAndClear();
    videoRecorder.ReleaseGraph();
    if (mode == VideoTracing)
        StopPlaybackTrackingAndClear();
    videoPlayer.ReleaseGraph();
    const HRESULT hr = videoPlayer.PlayFile(this, wholeFrame, leftFrame, rightFrame, path);
    if (Failed(hr)) {
        ui::InformationBox(this, mode == Video ? QStringLiteral("Video Player Fail!!")
                                               : QStringLiteral("Tracing Video Player Fail!!"));
        // A file that cannot be played must not leave the camera dark: nothing
        // else (Stop included, from Idle) would ever start it again.
        if (liveViewRan)
            RestoreLiveView(false);
        return hr;
    }
    if (mode == VideoTracing)
        StartPlaybackTracking();
    return hr;
}

void MainDlg::StartPlayTimer()
{
    playTimer_->start(kPlayTimerMs);
    playTimerId = ids::kPlayTimer;
}

void MainDlg::PausePlayback()
{
    // A player without a graph (its last start failed) refuses the pause like
    // a media control would.
    switch (mode) {
    case Solo:
    case Conference:
        if (!audioPlayer.mediaControl || Failed(audioPlayer.mediaControl->Pause()))
            diag::OutputDebugString(QStringLiteral("Pause fail"));
        else
            audioPlayer.paused = 1;
        activity = Paused;
        break;
    case Video:
    case VideoTracing:
        if (!videoPlayer.mediaControl || Failed(videoPlayer.mediaControl->Pause()))
            diag::OutputDebugString(QStringLiteral("Pause fail"));
        else
            videoPlayer.paused = 1;
        if (playbackTrackingThread)
            StopPlaybackTracking();
        activity = Paused;
        break;
    case Photo:
        ClearPictureFromWholeFrame();
        photoPreview.ResumePreview();
        activity = Idle;
        break;
    default:
        break;
    }
    SetButtonLatched(playButton, false);
}

void MainDlg::ResumePlayback()
{
    switch (mode) {
    case Solo:
    case Conference:
        if (!audioPlayer.mediaControl || Failed(audioPlayer.mediaControl->Run()))
            diag::OutputDebugString(QStringLiteral("Run fail"));
        else
            audioPlayer.paused = 0;
        break;
    case Video:
        if (!videoPlayer.mediaControl || Failed(videoPlayer.mediaControl->Run()))
            diag::OutputDebugString(QStringLiteral("Run fail"));
        else
            videoPlayer.paused = 0;
        break;
    case VideoTracing:
        videoPlayer.Resume();
        StartPlaybackTracking();
        break;
    default:
        break;
    }
    SetButtonLatched(playButton, true);
    activity = Playing;
}

void MainDlg::StopPlayback()
{
    switch (mode) {
    case Solo:
    case Conference:
        audioPlayer.ReleaseGraph();
        break;
    case Video:
        videoPlayer.ReleaseGraph();
        break;
    case VideoTracing:
        StopPlaybackTracking();
        videoPlayer.ReleaseGraph();
        break;
    case Photo:
        // A shown photo must not outlive photo mode in the whole view.
        ClearPictureFromWholeFrame();
        break;
    default:
        break;
    }
    positionSlider->setValue(0);
    SetButtonLatched(playButton, false);
}

void MainDlg::StopPlaybackAndRestorePreview()
{
    if (mode != Photo)
        StopPlayback();
    // After a playback the tracing preview takes the array's microphone again.
    RestoreLiveView(micArrayPresent);
    positionSlider->setValue(0);
    SetButtonLatched(playButton, false);
}

void MainDlg::MoveSelection(bool forward)
{
    if (activity == Recording) {
        FinishRecordingAndSelectLast();
        return;
    }
    const int n = thumbnailList->GetItemCount();
    const int s = thumbnailList->GetSelectionMark();
    if (forward && s >= 0 && s < n - 1)
        mediaLibrary.SelectNextItem(s);
    else if (!forward && s > 0)
        mediaLibrary.SelectPreviousItem(n, s);
    else
        return;
    if (IsPlaybackActivity(activity))
        OnPlay();
}

void MainDlg::OnForward() { MoveSelection(true); }
void MainDlg::OnBackward() { MoveSelection(false); }

bool MainDlg::OnListDoubleClick()
{
    QString path;
    if (!mediaLibrary.GetSelectedFilePath(mode, &path, this))
        return false;
    if (activity == Recording)
        FinishRecordingAndSelectLast();
    if (activity == Playing || activity == Paused) {
        StopPlayback();
        activity = Idle;
    }
    if (activity == Idle || path != currentFilePath || activity == PlaybackEnded) {
        if (Failed(PlayFileInMode(path)))
            return false;
        activity = Playing;
    }
    return true;
}

void MainDlg::OnTimer(unsigned id)
{
    if (id != playTimerId || mode == Photo)
        return;
    double p = 0.0;
    double d = 1.0;
    if (IsAudioMode(mode)) {
        if (audioPlayer.paused)
            return;
        audioPlayer.GetPosition(&p);
        audioPlayer.GetLength(&d);
    } else {
        if (videoPlayer.paused)
            return;
        videoPlayer.GetPositionSeconds(&p);
        videoPlayer.GetDurationSeconds(&d);
    }
    const int v = SliderPosition(p, d);
    // A thumb held by the user stays where the user holds it.
    if (v >= 0 && v != positionSlider->value() && !positionSlider->isSliderDown())
        positionSlider->setValue(v);
}

void MainDlg::OnHScroll(int, int, QObject *control)
{
    if (control != positionSlider || mode == Photo)
        return;
    const int position = positionSlider->sliderPosition();
    double d = 1.0;
    if (IsAudioMode(mode)) {
        if (!audioPlayer.GetLength(&d))
            d = 1.0;
        audioPlayer.SetPosition(position * d / 1000.0);
    } else {
        if (!videoPlayer.GetDurationSeconds(&d))
            d = 1.0;
        videoPlayer.SeekToSeconds(position * d / 1000.0);
    }
}

int MainDlg::OnGraphEvent()
{
    bool ended = false;
    if (IsAudioMode(mode))
        ended = audioPlayer.HandleEvents();
    else if (mode == Video || mode == VideoTracing)
        ended = videoPlayer.CheckCompletion();
    else
        return 0;
    if (ended) {
        activity = PlaybackEnded;
        SetButtonLatched(playButton, false);
    }
    return 0;
}
