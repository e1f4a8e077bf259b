#include "audio/master_mute.h"

void MasterMute::InitMuteButton(QAbstractButton *button, QObject *)
{
    button_ = button;
}

void MasterMute::SetMuteValue(bool value)
{
    // The mixer is not driven yet; only the remembered state changes.
    muted = value;
}
