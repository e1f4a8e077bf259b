#include "platform/ui/message_box.h"

#include "platform/diag/diagnostics.h"

#include <QMessageBox>
#include <QThread>
#include <QCoreApplication>
#include <atomic>

namespace ui {
namespace {
std::atomic<MessageBoxPresenter *> g_presenter{nullptr};

void ShowQtBox(QWidget *owner, const QString &title, const QString &text,
               QMessageBox::Icon icon = QMessageBox::Information)
{
    QMessageBox box(icon, title, text, QMessageBox::Ok, owner);
    box.exec();
}

bool OnGuiThread()
{
    return QCoreApplication::instance() && QThread::currentThread() == QCoreApplication::instance()->thread();
}
} // namespace

MessageBoxPresenter *SetPresenter(MessageBoxPresenter *presenter)
{
    return g_presenter.exchange(presenter);
}

void InformationBox(QWidget *owner, const QString &text)
{
    if (MessageBoxPresenter *p = g_presenter.load()) {
        p->ShowInformation(owner, kApplicationTitle, text);
        return;
    }
    // A box can only be shown on the GUI thread; anywhere else the text is kept
    // on the diagnostics channel rather than lost or crashing the process.
    if (!OnGuiThread()) {
        diag::OutputDebugString(QStringLiteral("message box: ") + text);
        return;
    }
    ShowQtBox(owner, kApplicationTitle, text);
}

void ErrorBox(QWidget *owner, const QString &title, const QString &text)
{
    if (MessageBoxPresenter *p = g_presenter.load()) {
        p->ShowError(owner, title, text);
        return;
    }
    if (!OnGuiThread()) {
        diag::OutputDebugString(QStringLiteral("message box: ") + text);
        return;
    }
    ShowQtBox(owner, title, text, QMessageBox::Critical);
}

RecordingPresenter::RecordingPresenter() : previous_(SetPresenter(this)) {}

RecordingPresenter::~RecordingPresenter() { SetPresenter(previous_); }

void RecordingPresenter::ShowInformation(QWidget *, const QString &title, const QString &text)
{
    std::lock_guard lock(mutex_);
    texts_.append(text);
    lastTitle_ = title;
}

QStringList RecordingPresenter::Texts() const
{
    std::lock_guard lock(mutex_);
    return texts_;
}

QString RecordingPresenter::LastTitle() const
{
    std::lock_guard lock(mutex_);
    return lastTitle_;
}

void RecordingPresenter::Clear()
{
    std::lock_guard lock(mutex_);
    texts_.clear();
}

} // namespace ui
