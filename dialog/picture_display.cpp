// MainDlg: showing a stored photo in the whole view (photo mode's Play). The
// photo is drawn by a transparent layer over the whole frame, raised above
// the (paused) preview's video window, so it stays in sight across exposes
// until it is cleared.
#include "dialog/main_dlg.h"

#include <QEvent>
#include <QWidget>

void MainDlg::DrawPictureInWholeFrame()
{
    if (!wholeFrame)
        return;
    if (!pictureLayer_) {
        pictureLayer_ = new QWidget(wholeFrame);
        pictureLayer_->setObjectName(QStringLiteral("pictureLayer"));
        // Clicks still reach the frame (its context menu).
        pictureLayer_->setAttribute(Qt::WA_TransparentForMouseEvents);
        pictureLayer_->installEventFilter(this);
    }
    pictureLayer_->setGeometry(wholeFrame->rect());
    pictureLayer_->show();
    pictureLayer_->raise();
    pictureLayer_->update();
}

void MainDlg::ClearPictureFromWholeFrame()
{
    if (pictureLayer_)
        pictureLayer_->hide();
}

bool MainDlg::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == pictureLayer_ && event->type() == QEvent::Paint) {
        // Only photo mode shows stored photos; elsewhere the layer stays empty.
        if (mode == Photo)
            picture.Draw(pictureLayer_, pictureRect);
        return true;
    }
    return QDialog::eventFilter(watched, event);
}
