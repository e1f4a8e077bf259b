#pragma once
// VideoPlayer: plays one recorded ".wmv" file in the dialog's three views.
//
//   source ─→ video decoder → grabber (RGB24) → tee ─┬→ converter → renderer (whole)
//          │                                         ├→ converter → renderer (left)
//          │                                         └→ converter → renderer (right)
//          └→ audio decoder → sound renderer
//
// One graph per file, built and driven on the dialog's thread. The frame
// access operations run on the playback tracking thread, which also steers the
// views through the public renderer, window and basic-video members (named as
// in VideoRecorder, so one loop drives either engine). The dialog stops that
// thread before it calls ReleaseGraph or PlayFile.
#include "platform/media/interfaces.h"
#include "platform/status/hresult.h"

#include <QString>
#include <atomic>
#include <memory>

class QObject;
class QWidget;
namespace capture {
struct FrameGrabber;
}

class VideoPlayer {
public:
    VideoPlayer();
    virtual ~VideoPlayer();
    VideoPlayer(const VideoPlayer &) = delete;
    VideoPlayer &operator=(const VideoPlayer &) = delete;

    // Builds the graph for path and runs it; notifyTarget receives the graph's
    // notification (message 0x8001) whenever an event is queued. A failure
    // code (or S_FALSE) when a required step fails; nothing is shown then.
    HRESULT PlayFile(QObject *notifyTarget, QWidget *whole, QWidget *left, QWidget *right, const QString &path);
    // Stops and dismantles the graph. Safe on an empty player and twice.
    void ReleaseGraph();
    HRESULT Resume();
    bool GetPositionSeconds(double *seconds);
    bool GetDurationSeconds(double *seconds);
    bool SeekToSeconds(double seconds);
    // True once the end of the file has been taken from the event queue;
    // events after it stay queued.
    bool CheckCompletion();

    // Frame access for the playback tracking thread (bottom-up 24-bit DIB).
    bool GetImageSize(media::LONG *size);
    bool GetImage(void *buffer);
    bool GetBitmapInfoHeader(media::BITMAPINFOHEADER *header);

    std::shared_ptr<media::IGraphBuilder> graph;
    // The dialog pauses through this directly.
    std::shared_ptr<media::IMediaControl> mediaControl;
    std::shared_ptr<media::IMediaEventEx> mediaEvent;
    std::shared_ptr<media::ICaptureGraphBuilder2> captureBuilder; // made with the graph, unused for playback
    std::shared_ptr<media::ISampleGrabber> sampleGrabber;
    std::shared_ptr<media::IFileSourceFilter> fileSource;
    std::shared_ptr<media::IMediaSeeking> mediaSeeking;
    std::shared_ptr<media::IVideoWindow> wholeWindow;
    std::shared_ptr<media::IVideoWindow> leftWindow;
    std::shared_ptr<media::IVideoWindow> rightWindow;
    std::shared_ptr<media::IBasicVideo> wholeBasicVideo;
    std::shared_ptr<media::IBasicVideo> leftBasicVideo;
    std::shared_ptr<media::IBasicVideo> rightBasicVideo;
    std::shared_ptr<media::IBaseFilter> wholeRenderer;
    std::shared_ptr<media::IBaseFilter> leftRenderer;
    std::shared_ptr<media::IBaseFilter> rightRenderer;
    std::shared_ptr<media::IBaseFilter> grabberFilter;
    std::shared_ptr<media::IBaseFilter> sourceFilter;
    std::shared_ptr<media::IBaseFilter> videoDecoder;
    std::shared_ptr<media::IBaseFilter> audioDecoder;
    std::shared_ptr<media::IBaseFilter> videoTee;
    std::shared_ptr<media::IBaseFilter> wholeColor;
    std::shared_ptr<media::IBaseFilter> leftColor;
    std::shared_ptr<media::IBaseFilter> rightColor;
    std::shared_ptr<media::IBaseFilter> soundRenderer;
    int paused = 0;
    media::LONG imageBufferSize = 0;
    // Read by the tracking thread while the dialog's thread builds and releases.
    std::atomic<bool> imageSizeKnown{false};
    std::atomic<bool> ready{false};

private:
    capture::FrameGrabber Frames();
    HRESULT BuildGraph(QObject *notifyTarget, QWidget *whole, QWidget *left, QWidget *right, const QString &path);
    HRESULT AddSource(const QString &path);
    HRESULT AddFilters();
    HRESULT AddDecoder(const media::Guid &object, const media::Guid &category, const QString &name,
                       std::shared_ptr<media::IBaseFilter> *decoder);
    HRESULT SetGrabberType();
    HRESULT ConnectAll();
    HRESULT AdjustGrabberType();
    HRESULT BindWindows(QWidget *whole, QWidget *left, QWidget *right);
    HRESULT QueryBasicVideo();
    HRESULT RunGraph();
    QString WaitForFirstFrame();
    HRESULT Refuse(HRESULT hr, const QString &why);

    QString refusal_; // why the last PlayFile failed, said once on the diagnostics channel
};
