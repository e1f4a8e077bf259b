#pragma once
// How a hand-off of attachments to the user's mail client ended.

namespace mail {

enum class MailOutcome {
    Success,          // the mail client took the message
    UserAbort,        // the user closed the compose window
    Failure,          // any other failure, a time-out included
    NoHandOff,        // neither the desktop portal nor xdg-email exists
    NoEmailInterface, // the portal runs but offers no Email interface, and xdg-email is missing
};

} // namespace mail
