#pragma once
// A private system bus with logind's mock on it (python3-dbusmock's logind
// template), for the session and power tests and the benchmark. The bus is
// exported as DBUS_SYSTEM_BUS_ADDRESS while the object lives; the program's
// session is "c1", found through GetSessionByPID.
#include <QDBusConnection>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

namespace testenv {

struct Inhibitor {
    QString what, who, why, mode;
};

class MockLogind {
public:
    enum class Start { WithLogind, BusOnly };
    explicit MockLogind(Start start = Start::WithLogind);
    ~MockLogind();
    MockLogind(const MockLogind &) = delete;
    MockLogind &operator=(const MockLogind &) = delete;

    // False (with the reason) when the bus or the mock did not come up.
    bool Ready() const { return ready_; }
    QString Error() const { return error_; }
    QString Address() const { return address_; }
    static QString SessionPath(const QString &id = QStringLiteral("c1"));

    // Adds one more session (active or not) for the XDG_SESSION_ID path.
    bool AddSession(const QString &id, bool active);
    // A session of another user on the same seat, not active, of the given
    // class ("user", "greeter", "lock-screen").
    bool AddOtherSession(const QString &id, const QString &sessionClass);
    // The seat switches to that session (empty: to none, a text console),
    // in logind's order: the seat's ActiveSession, then the sessions' Active.
    bool SwitchTo(const QString &id);
    // What the mock's logind makes of these, as the real one would.
    bool EmitPrepareForSleep(bool start);
    bool SetActive(bool active, const QString &id = QStringLiteral("c1"));
    bool SetLockedHint(bool locked);
    bool Lock();
    bool Unlock();
    // Inhibitors logind holds now (blocking call to the mock; any thread, as
    // each thread gets a connection of its own). Empty when the mock did not
    // answer; ok tells the two apart.
    QList<Inhibitor> Inhibitors(bool *ok = nullptr) const;
    // How often the program called a manager method.
    int CallCount(const QString &method) const;
    // A logind that never answers: the mock process is stopped (SIGSTOP) or
    // continued (SIGCONT).
    void Freeze(bool frozen);

private:
    bool StartBus();
    bool StartMock();
    bool SetSeatActiveSession(const QString &id);
    bool CallMock(const QString &path, const QString &interface, const QString &method,
                  const QVariantList &args) const;
    QDBusConnection Control() const;

    QTemporaryDir dir_;
    QProcess bus_;
    QProcess mock_;
    QString address_;
    QString connectionName_;
    QByteArray previousAddress_;
    QByteArray previousSessionId_;
    QString activeId_ = QStringLiteral("c1");
    bool ready_ = false;
    QString error_;
};

} // namespace testenv
