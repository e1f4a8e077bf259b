#pragma once
// Plays ".wma" files in the audio modes.
// Not built yet: OpenAndPlay reports E_NOTIMPL until the audio player is written.
#include "platform/status/hresult.h"

#include <QString>

class QObject;

class AudioPlayer {
public:
    AudioPlayer() = default;
    virtual ~AudioPlayer() { ReleaseGraph(); }
    AudioPlayer(const AudioPlayer &) = delete;
    AudioPlayer &operator=(const AudioPlayer &) = delete;

    HRESULT OpenAndPlay(const QString &path, QObject *notifyTarget);
    void ReleaseGraph();

    bool paused = false;
};
