#pragma once
// CMainFrame: the application's invisible main window. Closing it ends the
// message loop, which is how the program ends after the dialog is gone.
#include <QMainWindow>

class CChildView;

class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    CMainFrame();
    bool IsClosed() const { return closed_; }

Q_SIGNALS:
    void AboutRequested();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void CreateMenus();
    bool closed_ = false;
};
