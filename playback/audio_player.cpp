#include "playback/audio_player.h"

#include "capture/component_runtime.h"
#include "capture/graph_utils.h"
#include "platform/diag/diagnostics.h"

using namespace media;

namespace {

constexpr double kUnitsPerSecond = 10000000.0;
// Opening reads the file's header and fills the sound output; a file that
// cannot be decoded fails within this time.
constexpr LONG kPlayStartWaitMs = 5000;

} // namespace

AudioPlayer::AudioPlayer() { capture::InitializeComponentRuntime(); }

AudioPlayer::~AudioPlayer() { ReleaseGraph(); }

HRESULT AudioPlayer::OpenAndPlay(const QString &path, QObject *notifyTarget)
{
    HRESULT hr = CreateCaptureGraph(&graph, &captureBuilder);
    if (Failed(hr))
        return hr;
    QueryInterface(graph, &mediaControl);
    QueryInterface(graph, &mediaEvent);
    QueryInterface(graph, &mediaSeeking);
    if (mediaSeeking)
        mediaSeeking->SetTimeFormat(TIME_FORMAT_MEDIA_TIME);
    // A file that cannot be rendered leaves an empty graph, which does not run.
    graph->RenderFile(path);
    if (mediaEvent)
        mediaEvent->SetNotifyWindow(notifyTarget, WM_GRAPHNOTIFY, 0);
    if (!mediaControl)
        return E_NOINTERFACE;
    hr = mediaControl->Run();
    if (Failed(hr))
        return hr;
    if (Failed(hr = WaitUntilPlaying()))
        return hr;
    paused = 0;
    return hr;
}

// Run only starts the graph; a file whose streams cannot be decoded fails
// while the graph gets going, and must not pass for one that plays.
HRESULT AudioPlayer::WaitUntilPlaying()
{
    OAFilterState state = State_Stopped;
    const HRESULT hr = mediaControl->GetState(kPlayStartWaitMs, &state);
    if (Failed(hr)) {
        diag::OutputDebugString(diag::Format("AudioPlayer: the file does not play: %x", static_cast<unsigned>(hr)));
        mediaControl->Stop();
        return hr;
    }
    return S_OK;
}

// One of the seeking interface's times, in seconds.
bool AudioPlayer::ReadSeconds(HRESULT (IMediaSeeking::*read)(LONGLONG *), double *seconds)
{
    if (!mediaSeeking || !seconds)
        return false;
    LONGLONG units = 0;
    if (Failed(((*mediaSeeking).*read)(&units)))
        return false;
    *seconds = static_cast<double>(units) / kUnitsPerSecond;
    return true;
}

bool AudioPlayer::GetPosition(double *seconds) { return ReadSeconds(&IMediaSeeking::GetCurrentPosition, seconds); }

bool AudioPlayer::GetLength(double *seconds) { return ReadSeconds(&IMediaSeeking::GetDuration, seconds); }

bool AudioPlayer::SetPosition(double seconds)
{
    if (!mediaSeeking)
        return false;
    LONGLONG position = static_cast<LONGLONG>(seconds * kUnitsPerSecond);
    return !Failed(mediaSeeking->SetPositions(&position, AM_SEEKING_AbsolutePositioning | AM_SEEKING_SeekToKeyFrame,
                                              nullptr, AM_SEEKING_NoPositioning));
}

bool AudioPlayer::HandleEvents()
{
    if (!mediaEvent)
        return false;
    LONG code = 0;
    LONG_PTR param1 = 0, param2 = 0;
    while (Succeeded(mediaEvent->GetEvent(&code, &param1, &param2, 0))) {
        mediaEvent->FreeEventParams(code, param1, param2);
        if (code == EC_COMPLETE)
            return true;
    }
    return false;
}

void AudioPlayer::ReleaseGraph()
{
    if (mediaControl)
        mediaControl->Stop();
    if (mediaEvent)
        mediaEvent->SetNotifyWindow(nullptr, 0, 0);
    graph.reset();
    mediaControl.reset();
    mediaEvent.reset();
    captureBuilder.reset();
    mediaSeeking.reset();
}
