#pragma once
// Finding the camera and the microphone: the first device the system device
// enumerator lists that has a name and can be bound becomes a capture filter
// in the caller's graph. A missing class of device is told to the user once
// per search and answered with S_FALSE, on which callers stop silently.
//
// The search fills an owner's members: its graph receives the filter and its
// camera (or microphone) member holds it. Call it either with the members
//
//     FindVideoDevice(graph, &camera, window);
//
// or with the owner object itself, any class with public members named
// `graph` (std::shared_ptr<media::IGraphBuilder>) and `camera` / `microphone`
// (std::shared_ptr<media::IBaseFilter>):
//
//     FindVideoDevice(*this, window);        // VideoRecorder, PhotoPreview, DeviceSettings
//     FindAudioDevice(*this, window);        // VideoRecorder, DeviceSettings
//     FindMicrophoneByName(*this, QString()); // AudioRecorder
//
// window owns the "not detected" message box (may be null).
#include "platform/media/interfaces.h"
#include "platform/status/hresult.h"

#include <QString>
#include <memory>

class QWidget;

// Camera: the first qualifying video input device, added as "Capture Filter".
// S_FALSE after "Webcam device is not detected.!" when there is none at all;
// the failing code (no message) when devices exist but none can be bound;
// E_POINTER without a graph or an out place.
HRESULT FindVideoDevice(const std::shared_ptr<media::IGraphBuilder> &graph,
                        std::shared_ptr<media::IBaseFilter> *camera, QWidget *window = nullptr);

// Microphone: the same for audio input devices, added as "Audio Capture Filter";
// "Microphone device is not detected.!" when there is none.
HRESULT FindAudioDevice(const std::shared_ptr<media::IGraphBuilder> &graph,
                        std::shared_ptr<media::IBaseFilter> *microphone, QWidget *window = nullptr);

// The audio recorder's microphone: the first bindable audio input device whose
// friendly name equals wanted (exact, case-sensitive; an empty wanted name
// takes any), added under its friendly name. E_ABORT when devices exist but
// none has that name; S_FALSE after the message when there is none at all.
HRESULT FindMicrophoneByName(const std::shared_ptr<media::IGraphBuilder> &graph,
                             std::shared_ptr<media::IBaseFilter> *microphone, const QString &wanted,
                             QWidget *window = nullptr);

// Switches the microphone's input selector to the line whose name contains
// text ("Microphone"): of the filter's input pins named with text that carry
// an input-mixer interface, the one already active is kept, else the first
// one plugged in is enabled. E_NOINTERFACE without a microphone filter; S_OK
// when the filter has no such line (nothing to switch).
HRESULT EnableMicrophoneInput(const std::shared_ptr<media::IBaseFilter> &microphone, const QString &text);

template <class Owner>
    requires requires(Owner &o) { o.graph; o.camera; }
HRESULT FindVideoDevice(Owner &owner, QWidget *window = nullptr)
{
    return FindVideoDevice(owner.graph, &owner.camera, window);
}

template <class Owner>
    requires requires(Owner &o) { o.graph; o.microphone; }
HRESULT FindAudioDevice(Owner &owner, QWidget *window = nullptr)
{
    return FindAudioDevice(owner.graph, &owner.microphone, window);
}

template <class Owner>
    requires requires(Owner &o) { o.graph; o.microphone; }
HRESULT FindMicrophoneByName(Owner &owner, const QString &wanted, QWidget *window = nullptr)
{
    return FindMicrophoneByName(owner.graph, &owner.microphone, wanted, window);
}
