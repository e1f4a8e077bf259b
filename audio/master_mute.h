#pragma once
// MasterMute: the speakers' master volume and mute on the user's sound server
// (the default sink), and the mute button that shows the mute.
//
// The volume operations work on a connection of their own, so they do not
// depend on the mute mixer; the mute mixer stays open for the life of the
// owner and posts mixer::MixerControlChangeEvent to the window given to
// InitMuteButton whenever the speakers change.
#include "platform/mixer/pulse_mixer.h"

#include <QString>
#include <cstdint>
#include <memory>
#include <optional>

class QAbstractButton;
class QObject;

class MasterMute {
public:
    // The failure value of GetMasterVolume.
    static constexpr std::uint32_t kVolumeFailed = 0xFFFFFFFFu;

    MasterMute();
    virtual ~MasterMute();
    MasterMute(const MasterMute &) = delete;
    MasterMute &operator=(const MasterMute &) = delete;

    bool InitMuteButton(QAbstractButton *button, QObject *window);
    bool OpenMuteMixer(QObject *window);
    bool FindMasterMuteControl();
    bool IsMuted() const { return muted; }
    bool GetMuteValue(bool *value);
    bool SetMuteValue(bool value);
    void MuteOn();
    void MuteOff();
    // Shows muted on the button (check state; the dialog ties the pressed look to it).
    void ShowMuted();

    std::uint32_t GetMasterVolume();
    std::uint32_t SetMasterVolume(std::uint32_t value);
    std::uint32_t GetVolumeStep();
    int VolumeToSliderLevel();

    // The slider position for volume v under maximum m (the failure value gives 0).
    static int SliderLevelFor(std::uint32_t v, std::uint32_t m);
    // The process-wide maximum remembered by the last successful SetMasterVolume.
    static std::uint32_t RememberedMaximum();

    // What a change notification must name to concern the mute control.
    std::uint64_t MixerId() const;

    // Fields in order.
    std::uint32_t deviceCount = 0;
    std::unique_ptr<mixer::PulseMixer> mixerHandle; // null when not opened
    QString deviceCaps;                             // the server's sink description; kept, not used
    bool muted = false;
    QAbstractButton *muteButton = nullptr;
    QString lineName;
    QString controlName;
    std::uint32_t muteControlId = 0;

private:
    mixer::PulseMixer &VolumeLine();
    std::optional<mixer::SpeakerLine> LookUpVolumeControl();
    std::unique_ptr<mixer::PulseMixer> volumeLine_;
};
