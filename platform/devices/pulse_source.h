#pragma once
// A PulseAudio source (a microphone) as its property dialog and the input-line
// selection see it: volume, mute and ports. The real one talks to the daemon
// with short synchronous requests, each bounded in time so a dead or missing
// daemon gives an error, never a hang.
#include <QString>
#include <memory>
#include <optional>
#include <vector>

namespace devices {

struct PulsePort {
    QString name;        // e.g. "analog-input-mic"
    QString description; // e.g. "Microphone"
    bool available = true;
};

struct PulseSourceInfo {
    QString name;
    QString description;
    int volumePercent = 0; // average over the channels, 100 = nominal
    bool mute = false;
    std::vector<PulsePort> ports;
    QString activePort;
};

class AudioSourceControl {
public:
    virtual ~AudioSourceControl() = default;
    virtual std::optional<PulseSourceInfo> Info() = 0;
    virtual bool SetVolumePercent(int percent) = 0;
    virtual bool SetMute(bool mute) = 0;
    virtual bool SetPort(const QString &portName) = 0;
};

// The source of that name on the daemon PulseAudio clients find (PULSE_SERVER
// or the user's session). Requests fail when the daemon cannot be reached.
std::unique_ptr<AudioSourceControl> OpenPulseSource(const QString &sourceName);

// The port to activate so the source takes its input from a line whose
// description contains text (case-sensitive): the active port when it already
// matches, else the first matching port that is not known to be unplugged,
// else the first matching one. Empty when no port matches.
QString ChooseInputPort(const std::vector<PulsePort> &ports, const QString &activePort,
                        const QString &text);

// Whether a PulseAudio daemon answers (tests skip on false).
bool PulseReachable();

} // namespace devices
