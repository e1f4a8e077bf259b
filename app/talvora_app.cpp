#include "app/talvora_app.h"

#include "app/about_dlg.h"
#include "app/main_frame.h"
#include "dialog/main_dlg.h"
#include "platform/process/instance_lock.h"
#include "platform/process/signal_watcher.h"

#include <QApplication>

namespace {

// Closes the dialog the way its close box does. A message box that happens to
// be open would keep the dialog's loop waiting for the user, so it is closed
// first and the dialog's close is queued behind it.
void CloseForTermination(MainDlg &dialog)
{
    while (QWidget *modal = QApplication::activeModalWidget()) {
        if (modal == &dialog)
            break;
        if (auto *box = qobject_cast<QDialog *>(modal))
            box->reject();
        else
            modal->close();
        if (QApplication::activeModalWidget() == modal)
            break;
    }
    QMetaObject::invokeMethod(&dialog, &QWidget::close, Qt::QueuedConnection);
}

} // namespace

CTalvoraApp::CTalvoraApp() = default;

CTalvoraApp::~CTalvoraApp()
{
    // The lock goes last: until the process is really done it still runs.
    mainFrame_.reset();
    instanceMutex.reset();
}

bool CTalvoraApp::InitInstance()
{
    QApplication::setQuitOnLastWindowClosed(false);
    instanceMutex = process::InstanceLock::TryAcquire(QStringLiteral("Mutex"));
    if (!instanceMutex)
        return false;
    mainFrame_ = std::make_unique<CMainFrame>();
    QObject::connect(mainFrame_.get(), &CMainFrame::AboutRequested, [this] { OnAppAbout(); });

    MainDlg dialog;
    dialog.frameWindow = mainFrame_.get();
    dialog_ = &dialog;
    signals_ = std::make_unique<process::SignalWatcher>();
    // A termination request closes the dialog exactly as its close box does.
    QObject::connect(signals_.get(), &process::SignalWatcher::TerminationRequested, &dialog,
                     [&dialog](int) { CloseForTermination(dialog); });
    dialog.OnInitDialog();
    dialog.exec();
    signals_.reset();
    dialog_ = nullptr;
    return true;
}

int CTalvoraApp::Run()
{
    // The dialog posted a close to the frame; it may already have been handled.
    if (!mainFrame_ || mainFrame_->IsClosed())
        return 0;
    return QApplication::exec();
}

void CTalvoraApp::OnAppAbout()
{
    CAboutDlg about(mainFrame_.get());
    about.exec();
}
