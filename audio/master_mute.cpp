#include "audio/master_mute.h"

bool MasterMute::InitMuteButton(QAbstractButton *button, QObject *)
{
    button_ = button;
    return false;
}

bool MasterMute::GetMuteValue(bool *value)
{
    if (value)
        *value = muted;
    return false;
}

bool MasterMute::SetMuteValue(bool value)
{
    // The mixer is not driven yet; only the remembered state changes.
    muted = value;
    return false;
}

void MasterMute::MuteOn()
{
    muted = true;
    SetMuteValue(true);
}

void MasterMute::MuteOff()
{
    muted = false;
    SetMuteValue(false);
}
std::uint32_t MasterMute::GetMasterVolume() { return 0xFFFFFFFFu; }
std::uint32_t MasterMute::SetMasterVolume(std::uint32_t) { return 0; }
std::uint32_t MasterMute::GetVolumeStep() { return 0; }
