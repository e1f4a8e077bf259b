#include "playback/audio_player.h"

#include "platform/diag/diagnostics.h"

HRESULT AudioPlayer::OpenAndPlay(const QString &, QObject *)
{
    diag::OutputDebugString(QStringLiteral("AudioPlayer::OpenAndPlay is not built yet"));
    return E_NOTIMPL;
}

bool AudioPlayer::GetPosition(double *) { return false; }
bool AudioPlayer::GetLength(double *) { return false; }
bool AudioPlayer::SetPosition(double) { return false; }
bool AudioPlayer::HandleEvents() { return false; }

void AudioPlayer::ReleaseGraph()
{
    graph.reset();
    mediaControl.reset();
    mediaEvent.reset();
    captureBuilder.reset();
    mediaSeeking.reset();
}
