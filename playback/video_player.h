#pragma once
// Plays ".wmv" files in the three views.
// Not built yet: PlayFile reports E_NOTIMPL until the video player is written;
// the operations below are the ones the dialog's transport and the playback
// tracking loop use.
#include "platform/media/interfaces.h"
#include "platform/status/hresult.h"

#include <QString>
#include <atomic>
#include <memory>

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
    HRESULT Resume();
    bool GetPositionSeconds(double *seconds);
    bool GetDurationSeconds(double *seconds);
    bool SeekToSeconds(double seconds);
    // True once the end of the file has been taken from the event queue.
    bool CheckCompletion();

    // Frame access for the playback tracking thread.
    bool GetImageSize(media::LONG *size);
    bool GetImage(void *buffer);
    bool GetBitmapInfoHeader(media::BITMAPINFOHEADER *header);

    // The dialog pauses through this directly.
    std::shared_ptr<media::IMediaControl> mediaControl;
    int paused = 0;
    std::atomic<bool> ready{false};
};
