#pragma once
// One search of GStreamer's device providers. Each provider of the class is
// started for the search and stopped after it: a started provider lists what
// it found with the user's default input marked, and stopping frees its
// sound-server connection. Its one-off probe is used only by providers that
// cannot be started that way: PulseAudio's probe loses its connection on
// every call and does not know the default input. A provider is not kept
// running between searches either, as PulseAudio's loses a request on every
// change the sound server reports while it runs (each volume step).
#include <gst/gst.h>

#include <vector>

namespace devices {

// The devices of the class ("Video/Source", "Audio/Source") from every
// provider of it, in the providers' order of rank, leaving out the providers
// another one hides (PulseAudio's hide ALSA's). Each device carries a
// reference for the caller.
std::vector<GstDevice *> SearchDeviceProviders(const char *deviceClass);

} // namespace devices
