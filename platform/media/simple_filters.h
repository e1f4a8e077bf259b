#pragma once
// Filters that are one GStreamer chain with an input and/or output pin: the
// colour space converter (videoconvert), the audio renderer
// (audioconvert ! audioresample ! autoaudiosink) and the microphone-array
// source (pulsesrc, or the configured input, ! webrtcdsp with noise
// suppression and gain control when that plugin is present).
#include "platform/media/filter.h"

#include <memory>

namespace media {

class ColourConverter final : public Filter {
public:
    static std::shared_ptr<ColourConverter> Create(HRESULT *hr);
private:
    ColourConverter();
};

class AudioRenderer final : public Filter {
public:
    static std::shared_ptr<AudioRenderer> Create(HRESULT *hr);
private:
    AudioRenderer();
};

class MicArraySource final : public Filter {
public:
    static std::shared_ptr<MicArraySource> Create(HRESULT *hr, GstElement *input);
private:
    MicArraySource();
};

} // namespace media
