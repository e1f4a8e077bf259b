#include "library/mail_attachment.h"

#include "platform/ui/message_box.h"

#include <QWidget>

namespace library {
namespace {
// The text for an outcome, empty when the user sees nothing.
QString OutcomeText(mail::MailOutcome outcome)
{
    switch (outcome) {
    case mail::MailOutcome::Success:
    case mail::MailOutcome::UserAbort: return {};
    case mail::MailOutcome::NoHandOff: return QStringLiteral("cant load dll");
    case mail::MailOutcome::NoEmailInterface: return QStringLiteral("Get dll address fail");
    case mail::MailOutcome::Failure: break;
    }
    return QStringLiteral("attach fail");
}
} // namespace

void MailAttachment::SendFilesByMail(const QStringList &paths, QWidget *owner, Done done)
{
    QPointer<QWidget> guard(owner);
    const bool hadOwner = owner != nullptr;
    composer_.Compose(paths, [guard, hadOwner, done](mail::MailOutcome outcome) {
        if (hadOwner && !guard)
            return;
        const QString text = OutcomeText(outcome);
        if (!text.isEmpty())
            ui::InformationBox(guard.data(), text);
        if (done)
            done(text.isEmpty());
    });
}

} // namespace library
