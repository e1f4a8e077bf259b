#pragma once
// GStreamer's device providers of the process. A provider is started by the
// first search that needs it and kept running until the process ends: a
// started provider keeps its list current (a camera plugged in, a PulseAudio
// source added, the user's default input changed), so a search is a look at
// that list, not a new probe of every device or a new sound-server
// connection. Its one-off probe is used only by providers that cannot be
// started that way; PulseAudio's probe leaves its connection unfreed on every
// call. A provider that fails to start (no sound server yet) is tried again
// by the next search.
#include <gst/gst.h>

#include <memory>
#include <vector>

namespace devices {

class DeviceProviders {
public:
    // The one set of the process.
    static DeviceProviders &Instance();
    ~DeviceProviders();

    // The devices of the class ("Video/Source", "Audio/Source") from every
    // provider of it, in the providers' order of rank, leaving out the
    // providers another one hides (PulseAudio's hide ALSA's). Each device
    // carries a reference for the caller.
    std::vector<GstDevice *> Devices(const char *deviceClass);

private:
    DeviceProviders() = default;
    struct Provider;
    Provider &ProviderOf(GstDeviceProviderFactory *factory);

    std::vector<std::unique_ptr<Provider>> providers_;
};

} // namespace devices
