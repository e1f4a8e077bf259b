#include "capture/video_recorder.h"

#include "platform/diag/diagnostics.h"

bool PreviewStarted = false;

HRESULT VideoRecorder::StartPreview(QWidget *, QWidget *, QWidget *, bool micArray)
{
    useMicArray = micArray;
    diag::OutputDebugString(QStringLiteral("VideoRecorder::StartPreview is not built yet"));
    return E_NOTIMPL;
}

HRESULT VideoRecorder::StartRecording(const QString &, QWidget *, QWidget *, QWidget *, bool micArray)
{
    useMicArray = micArray;
    diag::OutputDebugString(QStringLiteral("VideoRecorder::StartRecording is not built yet"));
    return E_NOTIMPL;
}

void VideoRecorder::ReleaseGraph() {}
