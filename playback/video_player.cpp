#include "playback/video_player.h"

#include "platform/diag/diagnostics.h"

HRESULT VideoPlayer::PlayFile(QObject *, QWidget *, QWidget *, QWidget *, const QString &)
{
    diag::OutputDebugString(QStringLiteral("VideoPlayer::PlayFile is not built yet"));
    return E_NOTIMPL;
}

void VideoPlayer::ReleaseGraph() { paused = false; }
