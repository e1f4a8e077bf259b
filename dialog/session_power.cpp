// MainDlg: session and power events. A switch to another user or a suspend
// stores the mode and stops what runs; coming back enters the stored mode again.
#include "dialog/main_dlg.h"

#include "platform/diag/diagnostics.h"
#include "platform/session/session_events.h"

#include <QSlider>

using namespace session;

bool consoleAttached = true;

namespace {

void Debug(const char *text) { diag::OutputDebugString(QLatin1String(text)); }

} // namespace

long MainDlg::OnSessionChange(unsigned event, unsigned /*sessionId*/)
{
    switch (event) {
    case WTS_CONSOLE_CONNECT:
        RestoreSavedMode();
        consoleAttached = true;
        Debug("WTS_CONSOLE_CONNECT");
        break;
    case WTS_CONSOLE_DISCONNECT:
        if (mode >= 0)
            SaveModeState(static_cast<std::uint32_t>(mode));
        StopActivity();
        consoleAttached = false;
        Debug("WTS_CONSOLE_DISCONNECT");
        break;
    case WTS_SESSION_LOGON:
        Debug("WTS_SESSION_LOGON");
        break;
    case WTS_SESSION_LOGOFF:
        Debug("WTS_SESSION_LOGOFF");
        break;
    case WTS_SESSION_LOCK:
        Debug("WTS_SESSION_LOCK");
        break;
    case WTS_SESSION_UNLOCK:
        Debug("WTS_SESSION_UNLOCK");
        break;
    default: // the remote events and anything unknown
        break;
    }
    return static_cast<long>(event);
}

long MainDlg::OnPowerBroadcast(unsigned event, long /*data*/)
{
    switch (event) {
    case PBT_APMQUERYSUSPEND:
        Debug("PBT_APMQUERYSUSPEND ");
        break;
    case PBT_APMQUERYSUSPENDFAILED:
        Debug("PBT_APMQUERYSUSPENDFAILED ");
        break;
    case PBT_APMSUSPEND:
        if (consoleAttached) {
            if (mode >= 0)
                SaveModeState(static_cast<std::uint32_t>(mode));
            StopActivity();
        }
        Debug("PBT_APMSUSPEND");
        break;
    case PBT_APMRESUMECRITICAL:
        Debug("PBT_APMRESUMECRITICAL ");
        break;
    case PBT_APMRESUMESUSPEND:
        if (consoleAttached)
            RestoreSavedMode();
        Debug("PBT_APMRESUMESUSPEND ");
        break;
    case PBT_APMPOWERSTATUSCHANGE:
        Debug("PBT_APMPOWERSTATUSCHANGE");
        break;
    case PBT_APMRESUMEAUTOMATIC:
        Debug("PBT_APMRESUMEAUTOMATIC ");
        break;
    default:
        break;
    }
    return 0;
}

// Unlike StopRecording, leaves the speakers muted and Record latched as the
// recording set them; the next restore clears the button.
void MainDlg::StopActivity()
{
    switch (activity) {
    case Playing:
    case PlaybackEnded:
    case Paused:
        StopPlayback();
        // A shown photo only pauses the photo preview, which still holds the
        // camera; it must not be kept while the session is away or asleep.
        if (mode == Photo)
            photoPreview.ReleaseGraph();
        break;
    case Recording:
        ReleaseRecordingEngine();
        break;
    case Idle:
        StopAllEngines();
        break;
    default:
        break;
    }
    activity = Idle;
    positionSlider->setValue(0);
}

void MainDlg::StopAllEngines()
{
    StopLiveTracking();
    StopPlaybackTracking();
    audioPlayer.ReleaseGraph();
    audioRecorder.ReleaseGraph();
    videoPlayer.ReleaseGraph();
    videoRecorder.ReleaseGraph();
    photoPreview.ReleaseGraph();
}
