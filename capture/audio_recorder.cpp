#include "capture/audio_recorder.h"

#include "platform/diag/diagnostics.h"

HRESULT AudioRecorder::StartRecording(const QString &, bool micArray)
{
    useMicArray = micArray;
    diag::OutputDebugString(QStringLiteral("AudioRecorder::StartRecording is not built yet"));
    return E_NOTIMPL;
}

void AudioRecorder::ReleaseGraph()
{
    // Nothing is ever built yet, so there is nothing to release.
}
