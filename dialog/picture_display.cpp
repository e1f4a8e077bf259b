// MainDlg: showing a stored photo in the whole view.
// Not built yet: the picture display work draws it.
#include "dialog/main_dlg.h"

void MainDlg::DrawPictureInWholeFrame() {}

void MainDlg::ClearPictureFromWholeFrame() {}
