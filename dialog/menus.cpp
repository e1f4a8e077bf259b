// MainDlg: the pop-up menus. The device menu opens the camera's and the
// microphone's settings; the list's menu deletes the selected captures.
// The share menu (mail and upload) comes with the sharing work.
#include "dialog/main_dlg.h"

#include "dialog/control_ids.h"
#include "platform/ui/list_view.h"

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

void MainDlg::OnDeleteSelected() { mediaLibrary.OnDeleteSelected(mode, this); }
