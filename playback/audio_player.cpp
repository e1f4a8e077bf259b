#include "playback/audio_player.h"

#include "platform/diag/diagnostics.h"

HRESULT AudioPlayer::OpenAndPlay(const QString &, QObject *)
{
    diag::OutputDebugString(QStringLiteral("AudioPlayer::OpenAndPlay is not built yet"));
    return E_NOTIMPL;
}

void AudioPlayer::ReleaseGraph() { paused = false; }
