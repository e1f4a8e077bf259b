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
    bool InitMuteButton(QAbstractButton *button, QObject *notifyTarget);
    bool IsMuted() const { return muted; }
    bool GetMuteValue(bool *value);
    bool SetMuteValue(bool value);
    void MuteOn();
    void MuteOff();
    std::uint32_t GetMasterVolume();
    std::uint32_t SetMasterVolume(std::uint32_t value);
    std::uint32_t GetVolumeStep();
    int VolumeToSliderLevel() { return 0; }

    bool muted = false;

private:
    QAbstractButton *button_ = nullptr;
};
