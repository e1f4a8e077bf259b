#include "playback/video_player.h"

#include "platform/diag/diagnostics.h"

HRESULT VideoPlayer::PlayFile(QObject *, QWidget *, QWidget *, QWidget *, const QString &)
{
    diag::OutputDebugString(QStringLiteral("VideoPlayer::PlayFile is not built yet"));
    return E_NOTIMPL;
}

void VideoPlayer::ReleaseGraph()
{
    mediaControl.reset();
    ready = false;
}

HRESULT VideoPlayer::Resume() { return E_NOTIMPL; }
bool VideoPlayer::GetPositionSeconds(double *) { return false; }
bool VideoPlayer::GetDurationSeconds(double *) { return false; }
bool VideoPlayer::SeekToSeconds(double) { return false; }
bool VideoPlayer::CheckCompletion() { return false; }
bool VideoPlayer::GetImageSize(media::LONG *) { return false; }
bool VideoPlayer::GetImage(void *) { return false; }
bool VideoPlayer::GetBitmapInfoHeader(media::BITMAPINFOHEADER *) { return false; }
