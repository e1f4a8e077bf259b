// MainDlg: the volume buttons, the volume slider, the mute button and the
// mixer's change notification. While a recording runs the speakers are held
// muted (the microphone would pick them up); otherwise touching the volume
// first gives the speakers back.
#include "dialog/main_dlg.h"

#include "controls/hover_button.h"
#include "controls/my_slider_control.h"
#include "platform/settings/settings_store.h"

namespace {

constexpr int kTopLevel = 7;

} // namespace

// The user took the speakers' mute in hand (button, volume, another program):
// a mute a recording left behind is no longer the program's to undo.
void MainDlg::UserSetTheMute()
{
    if (activity != Recording)
        settings::SettingsStore::WriteMutedForRecording(false);
}

void MainDlg::UnmuteUnlessRecording()
{
    if (activity == Recording || !mute.muted)
        return;
    UserSetTheMute();
    mute.muted = false;
    mute.SetMuteValue(false);
    mute.ShowMuted();
}

// One step down (-1) or up (+1) on the slider's scale.
void MainDlg::StepVolume(int direction)
{
    UnmuteUnlessRecording();
    mute.VolumeToSliderLevel();
    const int p = volumeSlider->value();
    const std::uint32_t m = mute.SetMasterVolume(mute.GetMasterVolume());
    if (direction < 0 ? p <= 0 : p >= kTopLevel)
        return;
    const int next = p + direction;
    mute.SetMasterVolume(std::uint32_t(next) * (m / kTopLevel));
    volumeSlider->setValue(next);
    lastMasterVolume = mute.GetMasterVolume();
}

void MainDlg::OnVolumeDown() { StepVolume(-1); }

void MainDlg::OnVolumeUp() { StepVolume(+1); }

void MainDlg::OnVolumeSliderReleased()
{
    UnmuteUnlessRecording();
    mute.SetMasterVolume(std::uint32_t(volumeSlider->value()) * mute.GetVolumeStep());
    // The slider says what the speakers really play, also when the write was
    // refused or the sound server has gone.
    volumeSlider->setValue(mute.VolumeToSliderLevel());
    lastMasterVolume = mute.GetMasterVolume();
}

long MainDlg::OnMixerControlChange(std::uint64_t mixer, std::uint32_t controlId)
{
    if (!mute.mixerHandle || mixer != mute.MixerId() || controlId != mute.muteControlId)
        return 0;
    bool value = false;
    if (!mute.GetMuteValue(&value))
        return 0;
    if (mute.GetMasterVolume() != lastMasterVolume) {
        volumeSlider->setValue(mute.VolumeToSliderLevel());
        lastMasterVolume = mute.GetMasterVolume();
    }
    mute.muted = value;
    mute.ShowMuted();
    Redraw(muteButton);
    if (!value)
        UserSetTheMute();
    if (activity == Recording && !mute.muted) {
        mute.muted = true;
        mute.SetMuteValue(true);
        mute.ShowMuted();
        Redraw(muteButton);
    }
    return 0;
}

void MainDlg::OnMuteButton()
{
    if (activity != Recording) {
        UserSetTheMute();
        mute.muted = !mute.muted;
        mute.SetMuteValue(mute.muted);
    }
    // A click has already flipped the check state; it must say what muted says.
    mute.ShowMuted();
    Redraw(muteButton);
}
