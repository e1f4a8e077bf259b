#include "platform/mail/mail_composer.h"

#include "platform/mail/portal_mail.h"
#include "platform/mail/xdg_email.h"

#include <QFileInfo>

namespace mail {

MailComposer::MailComposer(QObject *parent) : QObject(parent), bus_(QDBusConnection::sessionBus()) {}

void MailComposer::Compose(const QStringList &paths, Done done)
{
    // A file gone since it was listed is never handed over as a dangling path.
    for (const QString &path : paths) {
        if (!QFileInfo(path).isFile() || !QFileInfo(path).isReadable()) {
            done(MailOutcome::Failure);
            return;
        }
    }
    auto *portal = new PortalMail(bus_, timeoutMs_, this);
    portal->Compose(paths, [this, portal, paths, done](PortalMail::Result result) {
        portal->deleteLater();
        switch (result) {
        case PortalMail::Result::Success: done(MailOutcome::Success); break;
        case PortalMail::Result::UserAbort: done(MailOutcome::UserAbort); break;
        case PortalMail::Result::Failure: done(MailOutcome::Failure); break;
        case PortalMail::Result::NoPortal: Fallback(paths, MailOutcome::NoHandOff, done); break;
        case PortalMail::Result::NoEmailInterface: Fallback(paths, MailOutcome::NoEmailInterface, done); break;
        }
    });
}

void MailComposer::Fallback(const QStringList &paths, MailOutcome whenMissing, const Done &done)
{
    auto *xdg = new XdgEmail(timeoutMs_, this);
    xdg->Compose(paths, [xdg, whenMissing, done](XdgEmail::Result result) {
        xdg->deleteLater();
        switch (result) {
        case XdgEmail::Result::Success: done(MailOutcome::Success); break;
        case XdgEmail::Result::Failure: done(MailOutcome::Failure); break;
        case XdgEmail::Result::Missing: done(whenMissing); break;
        }
    });
}

} // namespace mail
