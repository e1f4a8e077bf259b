#include "platform/devices/audio_input_line.h"

namespace devices {

AudioInputLinePin::AudioInputLinePin(QString sourceName, PulsePort port)
    : media::Pin(nullptr, media::PINDIR_INPUT, port.description, nullptr),
      sourceName_(std::move(sourceName)), port_(std::move(port))
{
}

HRESULT AudioInputLinePin::put_Enable(media::BOOL enable)
{
    // A PulseAudio source has exactly one active port: lines are switched on
    // by choosing them, never switched off on their own.
    if (!enable)
        return S_OK;
    auto source = OpenPulseSource(sourceName_);
    return source->SetPort(port_.name) ? S_OK : E_FAIL;
}

HRESULT AudioInputLinePin::get_Enable(media::BOOL *enabled)
{
    if (!enabled)
        return E_POINTER;
    const auto info = OpenPulseSource(sourceName_)->Info();
    if (!info)
        return E_FAIL;
    *enabled = info->activePort == port_.name;
    return S_OK;
}

std::vector<std::shared_ptr<media::Pin>> MakeInputLinePins(const QString &sourceName)
{
    std::vector<std::shared_ptr<media::Pin>> pins;
    const auto info = OpenPulseSource(sourceName)->Info();
    if (!info)
        return pins;
    for (const PulsePort &port : info->ports)
        pins.push_back(std::make_shared<AudioInputLinePin>(info->name, port));
    return pins;
}

} // namespace devices
