#include "capture/photo_preview.h"

#include "capture/component_runtime.h"
#include "capture/device_discovery.h"
#include "capture/graph_utils.h"
#include "imaging/snapshot_writer.h"
#include "platform/media/filter.h"
#include "platform/ui/message_box.h"

#include <QThread>
#include <QWidget>

using namespace media;

namespace {

constexpr int kConnectRetries = 25;
constexpr int kConnectRetryPauseMs = 100;

QWidget *OwnerOf(QWidget *host) { return host ? host->window() : nullptr; }

AM_MEDIA_TYPE Rgb24(bool fixedSizeSamples)
{
    AM_MEDIA_TYPE mt;
    mt.majortype = MEDIATYPE_Video;
    mt.subtype = MEDIASUBTYPE_RGB24;
    if (fixedSizeSamples) {
        mt.bFixedSizeSamples = 1;
        mt.lSampleSize = 1;
    }
    return mt;
}

} // namespace

PhotoPreview::PhotoPreview() { capture::InitializeComponentRuntime(); }

PhotoPreview::~PhotoPreview() { ReleaseGraph(); }

HRESULT PhotoPreview::StartPhotoPreview(QWidget *host)
{
    hostWindow = host;
    HRESULT hr = S_OK;
    if (!graph && !captureBuilder && !Succeeded(hr = CreateCaptureGraph(&graph, &captureBuilder)))
        return hr;
    if (!camera && !Succeeded(hr = FindVideoDevice(*this, OwnerOf(host))))
        return hr;
    QueryInterface(graph, &mediaControl);
    QueryInterface(graph, &mediaEvent);
    if (!mediaControl)
        return E_NOINTERFACE;

    AddFilterByClsid(graph, CLSID_SampleGrabber, QStringLiteral("SampleGrabber Filter"), &grabberFilter);
    if (!Succeeded(hr = QueryInterface(grabberFilter, &sampleGrabber)))
        return hr;
    const AM_MEDIA_TYPE plain = Rgb24(false);
    if (!Succeeded(hr = sampleGrabber->SetMediaType(&plain)))
        return hr;
    if (!Succeeded(hr = AddFilterByClsid(graph, CLSID_Colour, QStringLiteral("Whole Color Filter"), &colorFilter)))
        return hr;
    if (!Succeeded(hr = AddFilterByClsid(graph, CLSID_VideoRenderer, QStringLiteral("Whole VideoRenderer Filter"),
                       &renderer)))
        return hr;
    const AM_MEDIA_TYPE fixed = Rgb24(true);
    sampleGrabber->SetMediaType(&fixed);
    if (!Succeeded(hr = Connect()))
        return hr;
    sampleGrabber->SetBufferSamples(1);
    sampleGrabber->SetOneShot(0);
    if (!Succeeded(hr = BindVideoWindow(renderer, host, 0, 0, &videoWindow)))
        return hr;
    return mediaControl->Run();
}

// Like the video graph's, but without a line per retry.
HRESULT PhotoPreview::Connect()
{
    HRESULT hr = ConnectFilters(graph, camera, colorFilter);
    for (int retry = 0; Failed(hr) && retry < kConnectRetries; ++retry) {
        QThread::msleep(kConnectRetryPauseMs);
        hr = ConnectCameraToConverter();
    }
    if (Failed(hr)) {
        ui::InformationBox(OwnerOf(hostWindow), QStringLiteral("Initial Webcam Fail"));
        return hr;
    }
    if (hr == S_FALSE)
        return S_FALSE;
    if (!Succeeded(hr = ConnectFilters(graph, colorFilter, grabberFilter)))
        return hr;
    return ConnectFilters(graph, grabberFilter, renderer);
}

HRESULT PhotoPreview::ConnectCameraToConverter()
{
    if (!graph || !camera || !colorFilter)
        return E_POINTER;
    std::shared_ptr<IPin> out;
    const HRESULT hr = FindFreePin(camera, PINDIR_OUTPUT, &out);
    if (Failed(hr))
        return hr;
    return ConnectPinToFilter(graph, out, colorFilter);
}

HRESULT PhotoPreview::PausePreview()
{
    const HRESULT hr = mediaControl ? mediaControl->Stop() : S_OK;
    if (videoWindow) {
        videoWindow->put_Visible(OAFALSE);
        videoWindow->put_Owner(nullptr);
    }
    return hr;
}

HRESULT PhotoPreview::ResumePreview()
{
    // Nothing to resume once the graph is gone (e.g. released by a mode change).
    if (!renderer || !mediaControl)
        return VFW_E_WRONG_STATE;
    std::shared_ptr<IVideoWindow> window;
    const HRESULT hr = BindVideoWindow(renderer, hostWindow, 0, 0, &window);
    if (window)
        videoWindow = window;
    if (Failed(hr))
        return hr;
    return mediaControl->Run();
}

void PhotoPreview::ReleaseGraph()
{
    if (mediaControl)
        mediaControl->Stop();
    if (videoWindow) {
        videoWindow->put_Visible(OAFALSE);
        videoWindow->put_Owner(nullptr);
    }
    camera.reset();
    grabberFilter.reset();
    colorFilter.reset();
    renderer.reset();
    sampleGrabber.reset();
    videoWindow.reset();
    mediaControl.reset();
    mediaEvent.reset();
    captureBuilder.reset();
    graph.reset();
}

HRESULT PhotoPreview::TakeSnapshot(const QString &folder)
{
    return imaging::TakeSnapshot(sampleGrabber, folder);
}
