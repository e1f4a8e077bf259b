#pragma once
// PhotoPreview: the live camera picture of photo mode, with the newest frame
// buffered so that a still can be taken at any moment (TakeSnapshot).
//
//   camera → converter → grabber (RGB24) → renderer
//
// One view, no tee, no size cap: stills have the camera's own size. Dialog
// thread only.
#include "platform/media/interfaces.h"
#include "platform/status/hresult.h"

#include <QString>
#include <memory>

class QWidget;

class PhotoPreview {
public:
    PhotoPreview();
    virtual ~PhotoPreview();
    PhotoPreview(const PhotoPreview &) = delete;
    PhotoPreview &operator=(const PhotoPreview &) = delete;

    // Builds and runs the preview in host (the whole view's host).
    HRESULT StartPhotoPreview(QWidget *host);
    // Stops the graph and hides the window (a stored picture is shown instead).
    HRESULT PausePreview();
    // Shows the live picture again in the same host and runs the graph.
    HRESULT ResumePreview();
    // Stops, hides and dismantles; safe on a never-started object and twice.
    void ReleaseGraph();
    // Writes the buffered frame as folder + "yyyymmdd-hhmmss.jpg" (imaging/snapshot_writer.h).
    HRESULT TakeSnapshot(const QString &folder);

    std::shared_ptr<media::IGraphBuilder> graph;
    std::shared_ptr<media::IMediaControl> mediaControl;
    std::shared_ptr<media::IMediaEventEx> mediaEvent;
    std::shared_ptr<media::ICaptureGraphBuilder2> captureBuilder;
    std::shared_ptr<media::ISampleGrabber> sampleGrabber;
    std::shared_ptr<media::IVideoWindow> videoWindow;
    std::shared_ptr<media::IBaseFilter> camera;
    std::shared_ptr<media::IBaseFilter> grabberFilter;
    std::shared_ptr<media::IBaseFilter> colorFilter;
    std::shared_ptr<media::IBaseFilter> renderer;
    QWidget *hostWindow = nullptr;

private:
    HRESULT Connect();
    HRESULT ConnectCameraToConverter();
};
