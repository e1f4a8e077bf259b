#pragma once
// A new mail with attachments through xdg-email, started with an argument
// list (never a shell): xdg-email --subject '' --attach P1 --attach P2 ...
// Asynchronous; the answer comes through the callback on the caller's thread.
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

class QProcess;
class QTimer;

namespace mail {

class XdgEmail : public QObject {
    Q_OBJECT
public:
    enum class Result { Success, Failure, Missing };
    using Done = std::function<void(Result)>;

    XdgEmail(int timeoutMs, QObject *parent = nullptr);

    // The xdg-email found on PATH, or empty.
    static QString Find();
    static QStringList Arguments(const QStringList &paths);

    // Exit 0 is success, anything else a failure. Some mail clients keep
    // xdg-email waiting until they close: when it still runs after the
    // time-out the message is with the client, so that counts as success and
    // the process is left running. done is called exactly once, unless this
    // object is destroyed first.
    void Compose(const QStringList &paths, Done done);

private:
    void Finish(Result result);

    int timeoutMs_;
    QTimer *timer_;
    QProcess *process_ = nullptr;
    Done done_;
};

} // namespace mail
