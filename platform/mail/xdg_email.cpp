#include "platform/mail/xdg_email.h"

#include "platform/diag/diagnostics.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTimer>

namespace mail {

XdgEmail::XdgEmail(int timeoutMs, QObject *parent) : QObject(parent), timeoutMs_(timeoutMs), timer_(new QTimer(this))
{
    timer_->setSingleShot(true);
    connect(timer_, &QTimer::timeout, this, [this] {
        diag::OutputDebugString(QStringLiteral("xdg-email still running; left to the mail client"));
        // The process outlives this request; it ends with the composer.
        if (process_ && this->parent())
            process_->setParent(this->parent());
        Finish(Result::Success);
    });
}

QString XdgEmail::Find() { return QStandardPaths::findExecutable(QStringLiteral("xdg-email")); }

QStringList XdgEmail::Arguments(const QStringList &paths)
{
    QStringList args = {QStringLiteral("--subject"), QString()};
    for (const QString &path : paths)
        args << QStringLiteral("--attach") << path;
    return args;
}

void XdgEmail::Compose(const QStringList &paths, Done done)
{
    done_ = std::move(done);
    const QString program = Find();
    if (program.isEmpty()) {
        Finish(Result::Missing);
        return;
    }
    process_ = new QProcess(this);
    process_->setProgram(program);
    process_->setArguments(Arguments(paths));
    process_->setStandardInputFile(QProcess::nullDevice());
    process_->setStandardOutputFile(QProcess::nullDevice());
    QProcess *started = process_;
    connect(started, &QProcess::errorOccurred, this, [this, started](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart && started == process_)
            Finish(Result::Failure);
    });
    connect(started, &QProcess::finished, this, [this, started](int code, QProcess::ExitStatus status) {
        if (started == process_)
            Finish(status == QProcess::NormalExit && code == 0 ? Result::Success : Result::Failure);
    });
    timer_->start(timeoutMs_);
    started->start();
}

void XdgEmail::Finish(Result result)
{
    timer_->stop();
    process_ = nullptr;
    if (Done done = std::exchange(done_, nullptr))
        done(result);
}

} // namespace mail
