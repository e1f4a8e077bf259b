#pragma once
// A new mail with attachments through the desktop portal's Email interface
// (org.freedesktop.portal.Email.ComposeEmail). Asynchronous: the answer comes
// through the callback on the caller's thread, within a bounded time.
#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

class QTimer;
class QDBusPendingCallWatcher;

namespace mail {

class PortalMail : public QObject {
    Q_OBJECT
public:
    enum class Result {
        Success,
        UserAbort,
        Failure,
        NoPortal,         // no portal service on the bus
        NoEmailInterface, // the portal lacks the Email interface
    };
    using Done = std::function<void(Result)>;

    PortalMail(QDBusConnection bus, int timeoutMs, QObject *parent = nullptr);
    ~PortalMail() override;

    // Opens every path and hands the descriptors over, with an empty subject
    // and no addresses. A path that cannot be opened fails the whole request
    // before anything is sent. done is called exactly once, unless this
    // object is destroyed first.
    void Compose(const QStringList &paths, Done done);

private Q_SLOTS:
    void OnResponse(uint response, const QVariantMap &results);

private:
    void OnReply(QDBusPendingCallWatcher *watcher);
    void Subscribe(const QString &handle);
    void Unsubscribe();
    void Finish(Result result);

    QDBusConnection bus_;
    int timeoutMs_;
    QTimer *timer_;
    QString handle_;
    Done done_;
};

} // namespace mail
