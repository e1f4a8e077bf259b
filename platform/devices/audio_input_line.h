#pragma once
// The input lines of a microphone (its PulseAudio source's ports, such as
// "Microphone" or "Line In") as unconnectable input pins of the capture
// filter, each with an input-mixer interface whose Enable selects that line.
#include "platform/devices/pulse_source.h"
#include "platform/media/pin.h"

#include <memory>
#include <vector>

namespace devices {

class IAMAudioInputMixer : public virtual media::IUnknown {
public:
    // TRUE makes this line the source's active input.
    virtual HRESULT put_Enable(media::BOOL enable) = 0;
    // Whether this line is the active input now.
    virtual HRESULT get_Enable(media::BOOL *enabled) = 0;
    // Whether something is plugged into the line (true when unknown).
    virtual bool Plugged() const { return true; }
};

class AudioInputLinePin : public media::Pin, public IAMAudioInputMixer {
public:
    // A line of the PulseAudio source sourceName; the pin is named after the
    // port's description.
    AudioInputLinePin(QString sourceName, PulsePort port);

    HRESULT put_Enable(media::BOOL enable) override;
    HRESULT get_Enable(media::BOOL *enabled) override;
    bool Plugged() const override { return port_.available; }
    const PulsePort &Port() const { return port_; }

private:
    QString sourceName_;
    PulsePort port_;
};

// One pin per port of the source, in the daemon's order; none when the daemon
// cannot be reached or the source has no ports.
std::vector<std::shared_ptr<media::Pin>> MakeInputLinePins(const QString &sourceName);

} // namespace devices
