#pragma once
// VideoRecorder: the camera graph of the video modes.
// Not built yet: the graph comes with the video-capture work; until then every
// build reports E_NOTIMPL and nothing is previewed or recorded.
#include "platform/status/hresult.h"

#include <QString>
#include <atomic>

class QWidget;

// Set whenever a VideoRecorder graph has started; read and cleared by the dialog.
extern bool PreviewStarted;

class VideoRecorder {
public:
    VideoRecorder() = default;
    virtual ~VideoRecorder() { ReleaseGraph(); }
    VideoRecorder(const VideoRecorder &) = delete;
    VideoRecorder &operator=(const VideoRecorder &) = delete;

    HRESULT StartPreview(QWidget *wholeHost, QWidget *leftHost, QWidget *rightHost, bool useMicArray);
    HRESULT StartRecording(const QString &folder, QWidget *wholeHost, QWidget *leftHost, QWidget *rightHost,
                           bool useMicArray);
    void ReleaseGraph();

    bool useMicArray = false;
};
