#pragma once
// VideoRecorder: the camera graph of the two video modes. One graph shows the
// camera in three views (whole, left, right), keeps the whole view's newest
// frame for the face tracker and, when recording, writes camera video and
// microphone audio into a ".wmv" file.
//
//   camera → tee ─┬→ converter → renderer                 (left view)
//                 ├→ converter → renderer                 (right view)
//                 ├→ converter → grabber (RGB24) → renderer (whole view)
//                 └→ file writer ← microphone              (recording only)
//
// Building, running and releasing happen on the dialog's thread; the frame
// access operations (GetImageSize, GetImage, GetBitmapInfoHeader) run on the
// tracking thread, which the dialog stops before it releases the graph.
#include "platform/media/interfaces.h"
#include "platform/status/hresult.h"

#include <QString>
#include <atomic>
#include <memory>

class QWidget;
namespace capture {
struct FrameGrabber;
}

// Set whenever a VideoRecorder graph has started; read and cleared by the dialog.
extern bool PreviewStarted;

class VideoRecorder {
public:
    VideoRecorder();
    virtual ~VideoRecorder();
    VideoRecorder(const VideoRecorder &) = delete;
    VideoRecorder &operator=(const VideoRecorder &) = delete;

    // Builds the preview graph and runs it; S_FALSE (no camera, the user was
    // told) or a failure code when the build does not succeed.
    HRESULT StartPreview(QWidget *wholeHost, QWidget *leftHost, QWidget *rightHost, bool useMicArray);
    // Builds the preview graph without running it.
    HRESULT BuildPreviewGraph(QWidget *wholeHost, QWidget *leftHost, QWidget *rightHost, bool useMicArray);
    // The preview graph plus microphone and file writer, run. folder ends in "/".
    HRESULT StartRecording(const QString &folder, QWidget *wholeHost, QWidget *leftHost, QWidget *rightHost,
                           bool useMicArray);
    // Stops (which finishes a file being written) and dismantles the graph.
    // Safe on an empty recorder and twice in a row.
    void ReleaseGraph();

    // Frame access for the tracking thread: the whole view's newest frame as a
    // bottom-up 24-bit DIB. False (with a diagnostic) when there is none.
    bool GetImageSize(media::LONG *size);
    bool GetImage(void *buffer);
    bool GetBitmapInfoHeader(media::BITMAPINFOHEADER *header);

    // The file the last StartRecording writes; empty when none was started.
    QString RecordingFileName() const { return recordingFile_; }

    std::shared_ptr<media::IGraphBuilder> graph;
    std::shared_ptr<media::IMediaControl> mediaControl;
    std::shared_ptr<media::IMediaEventEx> mediaEvent;
    std::shared_ptr<media::ICaptureGraphBuilder2> captureBuilder;
    std::shared_ptr<media::IAMStreamConfig> streamConfig;
    std::shared_ptr<media::ISampleGrabber> sampleGrabber;
    std::shared_ptr<media::IBasicVideo> wholeBasicVideo;
    std::shared_ptr<media::IBasicVideo> leftBasicVideo;
    std::shared_ptr<media::IBasicVideo> rightBasicVideo;
    std::shared_ptr<media::IVideoWindow> wholeWindow;
    std::shared_ptr<media::IVideoWindow> leftWindow;
    std::shared_ptr<media::IVideoWindow> rightWindow;
    std::shared_ptr<media::IBaseFilter> wholeRenderer;
    std::shared_ptr<media::IBaseFilter> leftRenderer;
    std::shared_ptr<media::IBaseFilter> rightRenderer;
    std::shared_ptr<media::IBaseFilter> audioCapture;
    std::shared_ptr<media::IBaseFilter> videoCapture;
    std::shared_ptr<media::IBaseFilter> grabberFilter;
    std::shared_ptr<media::IBaseFilter> videoTee;
    std::shared_ptr<media::IBaseFilter> wholeColor;
    std::shared_ptr<media::IBaseFilter> leftColor;
    std::shared_ptr<media::IBaseFilter> rightColor;
    std::shared_ptr<media::IBaseFilter> asfWriter;
    std::shared_ptr<media::IBaseFilter> micArrayFilter;
    std::shared_ptr<media::IBaseFilter> audioTee;
    std::shared_ptr<media::IBaseFilter> soundRenderer;
    media::LONG imageBufferSize = 0;
    // Read by the tracking thread while the dialog's thread builds and releases.
    std::atomic<bool> imageSizeKnown{false};
    std::atomic<bool> running{false};
    bool useMicArray = false;

private:
    capture::FrameGrabber Frames();
    HRESULT AddViewFilters();
    HRESULT ConnectViewFilters(QWidget *owner);
    HRESULT ConnectCameraToTee();
    HRESULT AddAudioFilters(QWidget *owner);
    HRESULT ConnectAudio();
    void DiscardFailedRecording();

    QString recordingFile_;
};
