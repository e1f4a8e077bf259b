#include "tests/support/mock_logind.h"
#include "tests/support/test_environment.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QElapsedTimer>
#include <QThread>
#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>

namespace testenv {

namespace {

const QString kService = QStringLiteral("org.freedesktop.login1");
const QString kManagerPath = QStringLiteral("/org/freedesktop/login1");
const QString kManager = QStringLiteral("org.freedesktop.login1.Manager");
const QString kMock = QStringLiteral("org.freedesktop.DBus.Mock");
constexpr int kCallTimeoutMs = 5000;

// logind's "(so)" reference to a session; "/" for none.
QVariant SessionReference(const QString &id)
{
    QDBusArgument arg;
    arg.beginStructure();
    arg << id << QDBusObjectPath(id.isEmpty() ? QStringLiteral("/") : MockLogind::SessionPath(id));
    arg.endStructure();
    return QVariant::fromValue(arg);
}

} // namespace

namespace {
// The bus and the mock end with the test process, also when it crashes: left
// behind, they would hold the test's output open and stall the run.
void EndWithParent(QProcess &process)
{
    process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
}
} // namespace

MockLogind::MockLogind(Start start)
{
    EndWithParent(bus_);
    EndWithParent(mock_);
    static int serial = 0;
    connectionName_ = QStringLiteral("mock-logind-control-%1").arg(++serial);
    previousAddress_ = qgetenv("DBUS_SYSTEM_BUS_ADDRESS");
    previousSessionId_ = qgetenv("XDG_SESSION_ID");
    qunsetenv("XDG_SESSION_ID");
    ready_ = StartBus() && (start == Start::BusOnly || StartMock());
}

MockLogind::~MockLogind()
{
    Freeze(false);
    QDBusConnection::disconnectFromBus(connectionName_);
    for (QProcess *p : {&mock_, &bus_}) {
        if (p->state() != QProcess::NotRunning) {
            p->terminate();
            if (!p->waitForFinished(3000)) {
                p->kill();
                p->waitForFinished(3000);
            }
        }
    }
    if (previousAddress_.isNull())
        qunsetenv("DBUS_SYSTEM_BUS_ADDRESS");
    else
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", previousAddress_);
    if (!previousSessionId_.isNull())
        qputenv("XDG_SESSION_ID", previousSessionId_);
}

QString MockLogind::SessionPath(const QString &id) { return QStringLiteral("/org/freedesktop/login1/session/") + id; }

bool MockLogind::StartBus()
{
    if (!dir_.isValid()) {
        error_ = QStringLiteral("no temporary folder");
        return false;
    }
    bus_.start(QStringLiteral("dbus-daemon"),
               {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1"),
                QStringLiteral("--address=unix:path=") + dir_.filePath(QStringLiteral("system_bus_socket"))});
    if (!bus_.waitForStarted(5000) || !bus_.waitForReadyRead(5000)) {
        error_ = QStringLiteral("dbus-daemon did not start");
        return false;
    }
    address_ = QString::fromUtf8(bus_.readLine()).trimmed();
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", address_.toUtf8());
    if (!Control().isConnected()) {
        error_ = QStringLiteral("cannot connect to the private bus");
        return false;
    }
    return true;
}

bool MockLogind::StartMock()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), address_);
    mock_.setProcessEnvironment(env);
    mock_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    mock_.setStandardOutputFile(dir_.filePath(QStringLiteral("mock.log")));
    mock_.start(QStringLiteral("/usr/bin/python3"),
                {QStringLiteral("-m"), QStringLiteral("dbusmock"), QStringLiteral("--template"), QStringLiteral("logind")});
    QElapsedTimer timer;
    timer.start();
    while (!Control().interface()->isServiceRegistered(kService) && timer.elapsed() < 15000 * testenv::TimeFactor())
        QThread::msleep(20);
    if (!Control().interface()->isServiceRegistered(kService)) {
        error_ = QStringLiteral("the logind mock did not come up");
        return false;
    }
    const bool added = CallMock(kManagerPath, kMock, QStringLiteral("AddSession"),
                                {QStringLiteral("c1"), QStringLiteral("seat0"), uint(getuid()), QStringLiteral("user"), true})
        && CallMock(kManagerPath, kMock, QStringLiteral("AddMethod"),
                    {kManager, QStringLiteral("GetSessionByPID"), QStringLiteral("u"), QStringLiteral("o"),
                     QStringLiteral("ret = '/org/freedesktop/login1/session/c1'")});
    if (!added)
        error_ = QStringLiteral("the logind mock refused its session");
    return added;
}

QDBusConnection MockLogind::Control() const
{
    // One connection per thread, so a watcher thread can ask at the same time.
    const QString name = connectionName_ + QStringLiteral("-%1").arg(quintptr(QThread::currentThreadId()));
    QDBusConnection bus(name);
    if (bus.isConnected())
        return bus;
    return QDBusConnection::connectToBus(address_, name);
}

bool MockLogind::CallMock(const QString &path, const QString &interface, const QString &method,
                          const QVariantList &args) const
{
    QDBusMessage message = QDBusMessage::createMethodCall(kService, path, interface, method);
    message.setArguments(args);
    const QDBusMessage reply = Control().call(message, QDBus::Block, kCallTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage)
        qWarning("logind mock: %s on %s: %s", qPrintable(method), qPrintable(path), qPrintable(reply.errorMessage()));
    return reply.type() == QDBusMessage::ReplyMessage;
}

bool MockLogind::AddSession(const QString &id, bool active)
{
    return CallMock(kManagerPath, kMock, QStringLiteral("AddSession"),
                    {id, QStringLiteral("seat0"), uint(getuid()), QStringLiteral("user"), active});
}

// Through the standard Set: the mock's own UpdateProperties cannot carry a struct.
bool MockLogind::SetSeatActiveSession(const QString &id)
{
    return CallMock(QStringLiteral("/org/freedesktop/login1/seat/seat0"), QStringLiteral("org.freedesktop.DBus.Properties"),
                    QStringLiteral("Set"),
                    {QStringLiteral("org.freedesktop.login1.Seat"), QStringLiteral("ActiveSession"),
                     QVariant::fromValue(QDBusVariant(SessionReference(id)))});
}

bool MockLogind::AddOtherSession(const QString &id, const QString &sessionClass)
{
    // The mock makes a new session the seat's active one; the seat stays as it was.
    return CallMock(kManagerPath, kMock, QStringLiteral("AddSession"),
                    {id, QStringLiteral("seat0"), uint(getuid() + 1), QStringLiteral("other"), false})
        && CallMock(SessionPath(id), kMock, QStringLiteral("UpdateProperties"),
                    {QStringLiteral("org.freedesktop.login1.Session"),
                     QVariant::fromValue(QVariantMap{{QStringLiteral("Class"), sessionClass}})})
        && SetSeatActiveSession(activeId_);
}

bool MockLogind::SwitchTo(const QString &id)
{
    const QString previous = activeId_;
    activeId_ = id;
    bool ok = SetSeatActiveSession(id);
    if (!id.isEmpty())
        ok = SetActive(true, id) && ok;
    if (!previous.isEmpty() && previous != id)
        ok = SetActive(false, previous) && ok;
    return ok;
}

bool MockLogind::EmitPrepareForSleep(bool start)
{
    return CallMock(kManagerPath, kMock, QStringLiteral("EmitSignal"),
                    {kManager, QStringLiteral("PrepareForSleep"), QStringLiteral("b"),
                     QVariant::fromValue(QVariantList{QVariant::fromValue(QDBusVariant(start))})});
}

bool MockLogind::SetActive(bool active, const QString &id)
{
    return CallMock(SessionPath(id), kMock, QStringLiteral("UpdateProperties"),
                    {QStringLiteral("org.freedesktop.login1.Session"),
                     QVariant::fromValue(QVariantMap{{QStringLiteral("Active"), active}})});
}

bool MockLogind::SetLockedHint(bool locked)
{
    return CallMock(SessionPath(), QStringLiteral("org.freedesktop.login1.Session"), QStringLiteral("SetLockedHint"),
                    {locked});
}

bool MockLogind::Lock()
{
    return CallMock(SessionPath(), QStringLiteral("org.freedesktop.login1.Session"), QStringLiteral("Lock"), {});
}

bool MockLogind::Unlock()
{
    return CallMock(SessionPath(), QStringLiteral("org.freedesktop.login1.Session"), QStringLiteral("Unlock"), {});
}

QList<Inhibitor> MockLogind::Inhibitors(bool *ok) const
{
    QList<Inhibitor> result;
    if (ok)
        *ok = false;
    const QDBusMessage reply = Control().call(
        QDBusMessage::createMethodCall(kService, kManagerPath, kManager, QStringLiteral("ListInhibitors")), QDBus::Block,
        kCallTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        qWarning("ListInhibitors: %s", qPrintable(reply.errorMessage()));
        return result;
    }
    if (ok)
        *ok = true;
    const QDBusArgument arg = reply.arguments().at(0).value<QDBusArgument>();
    arg.beginArray();
    while (!arg.atEnd()) {
        Inhibitor inhibitor;
        uint uid = 0, pid = 0;
        arg.beginStructure();
        arg >> inhibitor.what >> inhibitor.who >> inhibitor.why >> inhibitor.mode >> uid >> pid;
        arg.endStructure();
        result << inhibitor;
    }
    arg.endArray();
    return result;
}

int MockLogind::CallCount(const QString &method) const
{
    QDBusMessage message = QDBusMessage::createMethodCall(kService, kManagerPath, kMock, QStringLiteral("GetMethodCalls"));
    message << method;
    const QDBusMessage reply = Control().call(message, QDBus::Block, kCallTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return -1;
    const QDBusArgument arg = reply.arguments().at(0).value<QDBusArgument>();
    int count = 0;
    arg.beginArray();
    while (!arg.atEnd()) {
        qulonglong time = 0;
        QVariantList args;
        arg.beginStructure();
        arg >> time >> args;
        arg.endStructure();
        ++count;
    }
    arg.endArray();
    return count;
}

void MockLogind::Freeze(bool frozen)
{
    if (mock_.state() == QProcess::Running)
        ::kill(static_cast<pid_t>(mock_.processId()), frozen ? SIGSTOP : SIGCONT);
}

} // namespace testenv
