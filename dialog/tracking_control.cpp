// MainDlg: starting and stopping the tracking loops.
// Not built yet: the loops come with the face tracking work. No thread is ever
// started, so stopping has nothing to wait for.
#include "dialog/main_dlg.h"

#include "platform/diag/diagnostics.h"

void MainDlg::StartLiveTracking()
{
    diag::OutputDebugString(QStringLiteral("live tracking loop is not built yet"));
}

void MainDlg::StopLiveTracking() {}

void MainDlg::StartPlaybackTracking()
{
    diag::OutputDebugString(QStringLiteral("playback tracking loop is not built yet"));
}

void MainDlg::StopPlaybackTracking() {}
