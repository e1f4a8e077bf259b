#include "platform/session/session_notifier.h"

#include "platform/session/session_events.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusUnixFileDescriptor>
#include <QFileInfo>
#include <fcntl.h>
#include <unistd.h>

namespace session {

namespace {

const QString kService = QStringLiteral("org.freedesktop.login1");
const QString kManagerPath = QStringLiteral("/org/freedesktop/login1");
const QString kManager = QStringLiteral("org.freedesktop.login1.Manager");
const QString kSession = QStringLiteral("org.freedesktop.login1.Session");
const QString kSeat = QStringLiteral("org.freedesktop.login1.Seat");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");

// A logind that answers slowly is given this long per call, then forgotten.
constexpr int kCallTimeoutMs = 2000;

QString SystemBusAddress()
{
    const QString address = qEnvironmentVariable("DBUS_SYSTEM_BUS_ADDRESS");
    return address.isEmpty() ? QStringLiteral("unix:path=/run/dbus/system_bus_socket") : address;
}

// A unix socket that is not there cannot be connected; looking first saves
// libdbus's attempt (and its complaint) on machines without a system bus.
bool SocketMissing(const QString &address)
{
    if (!address.startsWith(QLatin1String("unix:path=")))
        return false;
    QString path = address.mid(10);
    path = path.left(path.indexOf(QLatin1Char(',')) < 0 ? path.size() : path.indexOf(QLatin1Char(',')));
    return !QFileInfo::exists(path);
}

unsigned NumericId(const QString &id)
{
    bool ok = false;
    const unsigned value = id.toUInt(&ok);
    return ok ? value : 0;
}

// The object path of a logind "(so)" property (Seat, ActiveSession); empty
// when there is none ("/").
QString ObjectPathOf(const QVariant &value)
{
    if (!value.canConvert<QDBusArgument>())
        return {};
    const QDBusArgument arg = value.value<QDBusArgument>();
    QString id;
    QDBusObjectPath path;
    arg.beginStructure();
    arg >> id >> path;
    arg.endStructure();
    return path.path() == QLatin1String("/") ? QString() : path.path();
}

QDBusMessage GetProperty(const QString &path, const QString &interface, const QString &name)
{
    QDBusMessage message = QDBusMessage::createMethodCall(kService, path, kProperties, QStringLiteral("Get"));
    message << interface << name;
    return message;
}

} // namespace

SessionNotifier::SessionNotifier()
{
    static int serial = 0;
    connectionName_ = QStringLiteral("talvora-session-%1").arg(++serial);
}

SessionNotifier::~SessionNotifier() { Unregister(); }

void SessionNotifier::Register(Handlers handlers)
{
    Unregister();
    handlers_ = std::move(handlers);
    ConnectToSystemBus();
    if (!connected_)
        return;
    QDBusConnection bus(connectionName_);
    bus.connect(kService, kManagerPath, kManager, QStringLiteral("PrepareForSleep"), this,
                SLOT(OnPrepareForSleep(bool)));
    TakeInhibitor();
    FindOwnSession();
}

void SessionNotifier::ConnectToSystemBus()
{
    const QString address = SystemBusAddress();
    if (SocketMissing(address))
        return;
    QDBusConnection bus = QDBusConnection::connectToBus(address, connectionName_);
    connected_ = bus.isConnected();
    if (!connected_)
        QDBusConnection::disconnectFromBus(connectionName_);
}

void SessionNotifier::Unregister()
{
    // Pending replies die with their watchers, so none arrives afterwards.
    qDeleteAll(findChildren<QDBusPendingCallWatcher *>(Qt::FindDirectChildrenOnly));
    ReleaseInhibitor();
    if (connected_) {
        QDBusConnection bus(connectionName_);
        bus.disconnect(kService, kManagerPath, kManager, QStringLiteral("PrepareForSleep"), this,
                       SLOT(OnPrepareForSleep(bool)));
        if (!sessionPath_.isEmpty()) {
            bus.disconnect(kService, sessionPath_, kProperties, QStringLiteral("PropertiesChanged"), this,
                           SLOT(OnSessionPropertiesChanged(QString, QVariantMap, QStringList)));
            bus.disconnect(kService, sessionPath_, kSession, QStringLiteral("Lock"), this, SLOT(OnLock()));
            bus.disconnect(kService, sessionPath_, kSession, QStringLiteral("Unlock"), this, SLOT(OnUnlock()));
        }
        if (!seatPath_.isEmpty())
            bus.disconnect(kService, seatPath_, kProperties, QStringLiteral("PropertiesChanged"), this,
                           SLOT(OnSeatPropertiesChanged(QString, QVariantMap, QStringList)));
        QDBusConnection::disconnectFromBus(connectionName_);
    }
    connected_ = false;
    handlers_ = {};
    sessionPath_.clear();
    sessionId_ = 0;
    active_ = true;
    lockedHint_ = false;
    greeterShown_ = false;
    locked_ = false;
    disconnected_ = false;
    seatPath_.clear();
    ++takerQuery_;
    sleeping_ = false;
    suspendQueued_ = false;
    inhibitPending_ = false;
}

void SessionNotifier::Call(const QDBusMessage &message, std::function<void(QDBusPendingCallWatcher *)> done)
{
    QDBusConnection bus(connectionName_);
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(message, kCallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [done = std::move(done)](QDBusPendingCallWatcher *w) {
        done(w);
        w->deleteLater();
    });
}

// The program's own session: the one the desktop named, else the one logind
// keeps this process in.
void SessionNotifier::FindOwnSession()
{
    const QString id = qEnvironmentVariable("XDG_SESSION_ID");
    QDBusMessage message =
        id.isEmpty() ? QDBusMessage::createMethodCall(kService, kManagerPath, kManager, QStringLiteral("GetSessionByPID"))
                     : QDBusMessage::createMethodCall(kService, kManagerPath, kManager, QStringLiteral("GetSession"));
    if (id.isEmpty())
        message << static_cast<uint>(::getpid());
    else
        message << id;
    Call(message, [this](QDBusPendingCallWatcher *w) {
        QDBusPendingReply<QDBusObjectPath> reply = *w;
        if (reply.isValid())
            FollowSession(reply.value().path());
    });
}

void SessionNotifier::FollowSession(const QString &path)
{
    sessionPath_ = path;
    QDBusConnection bus(connectionName_);
    bus.connect(kService, path, kProperties, QStringLiteral("PropertiesChanged"), this,
                SLOT(OnSessionPropertiesChanged(QString, QVariantMap, QStringList)));
    bus.connect(kService, path, kSession, QStringLiteral("Lock"), this, SLOT(OnLock()));
    bus.connect(kService, path, kSession, QStringLiteral("Unlock"), this, SLOT(OnUnlock()));
    ReadSessionProperties();
}

// The session's state as it is now: a base to compare changes with, not an event.
void SessionNotifier::ReadSessionProperties()
{
    QDBusMessage message = QDBusMessage::createMethodCall(kService, sessionPath_, kProperties, QStringLiteral("GetAll"));
    message << kSession;
    Call(message, [this](QDBusPendingCallWatcher *w) {
        QDBusPendingReply<QVariantMap> reply = *w;
        if (reply.isValid())
            ApplySessionProperties(reply.value(), false);
    });
}

void SessionNotifier::ApplySessionProperties(const QVariantMap &properties, bool announce)
{
    if (properties.contains(QStringLiteral("Id")))
        sessionId_ = NumericId(properties.value(QStringLiteral("Id")).toString());
    if (properties.contains(QStringLiteral("Seat")) && seatPath_.isEmpty())
        FollowSeat(ObjectPathOf(properties.value(QStringLiteral("Seat"))));
    if (properties.contains(QStringLiteral("LockedHint")))
        SetLocked(properties.value(QStringLiteral("LockedHint")).toBool(), announce);
    if (properties.contains(QStringLiteral("Active")))
        SetActive(properties.value(QStringLiteral("Active")).toBool(), announce);
}

void SessionNotifier::SetActive(bool active, bool announce)
{
    if (active == active_)
        return;
    active_ = active;
    ++takerQuery_;
    if (!announce) {
        // Started in a session that is switched away: coming back is a connect.
        disconnected_ = !active;
        return;
    }
    if (!active) {
        FindTaker();
        return;
    }
    if (disconnected_) {
        disconnected_ = false;
        DeliverSessionChange(WTS_CONSOLE_CONNECT);
    }
    greeterShown_ = false;
    AnnounceLocked();
}

void SessionNotifier::FollowSeat(const QString &path)
{
    if (path.isEmpty())
        return;
    seatPath_ = path;
    QDBusConnection(connectionName_)
        .connect(kService, path, kProperties, QStringLiteral("PropertiesChanged"), this,
                 SLOT(OnSeatPropertiesChanged(QString, QVariantMap, QStringList)));
}

// While this session is away, the seat's new active session may be the next
// user coming after the greeter.
void SessionNotifier::OnSeatPropertiesChanged(const QString &interface, const QVariantMap &changed,
                                              const QStringList &invalidated)
{
    if (interface != kSeat || active_)
        return;
    if (changed.contains(QStringLiteral("ActiveSession")) || invalidated.contains(QStringLiteral("ActiveSession")))
        FindTaker();
}

void SessionNotifier::FindTaker()
{
    const unsigned query = ++takerQuery_;
    if (seatPath_.isEmpty()) {
        Away(Taker::Unknown);
        return;
    }
    Call(GetProperty(seatPath_, kSeat, QStringLiteral("ActiveSession")), [this, query](QDBusPendingCallWatcher *w) {
        if (query != takerQuery_)
            return;
        QDBusPendingReply<QDBusVariant> reply = *w;
        if (!reply.isValid()) {
            Away(Taker::Unknown);
            return;
        }
        const QString taker = ObjectPathOf(reply.value().variant());
        if (taker.isEmpty() || taker == sessionPath_) {
            // A seat that names this session while it is inactive is not telling the truth.
            Away(taker.isEmpty() ? Taker::Nobody : Taker::Unknown);
            return;
        }
        Call(GetProperty(taker, kSession, QStringLiteral("Class")), [this, query](QDBusPendingCallWatcher *w2) {
            if (query != takerQuery_)
                return;
            QDBusPendingReply<QDBusVariant> kind = *w2;
            if (!kind.isValid()) {
                Away(Taker::Unknown);
                return;
            }
            const QString cls = kind.value().variant().toString();
            Away(cls == QLatin1String("greeter") || cls == QLatin1String("lock-screen") ? Taker::Greeter
                                                                                        : Taker::OtherSession);
        });
    });
}

void SessionNotifier::Away(Taker taker)
{
    if (active_)
        return;
    if (taker == Taker::Greeter) {
        greeterShown_ = true;
        AnnounceLocked();
        return;
    }
    if (taker == Taker::Nobody || (taker == Taker::Unknown && lockedHint_))
        return;
    if (!disconnected_) {
        disconnected_ = true;
        DeliverSessionChange(WTS_CONSOLE_DISCONNECT);
    }
}

void SessionNotifier::OnSessionPropertiesChanged(const QString &interface, const QVariantMap &changed,
                                                 const QStringList &invalidated)
{
    if (interface != kSession)
        return;
    ApplySessionProperties(changed, true);
    if (invalidated.contains(QStringLiteral("Active")) || invalidated.contains(QStringLiteral("LockedHint"))) {
        // Only the name came: read the values, and report what changed.
        QDBusMessage message =
            QDBusMessage::createMethodCall(kService, sessionPath_, kProperties, QStringLiteral("GetAll"));
        message << kSession;
        Call(message, [this](QDBusPendingCallWatcher *w) {
            QDBusPendingReply<QVariantMap> reply = *w;
            if (reply.isValid())
                ApplySessionProperties(reply.value(), true);
        });
    }
}

// The Lock signal asks the screen locker to lock, which then sets LockedHint:
// one lock, one event.
void SessionNotifier::SetLocked(bool locked, bool announce)
{
    lockedHint_ = locked;
    if (announce)
        AnnounceLocked();
    else
        locked_ = lockedHint_ || greeterShown_;
}

void SessionNotifier::AnnounceLocked()
{
    const bool locked = lockedHint_ || greeterShown_;
    if (locked == locked_)
        return;
    locked_ = locked;
    DeliverSessionChange(locked ? WTS_SESSION_LOCK : WTS_SESSION_UNLOCK);
}

void SessionNotifier::OnLock() { SetLocked(true, true); }
void SessionNotifier::OnUnlock() { SetLocked(false, true); }

void SessionNotifier::OnPrepareForSleep(bool start)
{
    if (start == sleeping_)
        return;
    sleeping_ = start;
    if (start) {
        // The inhibitor goes only once the handler has stopped (and closed) everything.
        suspendQueued_ = true;
        DeliverPower({PBT_APMSUSPEND}, true);
    } else {
        TakeInhibitor();
        DeliverPower({PBT_APMRESUMEAUTOMATIC, PBT_APMRESUMESUSPEND}, false);
    }
}

void SessionNotifier::DeliverSessionChange(unsigned event)
{
    QMetaObject::invokeMethod(
        this,
        [this, event] {
            if (handlers_.sessionChange)
                handlers_.sessionChange(event, sessionId_);
        },
        Qt::QueuedConnection);
}

void SessionNotifier::DeliverPower(std::initializer_list<unsigned> events, bool releaseAfter)
{
    QMetaObject::invokeMethod(
        this,
        [this, list = std::vector<unsigned>(events), releaseAfter] {
            for (unsigned event : list)
                if (handlers_.powerBroadcast)
                    handlers_.powerBroadcast(event, 0);
            if (releaseAfter) {
                suspendQueued_ = false;
                ReleaseInhibitor();
                // A resume that came while the handler ran found the old one still held.
                if (!sleeping_ && connected_)
                    TakeInhibitor();
            }
        },
        Qt::QueuedConnection);
}

void SessionNotifier::TakeInhibitor()
{
    if (inhibitPending_ || inhibitorFd_ >= 0)
        return;
    inhibitPending_ = true;
    QDBusMessage message = QDBusMessage::createMethodCall(kService, kManagerPath, kManager, QStringLiteral("Inhibit"));
    message << QStringLiteral("sleep") << QStringLiteral("Talvora") << QStringLiteral("Finishing the recording")
            << QStringLiteral("delay");
    Call(message, [this](QDBusPendingCallWatcher *w) { OnInhibitReply(w); });
}

void SessionNotifier::OnInhibitReply(QDBusPendingCallWatcher *watcher)
{
    inhibitPending_ = false;
    QDBusPendingReply<QDBusUnixFileDescriptor> reply = *watcher;
    if (!reply.isValid() || !reply.value().isValid())
        return;
    if (inhibitorFd_ >= 0)
        return; // the reply's copy closes with the message
    // logind counted this inhibitor as soon as it answered: while the suspend
    // handler is still to run it holds the sleep like any other, but once the
    // handler is done it would only hold the machine up.
    if (sleeping_ && !suspendQueued_)
        return;
    // Our own copy: the reply's closes when the message goes.
    inhibitorFd_ = ::fcntl(reply.value().fileDescriptor(), F_DUPFD_CLOEXEC, 3);
}

void SessionNotifier::ReleaseInhibitor()
{
    if (inhibitorFd_ >= 0)
        ::close(inhibitorFd_);
    inhibitorFd_ = -1;
}

} // namespace session
