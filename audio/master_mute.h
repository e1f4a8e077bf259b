#pragma once
// MasterMute: the speakers' master mute and volume.
// Not built yet: the mixer connection comes with the volume-and-mute work;
// until then the speakers are reported unmuted at level 0 and nothing is changed.
#include <cstdint>

class QAbstractButton;
class QObject;

class MasterMute {
public:
    virtual ~MasterMute() = default;
    void InitMuteButton(QAbstractButton *button, QObject *notifyTarget);
    bool IsMuted() const { return muted; }
    void SetMuteValue(bool value);
    int VolumeToSliderLevel() const { return 0; }

    bool muted = false;

private:
    QAbstractButton *button_ = nullptr;
};
