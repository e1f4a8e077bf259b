#pragma once
// SessionNotifier: session notifications and power broadcasts from
// systemd-logind on the system bus. It follows the program's own session
// (Active, Lock/Unlock, LockedHint) and the manager's PrepareForSleep, and
// holds a delay inhibitor so that the suspend handler can finish a recording
// before the machine sleeps.
//
// Mapping (logind → event code):
//   session Active true → false     WTS_CONSOLE_DISCONNECT
//   session Active false → true     WTS_CONSOLE_CONNECT
//   Lock, or LockedHint → true      WTS_SESSION_LOCK     (once per lock)
//   Unlock, or LockedHint → false   WTS_SESSION_UNLOCK   (once per unlock)
//   PrepareForSleep(true)           PBT_APMSUSPEND
//   PrepareForSleep(false)          PBT_APMRESUMEAUTOMATIC, then PBT_APMRESUMESUSPEND
// Left unmapped, as logind has nothing like them: the remote connect and
// disconnect events (a session does not change between local and remote),
// logon and logoff of the session (the program starts inside it and ends with
// it), the suspend query and its failure (logind never asks a delay
// inhibitor), a resume from a critical suspend (logind always announces
// sleep) and power status changes (batteries are not logind's business).
//
// Every bus call is asynchronous with a bounded time-out; without a system
// bus or without logind nothing happens, silently. Events reach the handlers
// as queued calls on the thread that registered.
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <functional>

class QDBusPendingCallWatcher;
class QDBusMessage;

namespace session {

struct Handlers {
    // Event code and session id; the result is the message's result.
    std::function<long(unsigned event, unsigned sessionId)> sessionChange;
    // Event code and its data; the result is the message's result.
    std::function<long(unsigned event, long data)> powerBroadcast;
};

class SessionNotifier final : public QObject {
    Q_OBJECT
public:
    SessionNotifier();
    ~SessionNotifier() override;
    SessionNotifier(const SessionNotifier &) = delete;
    SessionNotifier &operator=(const SessionNotifier &) = delete;

    // Starts listening; returns at once. A second call re-registers.
    void Register(Handlers handlers);
    // Stops listening, releases the inhibitor and leaves the bus. Never waits
    // on the bus; safe to call twice.
    void Unregister();

    bool Connected() const { return connected_; }
    bool HoldsInhibitor() const { return inhibitorFd_ >= 0; }
    // The object path of the session followed; empty until logind named it.
    QString SessionPath() const { return sessionPath_; }

private Q_SLOTS:
    void OnPrepareForSleep(bool start);
    void OnSessionPropertiesChanged(const QString &interface, const QVariantMap &changed,
                                    const QStringList &invalidated);
    void OnLock();
    void OnUnlock();

private:
    void ConnectToSystemBus();
    void FindOwnSession();
    void FollowSession(const QString &path);
    void ReadSessionProperties();
    void ApplySessionProperties(const QVariantMap &properties, bool announce);
    void SetLocked(bool locked, bool announce);
    void TakeInhibitor();
    void OnInhibitReply(QDBusPendingCallWatcher *watcher);
    void ReleaseInhibitor();
    void Call(const QDBusMessage &message, std::function<void(QDBusPendingCallWatcher *)> done);
    void DeliverSessionChange(unsigned event);
    void DeliverPower(std::initializer_list<unsigned> events, bool releaseAfter);

    QString connectionName_;
    bool connected_ = false;
    Handlers handlers_;
    QString sessionPath_;
    unsigned sessionId_ = 0;
    bool active_ = true;
    bool locked_ = false;
    // Between PrepareForSleep(true) and (false): a repeated start or a resume
    // without a suspend is ignored.
    bool sleeping_ = false;
    // The suspend handler is queued but has not run yet.
    bool suspendQueued_ = false;
    bool inhibitPending_ = false;
    int inhibitorFd_ = -1;
};

} // namespace session
