#pragma once
// AudioPlayer: plays a recorded ".wma" file in the audio modes. The graph
// reader → decoder → sound renderer is built from the file; the end of the
// file reaches the dialog as a GraphNotifyEvent (WM_GRAPHNOTIFY) on its own
// thread. Positions are in seconds. Used from the dialog's thread only.
#include "platform/media/interfaces.h"
#include "platform/status/hresult.h"

#include <QString>
#include <memory>

class QObject;

class AudioPlayer {
public:
    AudioPlayer();
    virtual ~AudioPlayer();
    AudioPlayer(const AudioPlayer &) = delete;
    AudioPlayer &operator=(const AudioPlayer &) = delete;

    // Builds the graph for path, asks for notifications to notifyTarget and
    // runs it. A negative code when the file cannot be played (missing,
    // empty, not a Windows Media file, corrupt, unreadable): nothing plays.
    HRESULT OpenAndPlay(const QString &path, QObject *notifyTarget);
    // False before a file was opened or when the graph cannot tell.
    bool GetPosition(double *seconds);
    bool GetLength(double *seconds);
    bool SetPosition(double seconds);
    // Takes the queued events; true once the end of the file was among them
    // (events queued after it stay for the next call).
    bool HandleEvents();
    // Stops, ends the notifications and releases the graph; safe twice.
    void ReleaseGraph();

    std::shared_ptr<media::IGraphBuilder> graph;
    // The dialog pauses and resumes through this directly.
    std::shared_ptr<media::IMediaControl> mediaControl;
    std::shared_ptr<media::IMediaEventEx> mediaEvent;
    std::shared_ptr<media::ICaptureGraphBuilder2> captureBuilder;
    std::shared_ptr<media::IMediaSeeking> mediaSeeking;
    // Set by the dialog while it holds playback paused; cleared on each start.
    int paused = 0;

private:
    QString WaitUntilPlaying();
    // Says on the diagnostics channel why path is not played; returns hr.
    static HRESULT Refuse(const QString &path, HRESULT hr, const QString &why);
    bool ReadSeconds(HRESULT (media::IMediaSeeking::*read)(media::LONGLONG *), double *seconds);
};
