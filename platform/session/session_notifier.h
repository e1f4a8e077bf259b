#pragma once
// SessionNotifier: session notifications and power broadcasts from
// systemd-logind on the system bus. It follows the program's own session
// (Active, Lock/Unlock, LockedHint) and the manager's PrepareForSleep, and
// holds a delay inhibitor so that the suspend handler can finish a recording
// before the machine sleeps.
//
// Mapping (logind → event code):
//   session Active true → false, and another user's session active on the seat
//                                   WTS_CONSOLE_DISCONNECT
//   session Active false → true after that
//                                   WTS_CONSOLE_CONNECT
//   Lock, or LockedHint → true, or Active → false for a greeter or lock screen
//   ("greeter", "lock-screen" class) WTS_SESSION_LOCK    (once per lock)
//   Unlock, or LockedHint → false, or Active again after such a lock
//                                   WTS_SESSION_UNLOCK   (once per unlock)
// Some screen lockers lock by switching the seat to the display manager's
// greeter, which turns the session inactive; locking must stop nothing, so an
// inactive session is a disconnect only once another user's session is the
// seat's active one (while the greeter shows, that is watched for). A seat
// with no active session (a text console) is neither. When the seat cannot be
// asked, LockedHint decides: locked is a lock, else a disconnect.
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
    void OnSeatPropertiesChanged(const QString &interface, const QVariantMap &changed,
                                 const QStringList &invalidated);

private:
    void ConnectToSystemBus();
    void FindOwnSession();
    void FollowSession(const QString &path);
    void ReadSessionProperties();
    void ApplySessionProperties(const QVariantMap &properties, bool announce);
    void SetLocked(bool locked, bool announce);
    void AnnounceLocked();
    void SetActive(bool active, bool announce);
    void FollowSeat(const QString &path);
    // Who took the seat from this session: asked of logind, then Away().
    enum class Taker { Greeter, Nobody, OtherSession, Unknown };
    void FindTaker();
    void Away(Taker taker);
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
    bool lockedHint_ = false;   // Lock/Unlock and LockedHint
    bool greeterShown_ = false; // the seat went to a greeter or lock screen
    bool locked_ = false;       // the lock last announced
    bool disconnected_ = false; // a disconnect was announced
    QString seatPath_;
    // Answers about the seat that come after the session is back are dropped.
    unsigned takerQuery_ = 0;
    // Between PrepareForSleep(true) and (false): a repeated start or a resume
    // without a suspend is ignored.
    bool sleeping_ = false;
    // The suspend handler is queued but has not run yet.
    bool suspendQueued_ = false;
    bool inhibitPending_ = false;
    int inhibitorFd_ = -1;
};

} // namespace session
