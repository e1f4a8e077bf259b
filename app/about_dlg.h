#pragma once
// CAboutDlg: the about box, reached only from the hidden frame's Help menu.
#include <QDialog>

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget *parent = nullptr);
};
