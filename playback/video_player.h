#pragma once
// Plays ".wmv" files in the three views.
// Not built yet: PlayFile reports E_NOTIMPL until the video player is written.
#include "platform/status/hresult.h"

#include <QString>

class QObject;
class QWidget;

class VideoPlayer {
public:
    VideoPlayer() = default;
    virtual ~VideoPlayer() { ReleaseGraph(); }
    VideoPlayer(const VideoPlayer &) = delete;
    VideoPlayer &operator=(const VideoPlayer &) = delete;

    HRESULT PlayFile(QObject *notifyTarget, QWidget *whole, QWidget *left, QWidget *right, const QString &path);
    void ReleaseGraph();

    bool paused = false;
};
