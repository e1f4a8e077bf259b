#include "platform/mail/portal_mail.h"

#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusUnixFileDescriptor>
#include <QFile>
#include <QTimer>
#include <QUuid>
#include <fcntl.h>
#include <unistd.h>

namespace mail {
namespace {
const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kEmail = QStringLiteral("org.freedesktop.portal.Email");
const QString kRequest = QStringLiteral("org.freedesktop.portal.Request");

// Errors that mean "no portal here" or "this portal cannot mail"; every
// other error is a failure of the request itself.
PortalMail::Result Classify(const QString &error)
{
    static const QStringList absent = {
        QStringLiteral("org.freedesktop.DBus.Error.ServiceUnknown"),
        QStringLiteral("org.freedesktop.DBus.Error.NameHasNoOwner"),
        QStringLiteral("org.freedesktop.DBus.Error.Disconnected"),
        QStringLiteral("org.freedesktop.DBus.Error.NoServer"),
        QStringLiteral("org.freedesktop.DBus.Error.Spawn.ServiceNotFound"),
        QStringLiteral("org.freedesktop.DBus.Error.Spawn.ExecFailed"),
        QStringLiteral("org.freedesktop.DBus.Error.Spawn.ChildExited"),
    };
    static const QStringList noEmail = {
        QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod"),
        QStringLiteral("org.freedesktop.DBus.Error.UnknownInterface"),
        QStringLiteral("org.freedesktop.DBus.Error.UnknownObject"),
    };
    if (absent.contains(error))
        return PortalMail::Result::NoPortal;
    if (noEmail.contains(error))
        return PortalMail::Result::NoEmailInterface;
    return PortalMail::Result::Failure;
}

// Descriptors for every path, or an empty list when one cannot be opened.
QList<QDBusUnixFileDescriptor> OpenAll(const QStringList &paths)
{
    QList<QDBusUnixFileDescriptor> fds;
    for (const QString &path : paths) {
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return {};
        fds.append(QDBusUnixFileDescriptor(fd)); // duplicates it
        ::close(fd);
    }
    return fds;
}
} // namespace

PortalMail::PortalMail(QDBusConnection bus, int timeoutMs, QObject *parent)
    : QObject(parent), bus_(std::move(bus)), timeoutMs_(timeoutMs), timer_(new QTimer(this))
{
    qDBusRegisterMetaType<QList<QDBusUnixFileDescriptor>>();
    timer_->setSingleShot(true);
    connect(timer_, &QTimer::timeout, this, [this] { Finish(Result::Failure); });
}

PortalMail::~PortalMail() { Unsubscribe(); }

void PortalMail::Compose(const QStringList &paths, Done done)
{
    done_ = std::move(done);
    if (!bus_.isConnected()) {
        Finish(Result::NoPortal);
        return;
    }
    const QList<QDBusUnixFileDescriptor> fds = OpenAll(paths);
    if (fds.size() != paths.size() || paths.isEmpty()) {
        Finish(Result::Failure);
        return;
    }
    // The answer may arrive before the call returns: listen on the request
    // path the portal derives from our bus name and the token, in advance.
    const QString token = QStringLiteral("talvora_") + QUuid::createUuid().toString(QUuid::Id128);
    QString sender = bus_.baseService().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    Subscribe(QStringLiteral("%1/request/%2/%3").arg(kPath, sender, token));

    QVariantMap options;
    options.insert(QStringLiteral("handle_token"), token);
    options.insert(QStringLiteral("subject"), QString(QLatin1String("")));
    options.insert(QStringLiteral("attachment_fds"), QVariant::fromValue(fds));
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kEmail, QStringLiteral("ComposeEmail"));
    call << QString() << options;
    auto *watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call, timeoutMs_), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, &PortalMail::OnReply);
    timer_->start(timeoutMs_);
}

void PortalMail::OnReply(QDBusPendingCallWatcher *watcher)
{
    watcher->deleteLater();
    if (!done_)
        return;
    QDBusPendingReply<QDBusObjectPath> reply = *watcher;
    if (reply.isError()) {
        Finish(Classify(reply.error().name()));
        return;
    }
    // Older portals choose their own request path.
    const QString handle = reply.value().path();
    if (handle != handle_) {
        Unsubscribe();
        Subscribe(handle);
    }
}

void PortalMail::OnResponse(uint response, const QVariantMap &)
{
    switch (response) {
    case 0: Finish(Result::Success); break;
    case 1: Finish(Result::UserAbort); break;
    default: Finish(Result::Failure); break;
    }
}

void PortalMail::Subscribe(const QString &handle)
{
    handle_ = handle;
    bus_.connect(QString(), handle_, kRequest, QStringLiteral("Response"), this,
                 SLOT(OnResponse(uint, QVariantMap)));
}

void PortalMail::Unsubscribe()
{
    if (handle_.isEmpty())
        return;
    bus_.disconnect(QString(), handle_, kRequest, QStringLiteral("Response"), this,
                    SLOT(OnResponse(uint, QVariantMap)));
    handle_.clear();
}

void PortalMail::Finish(Result result)
{
    timer_->stop();
    Unsubscribe();
    if (Done done = std::exchange(done_, nullptr))
        done(result);
}

} // namespace mail
