#pragma once
// Attaching captures to a new mail in the user's own mail client.
//
// Outcomes of the hand-off and what the user sees:
//   sent, or the user closed the compose window   nothing; true
//   no portal and no xdg-email on the machine      "cant load dll"; false
//   portal without its Email interface, and no
//   xdg-email                                      "Get dll address fail"; false
//   any other failure (portal answer 2, xdg-email
//   exit not 0, a file gone, no answer in time)    "attach fail", once; false
// The caller writes "Attach Mail function fail!" to the debugger channel on false.
#include "platform/mail/mail_composer.h"

#include <QPointer>
#include <QStringList>
#include <functional>

class QWidget;

namespace library {

class MailAttachment {
public:
    using Done = std::function<void(bool)>;

    // The hand-off is asynchronous: the window stays live while the mail
    // client opens. done(result) runs on the dialog's thread once the client
    // has answered; the message box (owned by owner) comes first. Nothing runs
    // after owner is gone.
    void SendFilesByMail(const QStringList &paths, QWidget *owner, Done done);

    mail::MailComposer &Composer() { return composer_; }

private:
    mail::MailComposer composer_;
};

} // namespace library
