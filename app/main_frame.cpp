#include "app/main_frame.h"

#include "app/child_view.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>

CMainFrame::CMainFrame()
{
    setWindowTitle(QStringLiteral("Talvora"));
    CreateMenus();
    addToolBar(QStringLiteral("Standard"));
    // Four indicator panes: the message pane and the key-state indicators.
    for (const char *pane : {"", "CAP", "NUM", "SCRL"})
        statusBar()->addPermanentWidget(new QWidget(this), pane[0] ? 0 : 1);
    setCentralWidget(new CChildView(this));
}

void CMainFrame::CreateMenus()
{
    QMenu *file = menuBar()->addMenu(QStringLiteral("&File"));
    file->addAction(QStringLiteral("E&xit"), this, &QWidget::close);
    menuBar()->addMenu(QStringLiteral("&Edit"));
    menuBar()->addMenu(QStringLiteral("&View"));
    QMenu *help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->addAction(QStringLiteral("&About Talvora..."), this, [this] { Q_EMIT AboutRequested(); });
}

void CMainFrame::closeEvent(QCloseEvent *event)
{
    closed_ = true;
    event->accept();
    QCoreApplication::quit();
}
