#pragma once
// Hands attachments to the user's mail client: the desktop portal first, then
// xdg-email where the portal is absent or cannot mail. Asynchronous and
// bounded; the window that asks stays responsive.
#include "platform/mail/mail_outcome.h"

#include <QDBusConnection>
#include <QObject>
#include <QStringList>
#include <functional>

namespace mail {

class MailComposer : public QObject {
    Q_OBJECT
public:
    using Done = std::function<void(MailOutcome)>;

    explicit MailComposer(QObject *parent = nullptr);

    // Tests talk to a private bus; the default is the session bus.
    void SetBus(const QDBusConnection &bus) { bus_ = bus; }
    // Longest wait for the portal's answer or xdg-email's exit.
    void SetTimeout(int ms) { timeoutMs_ = ms; }
    int Timeout() const { return timeoutMs_; }

    // New message, empty subject, no addresses, the paths attached in order.
    // done runs on this thread once; pending requests die with this object.
    void Compose(const QStringList &paths, Done done);

private:
    void Fallback(const QStringList &paths, MailOutcome whenMissing, const Done &done);

    QDBusConnection bus_;
    int timeoutMs_ = 60000;
};

} // namespace mail
