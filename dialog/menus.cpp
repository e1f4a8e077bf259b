// MainDlg: the pop-up menus. The device menu opens the camera's and the
// microphone's settings; the share menu mails the selected captures or hands
// selected photos to the upload tool; the list's menu deletes the selected
// captures. Every menu opens above and to the right of the cursor.
#include "dialog/main_dlg.h"

#include "dialog/control_ids.h"
#include "platform/diag/diagnostics.h"
#include "platform/ui/list_view.h"
#include "platform/ui/message_box.h"

#include <QCursor>
#include <QMenu>

namespace {

// Opens the menu above and to the right of the cursor (bottom-aligned at it).
QAction *PopUpAt(QMenu &menu, const QPoint &cursor)
{
    const QSize size = menu.sizeHint();
    return menu.exec(QPoint(cursor.x(), cursor.y() - size.height()));
}

} // namespace

void MainDlg::OnDeviceMenu()
{
    QMenu menu(this);
    menu.setTitle(QStringLiteral("dsfa"));
    QAction *webcam = menu.addAction(QStringLiteral("Webcam Property"));
    QAction *microphone = menu.addAction(QStringLiteral("Microphone Property"));
    QAction *chosen = PopUpAt(menu, QCursor::pos());
    if (chosen == webcam)
        OnWebcamProperty();
    else if (chosen == microphone)
        OnMicrophoneProperty();
}

void MainDlg::OnWebcamProperty() { deviceSettings.ShowWebcamProperties(this); }

void MainDlg::OnMicrophoneProperty() { deviceSettings.ShowMicrophoneProperties(this); }

void MainDlg::OnListRightClick(const QPoint &globalPos)
{
    QMenu menu(this);
    QAction *remove = menu.addAction(QStringLiteral("delete"));
    if (PopUpAt(menu, globalPos) == remove)
        OnDeleteSelected();
}

void MainDlg::OnDeleteSelected() { mediaLibrary.OnDeleteSelected(mode, this, FilesInUse()); }

// The capture being written and the file a player holds open (also paused or
// at its end, where it stays loaded). A shown photo is read into memory and
// holds nothing.
QStringList MainDlg::FilesInUse() const
{
    QStringList busy;
    if (activity == Recording) {
        busy.append(IsAudioMode(mode) ? audioRecorder.RecordingFileName() : videoRecorder.RecordingFileName());
    } else if ((activity == Playing || activity == Paused || activity == PlaybackEnded) && mode != Photo) {
        busy.append(currentFilePath);
    }
    busy.removeAll(QString());
    return busy;
}

void MainDlg::OnShareMenu()
{
    QMenu menu(this);
    QAction *attach = menu.addAction(QStringLiteral("Attach File(s) to Mail"));
    QAction *upload = menu.addAction(QStringLiteral("Upload File(s) to Flickr"));
    // Outside Photo the upload item is drawn normally but does nothing when
    // chosen; a disabled QAction would be greyed.
    const bool uploadEnabled = mode == Photo;
    QAction *chosen = PopUpAt(menu, QCursor::pos());
    if (chosen == attach)
        OnAttachToMail();
    else if (chosen == upload && uploadEnabled)
        OnUploadToFlickr();
}

void MainDlg::OnAttachToMail()
{
    const QStringList selected = mediaLibrary.SelectedFilePaths(mode);
    if (selected.isEmpty()) {
        ui::InformationBox(this, QStringLiteral("No items were selected!!"));
        return;
    }
    // The answer comes later; a recording or playback goes on meanwhile.
    mailAttachment.SendFilesByMail(selected, this, [](bool sent) {
        if (!sent)
            diag::OutputDebugString(QStringLiteral("Attach Mail function fail!"));
    });
}

void MainDlg::OnUploadToFlickr()
{
    uploader.OnUploadToFlickr(mediaLibrary, mode, paths.baseFolder + QStringLiteral("Talvora.xml"), this);
}
