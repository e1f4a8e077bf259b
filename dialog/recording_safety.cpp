// MainDlg: what keeps a recording safe and visible. The overlay and the disk
// watch follow every recording; captures left unfinished by a dead process
// are repaired in the background and the list shows them when that is done.
#include "dialog/main_dlg.h"

#include "controls/recording_indicator.h"
#include "platform/media/asf_writer.h"
#include "platform/media/guid.h"
#include "platform/media/recording_status.h"
#include "platform/settings/settings_store.h"
#include "platform/ui/list_view.h"
#include "platform/ui/message_box.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>

namespace {
qint64 BitRate(int mode)
{
    return media::AsfWriter::ProfileBitRate(IsAudioMode(mode) ? media::WMProfile_V80_64StereoAudio
                                                              : media::WMProfile_V80_700NTSCVideo);
}

CRecordingIndicator::Level ReadLevel()
{
    const media::RecordingStatus s = media::CurrentRecording();
    return {s.peakDb, s.writing ? s.levelCount : 0};
}
} // namespace

bool MainDlg::RoomToRecord()
{
    // The folder may have gone since start-up (removed by hand, a disk taken
    // away); it is made again, and one that cannot be written is said so,
    // rather than Record doing nothing.
    const QString &folder = mediaLibrary.modeFolders[mode];
    if (!QDir().mkpath(folder) || !QFileInfo(folder).isWritable()) {
        ui::InformationBox(this, QStringLiteral("The folder %1 cannot be written to. Nothing was recorded.")
                                     .arg(QDir::toNativeSeparators(folder)));
        return false;
    }
    if (mode == Photo || diskWatch_.EnoughSpace(mediaLibrary.modeFolders[mode], BitRate(mode)))
        return true;
    ui::InformationBox(this, QStringLiteral("There is not enough free disk space to record."));
    return false;
}

// A recording mutes the speakers while it runs; when the process died during
// one, they would stay muted for good. The start after it gives them back.
void MainDlg::UnmuteAfterInterruptedRecording()
{
    if (!settings::SettingsStore::ReadMutedForRecording())
        return;
    if (mute.IsMuted())
        mute.MuteOff();
    settings::SettingsStore::WriteMutedForRecording(false);
}

void MainDlg::BeginRecordingWatch()
{
    if (mode == Photo)
        return;
    if (!recordingIndicator_)
        recordingIndicator_ = new CRecordingIndicator(&ReadLevel, this);
    recordingIndicator_->Start(IsAudioMode(mode) ? static_cast<QWidget *>(audioPicture) : wholeFrameControl);
    diskWatch_.Start(mediaLibrary.modeFolders[mode], BitRate(mode));
}

void MainDlg::EndRecordingWatch()
{
    diskWatch_.Stop();
    if (recordingIndicator_)
        recordingIndicator_->Stop();
}

// Called once the engine has closed its file: one cut short (a failed write,
// a writer that did not finish in time) kept its marker and is repaired now.
void MainDlg::RepairCutShort()
{
    if (!destroyed_ && mode >= 0 && mode < kModeCount)
        RepairInterrupted({mediaLibrary.modeFolders[mode]});
}

// The capture folder (or the file) was removed while the recording ran; the
// writer has put the file back. Said after the handler that ended the
// recording returns: a suspend must not wait for the user's OK.
void MainDlg::TellOfRemovedFolder()
{
    const std::optional<media::FolderRemovedNotice> notice = media::TakeFolderRemovedNotice();
    if (!notice || destroyed_)
        return;
    const QFileInfo file(notice->file);
    const QString folder = QDir::toNativeSeparators(file.absolutePath());
    QString text;
    if (notice->folderGone)
        text = (notice->kept ? QStringLiteral("The folder %1 was removed during the recording. It was made again and "
                                              "the recording was kept in it.")
                             : QStringLiteral("The folder %1 was removed during the recording, and the recording "
                                              "could not be kept."))
                   .arg(folder);
    else
        text = (notice->kept ? QStringLiteral("The file %1 was removed from %2 during the recording. The recording "
                                              "was kept under its name.")
                             : QStringLiteral("The file %1 was removed from %2 during the recording, and the "
                                              "recording could not be kept."))
                   .arg(file.fileName(), folder);
    QMetaObject::invokeMethod(this, [this, text] { ui::InformationBox(this, text); }, Qt::QueuedConnection);
}

void MainDlg::OnRecordingMustStop(library::DiskSpaceWatch::Reason reason)
{
    if (activity != Recording)
        return;
    FinishRecording();
    mediaLibrary.RefreshThumbnails(mode, this);
    mediaLibrary.SelectLastItem();
    ui::InformationBox(this, reason == library::DiskSpaceWatch::DiskFull
            ? QStringLiteral("The disk is almost full. The recording was stopped and saved.")
            : QStringLiteral("The recording could not be written any further. It was stopped and saved as far as "
                             "it was written."));
}

void MainDlg::RepairInterrupted(const QStringList &folders)
{
    repairs_.RepairInBackground(folders);
}

void MainDlg::OnRepairsDone(int repaired)
{
    // A list in use (playing, recording) is refreshed by its next listing.
    // The selection stays where the user (or Stop) put it.
    if (repaired > 0 && activity == Idle && mode >= 0)
        mediaLibrary.RefreshKeepingSelection(mode, this);
}
