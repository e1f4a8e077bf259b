#pragma once
// Plays ".wma" files in the audio modes.
// Not built yet: OpenAndPlay reports E_NOTIMPL until the audio player is written;
// the members and operations below are the ones the dialog's transport uses.
#include "platform/media/interfaces.h"
#include "platform/status/hresult.h"

#include <QString>
#include <memory>

class QObject;

class AudioPlayer {
public:
    AudioPlayer() = default;
    virtual ~AudioPlayer() { ReleaseGraph(); }
    AudioPlayer(const AudioPlayer &) = delete;
    AudioPlayer &operator=(const AudioPlayer &) = delete;

    HRESULT OpenAndPlay(const QString &path, QObject *notifyTarget);
    bool GetPosition(double *seconds);
    bool GetLength(double *seconds);
    bool SetPosition(double seconds);
    // True once the end of the file has been taken from the event queue.
    bool HandleEvents();
    void ReleaseGraph();

    std::shared_ptr<media::IGraphBuilder> graph;
    // The dialog pauses and resumes through this directly.
    std::shared_ptr<media::IMediaControl> mediaControl;
    std::shared_ptr<media::IMediaEventEx> mediaEvent;
    std::shared_ptr<media::ICaptureGraphBuilder2> captureBuilder;
    std::shared_ptr<media::IMediaSeeking> mediaSeeking;
    int paused = 0;
};
