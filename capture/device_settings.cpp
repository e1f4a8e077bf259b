#include "capture/device_settings.h"

#include "capture/device_discovery.h"
#include "capture/graph_utils.h"
#include "platform/devices/property_pages.h"
#include "platform/media/filter.h"

HRESULT DeviceSettings::ShowWebcamProperties(QWidget *owner)
{
    if (!camera) {
        CreateCaptureGraph(&graph, &captureBuilder);
        const HRESULT hr = FindVideoDevice(*this, owner);
        if (!Succeeded(hr))
            return hr;
    }
    return ShowProperties(owner, camera);
}

HRESULT DeviceSettings::ShowMicrophoneProperties(QWidget *owner)
{
    if (!microphone) {
        CreateCaptureGraph(&graph, &captureBuilder);
        const HRESULT hr = FindAudioDevice(*this, owner);
        if (!Succeeded(hr))
            return hr;
    }
    return ShowProperties(owner, microphone);
}

HRESULT DeviceSettings::ShowProperties(QWidget *owner, const std::shared_ptr<media::IBaseFilter> &filter)
{
    std::shared_ptr<devices::ISpecifyPropertyPages> pages;
    HRESULT hr = devices::QueryPropertyPages(filter, &pages);
    if (Failed(hr))
        return hr;
    media::FILTER_INFO info;
    hr = filter->QueryFilterInfo(&info);
    devices::ShowPropertyFrame(owner, info.achName, *pages);
    return hr;
}

void DeviceSettings::Release()
{
    graph.reset();
    captureBuilder.reset();
    microphone.reset();
    camera.reset();
}
