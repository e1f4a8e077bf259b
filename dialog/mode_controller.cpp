// MainDlg: the mode controller (mode buttons, layouts, stop-everything and
// the stored mode).
#include "dialog/main_dlg.h"

#include "controls/hover_button.h"
#include "dialog/control_ids.h"
#include "platform/diag/diagnostics.h"
#include "platform/settings/settings_store.h"
#include "platform/ui/image_list.h"
#include "platform/ui/list_view.h"

#include <QLabel>
#include <QSlider>

void MainDlg::OnSolo() { EnterMode(Solo); }
void MainDlg::OnConference() { EnterMode(Conference); }
void MainDlg::OnVideo() { EnterMode(Video); }
void MainDlg::OnVideoTracing() { EnterMode(VideoTracing); }
void MainDlg::OnPhoto() { EnterMode(Photo); }

void MainDlg::EnterMode(int newMode)
{
    if (mode == newMode)
        return;
    ClearModeButtons();
    SwitchTo(newMode);
    RepairInterrupted({mediaLibrary.modeFolders[newMode]});
    mediaLibrary.RefreshThumbnails(newMode, this);
    mediaLibrary.SelectFirstItem();
}

// Latches the mode's button, switches the layout (which stops everything),
// starts the mode's live view and makes it the current mode.
void MainDlg::SwitchTo(int m)
{
    ModeButton(m)->SetLatched(true);
    if (IsAudioMode(m))
        UseAudioLayout();
    else
        UseVideoLayout();
    StartLiveView(m);
    mode = m;
}

// The live view a mode runs while idle.
void MainDlg::StartLiveView(int m)
{
    switch (m) {
    case Video:
        videoRecorder.StartPreview(wholeFrame, leftFrame, rightFrame, false);
        break;
    case VideoTracing: {
        const HRESULT hr = videoRecorder.StartPreview(wholeFrame, leftFrame, rightFrame, false);
        if (!Failed(hr) && PreviewStarted) {
            StartLiveTracking();
            PreviewStarted = false;
        }
        break;
    }
    case Photo:
        photoPreview.StartPhotoPreview(wholeFrame);
        break;
    default:
        break;
    }
}

void MainDlg::RestoreSavedMode()
{
    mediaLibrary.Bind(thumbnailList, imageList.get(), &paths);
    ClearModeButtons();
    std::uint32_t stored = LoadModeState();
    // A stored value that names no mode starts the program in Solo.
    if (stored >= static_cast<std::uint32_t>(kModeCount))
        stored = Solo;
    SwitchTo(static_cast<int>(stored));
    RepairInterrupted(QStringList(mediaLibrary.modeFolders.begin(), mediaLibrary.modeFolders.end()));
    modeEntered_ = true;
    activity = Idle;
    recordButton->SetLatched(false);
    mediaLibrary.RefreshThumbnails(mode, this);
    if (thumbnailList->GetItemCount() > 0) {
        thumbnailList->SetItemState(1, 0, ui::ListView::kSelected | ui::ListView::kFocused);
        thumbnailList->SetSelectionMark(0);
        thumbnailList->SetItemState(0, ui::ListView::kSelected | ui::ListView::kFocused,
                                    ui::ListView::kSelected | ui::ListView::kFocused);
    }
}

void MainDlg::ClearModeButtons()
{
    for (int m = 0; m < kModeCount; ++m)
        ModeButton(m)->SetLatched(false);
}

void MainDlg::UseAudioLayout() { UseLayout(true); }
void MainDlg::UseVideoLayout() { UseLayout(false); }

void MainDlg::UseLayout(bool audio)
{
    thumbnailList->SetImageList(nullptr);
    imageList = audio ? std::make_unique<ui::ImageList>(65, 69) : std::make_unique<ui::ImageList>(87, 65);
    mediaLibrary.Bind(thumbnailList, imageList.get(), &paths);
    thumbnailList->SetImageList(imageList.get());
    thumbnailList->SetIconSpacing(0, audio ? 94 : 90);
    rightHalfFrame->setVisible(!audio);
    leftHalfFrame->setVisible(!audio);
    wholeFrameControl->setVisible(!audio);
    audioPicture->setVisible(audio);
    StopEverything();
}

void MainDlg::StopEverything()
{
    // Only a recording's own mute is undone: speakers the user muted stay
    // muted across start-up and mode changes.
    if (activity == Recording)
        UnmuteAfterRecording();
    switch (activity) {
    case Playing:
    case PlaybackEnded:
    case Paused:
        StopPlayback();
        break;
    case Recording:
        StopRecording();
        break;
    default:
        break;
    }
    StopAllEngines();
    activity = Idle;
    positionSlider->setValue(0);
}

void MainDlg::SaveModeState(std::uint32_t value)
{
    if (!settings::SettingsStore::WriteModeState(value))
        diag::OutputDebugString(QStringLiteral("save registry error"));
}

std::uint32_t MainDlg::LoadModeState()
{
    return settings::SettingsStore::ReadModeState().value_or(0);
}
