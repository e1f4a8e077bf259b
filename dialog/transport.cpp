// MainDlg: the transport operations. Only the stopping side exists yet (the
// mode controller needs it); Record, Play and the position timer come with
// the transport work.
#include "dialog/main_dlg.h"

#include "controls/hover_button.h"

#include <QSlider>

void MainDlg::StopPlayback()
{
    switch (mode) {
    case Solo:
    case Conference:
        audioPlayer.ReleaseGraph();
        break;
    case Video:
        videoPlayer.ReleaseGraph();
        break;
    case VideoTracing:
        StopPlaybackTracking();
        videoPlayer.ReleaseGraph();
        break;
    default:
        break;
    }
    positionSlider->setValue(0);
    playButton->SetLatched(false);
}

// Gives the speakers back when the recording muted them (they were not muted before).
void MainDlg::UnmuteAfterRecording()
{
    if (!mutedBeforeRecording && mute.IsMuted()) {
        mute.muted = false;
        mute.SetMuteValue(false);
        muteButton->setChecked(false);
    }
}

void MainDlg::StopRecording()
{
    UnmuteAfterRecording();
    switch (mode) {
    case Solo:
    case Conference:
        audioRecorder.ReleaseGraph();
        break;
    case Video:
        videoRecorder.ReleaseGraph();
        break;
    case VideoTracing:
        if (liveTrackingThread) {
            StopLiveTracking();
            liveTrackingThread.reset();
        }
        videoRecorder.ReleaseGraph();
        break;
    default:
        break;
    }
    activity = Idle;
    recordButton->SetLatched(false);
}
