#pragma once
// The speakers of the user's sound server (PulseAudio or PipeWire's pulse
// server) as one mixer: a volume control and a mute control on the default
// sink. The connection lives on libpulse's own thread and comes back by itself
// when the server restarts; every request from the caller's thread is bounded
// in time, so a dead or stuck server gives a failure, never a hang.
//
// Changes on the server (either control, the default sink switching, a
// reconnection) are posted to the notification target as
// MixerControlChangeEvent. The target must outlive the mixer.
//
// Usage:
//   mixer::PulseMixer speakers(dialog);
//   if (speakers.WaitConnected(std::chrono::milliseconds(500)))
//       if (auto sink = speakers.DefaultSink()) ... sink->volume ...
#include <QObject>
#include <QString>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>

namespace mixer {

// The default sink as one speaker line.
struct SpeakerLine {
    QString name;
    QString description;
    std::uint32_t volume = 0; // average over the channels
    bool mute = false;
    bool hasVolume = false;   // at least one channel
};

class PulseMixer {
public:
    // Ids of the two controls, as the change notification names them.
    static constexpr std::uint32_t kVolumeControlId = 1;
    static constexpr std::uint32_t kMuteControlId = 2;
    // The sink's nominal 100 % (PA_VOLUME_NORM).
    static constexpr std::uint32_t kNominalVolume = 0x10000;

    // Starts connecting at once; notifyTarget may be null (no notifications).
    explicit PulseMixer(QObject *notifyTarget = nullptr);
    ~PulseMixer();
    PulseMixer(const PulseMixer &) = delete;
    PulseMixer &operator=(const PulseMixer &) = delete;

    // Unique per mixer made in this process; what notifications carry.
    std::uint64_t Id() const;
    // Waits at most bound for the first connection attempt to end.
    bool WaitConnected(std::chrono::milliseconds bound);
    bool Connected() const;

    // Empty when the server cannot be reached or has no default sink.
    std::optional<SpeakerLine> DefaultSink();
    // Sets the average of the default sink's channels to volume, keeping the
    // balance; no channel goes above kNominalVolume. A volume equal to the
    // current average is not written.
    bool SetDefaultSinkVolume(std::uint32_t volume);
    bool SetDefaultSinkMute(bool mute);

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

} // namespace mixer
