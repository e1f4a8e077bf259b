#pragma once
// The camera's and the microphone's own property dialogs, opened from the
// dialog's device menu. Holds a small graph of its own, separate from the
// capture graphs: its members are made on first use and kept, so opening the
// same dialog again does not look the device up again.
#include "platform/media/interfaces.h"

#include <memory>

class QWidget;

class DeviceSettings {
public:
    DeviceSettings() = default;
    ~DeviceSettings() { Release(); }
    DeviceSettings(const DeviceSettings &) = delete;
    DeviceSettings &operator=(const DeviceSettings &) = delete;

    // Finds the camera on first use (S_FALSE after "Webcam device is not
    // detected.!"), then shows its settings modally, owned by owner and titled
    // with the filter's name. Result: the code of reading the filter's
    // information; E_NOINTERFACE when the device has no settings dialog.
    HRESULT ShowWebcamProperties(QWidget *owner);
    // The same for the microphone.
    HRESULT ShowMicrophoneProperties(QWidget *owner);

    // Releases graph, capture builder, microphone and camera, in that order.
    // Safe to call twice.
    void Release();

    // Members in order; null until first used.
    std::shared_ptr<media::IGraphBuilder> graph;
    std::shared_ptr<media::ICaptureGraphBuilder2> captureBuilder;
    std::shared_ptr<media::IBaseFilter> microphone;
    std::shared_ptr<media::IBaseFilter> camera;

private:
    HRESULT ShowProperties(QWidget *owner, const std::shared_ptr<media::IBaseFilter> &filter);
};
