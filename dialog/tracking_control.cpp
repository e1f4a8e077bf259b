// MainDlg: starting and stopping the tracking loops. A loop runs on its own
// thread over the recorder (live) or the player (playback); both share one
// run flag, so stopping either ends both.
#include "dialog/main_dlg.h"

#include "platform/diag/diagnostics.h"
#include "tracking/engine_adapter.h"
#include "tracking/tracking_loop.h"

#include <chrono>
#include <pthread.h>
#include <system_error>

namespace {

constexpr auto kStopLimit = std::chrono::seconds(5);

} // namespace

bool MainDlg::StartLiveTracking()
{
    return StartTracking(&liveTrackingThread, &liveTrackingFinished,
        std::make_unique<EngineAdapter<VideoRecorder>>(videoRecorder, wholeFrame, leftFrame, rightFrame),
        "live tracking");
}

bool MainDlg::StartPlaybackTracking()
{
    return StartTracking(&playbackTrackingThread, &playbackTrackingFinished,
        std::make_unique<EngineAdapter<VideoPlayer>>(videoPlayer, wholeFrame, leftFrame, rightFrame),
        "playback track");
}

bool MainDlg::StopLiveTracking() { return StopTracking(&liveTrackingThread, liveTrackingFinished); }

bool MainDlg::StopPlaybackTracking() { return StopTracking(&playbackTrackingThread, playbackTrackingFinished); }

bool MainDlg::StartTracking(std::unique_ptr<std::thread> *thread, std::atomic<bool> *finished,
                            std::unique_ptr<TrackingEngine> engine, const char *threadName)
{
    if (!faceDetect.IsComplete())
        return false;
    // A loop that ended on its own still holds its thread; it is joined first.
    if (*thread)
        StopTracking(thread, *finished);
    const bool wasRunning = trackingRun.exchange(true);
    finished->store(false);
    TrackingLink link{trackingRun, *finished, streamHeader, detectorInitialised, detectorWidth, detectorHeight,
                      &trackingWake};
    try {
        *thread = std::make_unique<std::thread>([this, link, name = threadName, engine = std::move(engine)]() {
            pthread_setname_np(pthread_self(), name);
            TrackingLoop(*engine, faceDetect, link).Run();
        });
    } catch (const std::system_error &) {
        diag::OutputDebugString(QStringLiteral("\n PlayerThread CreateThread failed"));
        trackingRun = wasRunning;
        finished->store(true);
        return false;
    }
    return true;
}

// Every wait inside a loop is bounded, and a stop cuts its pauses short, so
// it ends within one detection: after 5 s it is still joined, never killed
// while it holds the renderers' or the detector's state.
bool MainDlg::StopTracking(std::unique_ptr<std::thread> *thread, const std::atomic<bool> &finished)
{
    trackingRun = false;
    trackingWake.Notify();
    if (!*thread)
        return false;
    if (!trackingWake.WaitFor(kStopLimit, finished))
        diag::OutputDebugString(QStringLiteral("tracking loop did not finish within 5 s; waiting for it to end"));
    (*thread)->join();
    thread->reset();
    return true;
}
