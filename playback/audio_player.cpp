#include "playback/audio_player.h"

#include "capture/component_runtime.h"
#include "capture/graph_utils.h"
#include "platform/diag/diagnostics.h"
#include "platform/media/decoder_preload.h"
#include "platform/media/graph.h"
#include "playback/painting_wait.h"

#include <QFileInfo>

using namespace media;

namespace {

constexpr double kUnitsPerSecond = 10000000.0;
// Opening reads the file's header and fills the sound output; a file that
// cannot be decoded fails within this time (errors end the wait at once).
constexpr int kPlayStartWaitMs = 1000;

} // namespace

AudioPlayer::AudioPlayer()
{
    capture::InitializeComponentRuntime();
    // The first file played should not wait for the decoders to load.
    media::PreloadDecoders();
}

AudioPlayer::~AudioPlayer() { ReleaseGraph(); }

HRESULT AudioPlayer::OpenAndPlay(const QString &path, QObject *notifyTarget)
{
    HRESULT hr = CreateCaptureGraph(&graph, &captureBuilder);
    if (Failed(hr))
        return Refuse(path, hr, QStringLiteral("no graph can be made"));
    QueryInterface(graph, &mediaControl);
    QueryInterface(graph, &mediaEvent);
    QueryInterface(graph, &mediaSeeking);
    if (mediaSeeking)
        mediaSeeking->SetTimeFormat(TIME_FORMAT_MEDIA_TIME);
    // A file that cannot be rendered leaves an empty graph, which does not
    // run; its code only tells the reason.
    const HRESULT rendered = graph->RenderFile(path);
    if (mediaEvent)
        mediaEvent->SetNotifyWindow(notifyTarget, WM_GRAPHNOTIFY, 0);
    if (!mediaControl)
        return Refuse(path, E_NOINTERFACE, QStringLiteral("the graph has no media control"));
    hr = mediaControl->Run();
    if (Failed(hr))
        return Refuse(path, hr, Failed(rendered) ? QStringLiteral("the file cannot be rendered")
                                                 : QStringLiteral("the graph does not start"));
    const QString why = WaitUntilPlaying();
    if (!why.isEmpty()) {
        if (mediaControl)
            mediaControl->Stop();
        return Refuse(path, E_FAIL, why);
    }
    paused = 0;
    return hr;
}

HRESULT AudioPlayer::Refuse(const QString &path, HRESULT hr, const QString &why)
{
    diag::OutputDebugString(diag::Format("AudioPlayer: '%s' is not played: %s (0x%x)",
                                         qUtf8Printable(QFileInfo(path).fileName()), qUtf8Printable(why),
                                         static_cast<unsigned>(hr)));
    return hr;
}

// Run only starts the graph; a file whose streams cannot be decoded fails
// while the graph gets going, and must not pass for one that plays. The
// window keeps painting meanwhile. Empty when it plays, else why not.
QString AudioPlayer::WaitUntilPlaying()
{
    const auto mediaGraph = std::dynamic_pointer_cast<media::Graph>(graph);
    QString why;
    const bool decided = playback::WaitWhilePainting(kPlayStartWaitMs, [&] {
        if (!mediaControl) {
            why = QStringLiteral("the player was released while the file started");
            return true;
        }
        if (mediaGraph && !mediaGraph->LastError().isEmpty()) {
            why = QStringLiteral("the graph failed while starting: ") + mediaGraph->LastError();
            return true;
        }
        OAFilterState state = State_Stopped;
        const HRESULT hr = mediaControl->GetState(0, &state);
        if (Failed(hr)) {
            why = QStringLiteral("the graph failed while starting");
            return true;
        }
        return hr == S_OK && state == State_Running;
    });
    // Without an error by then, a slow start (a busy sound server) goes on
    // playing: unlike a picture, nothing shows that the sound is missing.
    if (!decided)
        diag::OutputDebugString(QStringLiteral("AudioPlayer: still starting after %1 ms").arg(kPlayStartWaitMs));
    return why;
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
{ return TakeEventsUntilComplete(mediaEvent); }

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
