#pragma once
// Stand-ins for the mail hand-off: a private session bus with a mocked desktop
// portal that records every ComposeEmail call (the attachments resolved to
// the paths of the passed descriptors), and an xdg-email on PATH that records
// its argument vector. Nothing here reaches the machine's own bus or mail client.
#include "tests/support/test_environment.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QThread>
#include <QUuid>
#include <functional>
#include <memory>

namespace maildoubles {

inline bool WaitFor(const std::function<bool()> &done, int ms = 15000) { return testenv::PumpUntil(done, ms); }

// The portal template: "response" is the code answered (-1: never answers),
// "email" false leaves the Email interface out.
inline const char *kPortalTemplate = R"PY(
import json, os
import dbus
from gi.repository import GLib
from dbusmock.mockobject import objects

BUS_NAME = 'org.freedesktop.portal.Desktop'
MAIN_OBJ = '/org/freedesktop/portal/desktop'
MAIN_IFACE = 'org.freedesktop.portal.Settings'
SYSTEM_BUS = False
REQUEST = 'org.freedesktop.portal.Request'

def compose(self, parent, options):
    paths = []
    for fd in options.get('attachment_fds', []):
        n = fd.take()
        paths.append(os.readlink('/proc/self/fd/%d' % n))
        os.close(n)
    record = {'parent': str(parent), 'keys': sorted(str(k) for k in options.keys()),
              'subject': str(options['subject']) if 'subject' in options else None, 'paths': paths}
    with open(self.talvora_log, 'a', encoding='utf-8', errors='surrogateescape') as log:
        log.write(json.dumps(record) + '\n')
    self.talvora_count += 1
    handle = '/org/freedesktop/portal/desktop/request/mock/%d' % self.talvora_count
    self.AddObject(handle, REQUEST, {}, [])
    if self.talvora_response >= 0:
        def answer():
            objects[handle].EmitSignal(REQUEST, 'Response', 'ua{sv}',
                                       [dbus.UInt32(self.talvora_response), dbus.Dictionary({}, signature='sv')])
            return False
        GLib.timeout_add(100, answer)
    return dbus.ObjectPath(handle)

def load(mock, parameters):
    mock.talvora_log = parameters['log']
    mock.talvora_response = int(parameters.get('response', 0))
    mock.talvora_count = 0
    if parameters.get('email', True):
        mock.AddMethod('org.freedesktop.portal.Email', 'ComposeEmail', 'sa{sv}', 'o', compose)
)PY";

class PrivateBus {
public:
    PrivateBus()
    {
        daemon_.setProgram(QStringLiteral("/usr/bin/dbus-daemon"));
        daemon_.setArguments({QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address")});
        daemon_.start();
        if (!daemon_.waitForStarted(10000))
            return;
        WaitFor([this] { return daemon_.canReadLine(); }, 10000);
        address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
        name_ = QStringLiteral("talvora-test-") + QUuid::createUuid().toString(QUuid::Id128);
        bus_ = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(address_, name_));
    }
    ~PrivateBus()
    {
        StopPortal();
        bus_.reset();
        QDBusConnection::disconnectFromBus(name_);
        daemon_.terminate();
        if (!daemon_.waitForFinished(5000))
            daemon_.kill();
        daemon_.waitForFinished(5000);
    }
    bool Ok() const { return bus_ && bus_->isConnected(); }
    QDBusConnection Bus() const { return bus_ ? *bus_ : QDBusConnection(QString()); }

    // Starts the mocked portal and waits until it owns its name.
    bool StartPortal(int response, bool withEmail = true)
    {
        const QString folder = testenv::MakeTempFolder(QStringLiteral("portal"));
        log_ = folder + QStringLiteral("/calls.jsonl");
        const QString templ = folder + QStringLiteral("/portal_mock.py");
        if (!testenv::WriteFile(templ, kPortalTemplate))
            return false;
        QJsonObject params{{QStringLiteral("log"), log_}, {QStringLiteral("response"), response},
                           {QStringLiteral("email"), withEmail}};
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address_);
        portal_.setProcessEnvironment(env);
        portal_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        portal_.setStandardOutputFile(folder + QStringLiteral("/mock.out"));
        portal_.start(QStringLiteral("/usr/bin/python3"),
                      {QStringLiteral("-m"), QStringLiteral("dbusmock"), QStringLiteral("--template"), templ,
                       QStringLiteral("-p"), QString::fromUtf8(QJsonDocument(params).toJson(QJsonDocument::Compact))});
        return portal_.waitForStarted(10000) && WaitFor([this] {
                   return bus_->interface()->isServiceRegistered(QStringLiteral("org.freedesktop.portal.Desktop"));
               });
    }
    void StopPortal()
    {
        if (portal_.state() == QProcess::NotRunning)
            return;
        portal_.terminate();
        if (!portal_.waitForFinished(5000))
            portal_.kill();
        portal_.waitForFinished(5000);
    }
    // The calls the portal received, oldest first.
    QList<QJsonObject> Calls() const
    {
        QList<QJsonObject> calls;
        QFile file(log_);
        if (!file.open(QIODevice::ReadOnly))
            return calls;
        for (const QByteArray &line : file.readAll().split('\n'))
            if (!line.isEmpty())
                calls.append(QJsonDocument::fromJson(line).object());
        return calls;
    }

private:
    QProcess daemon_;
    QProcess portal_;
    QString address_;
    QString name_;
    QString log_;
    std::unique_ptr<QDBusConnection> bus_;
};

// PATH holds only a folder with (or without) a stand-in xdg-email while it lives.
class FakeXdgEmail {
public:
    explicit FakeXdgEmail(bool present, int exitCode = 0, int sleepSeconds = 0)
        : savedPath_(qgetenv("PATH")), folder_(testenv::MakeTempFolder(QStringLiteral("bin")))
    {
        log_ = folder_ + QStringLiteral("/argv");
        if (present) {
            const QString script = folder_ + QStringLiteral("/xdg-email");
            const QString body = QStringLiteral("#!/bin/sh\nfor a in \"$@\"; do printf '%s\\0' \"$a\"; done > '%1'\n"
                                                "%2exit %3\n")
                                     .arg(log_, sleepSeconds ? QStringLiteral("/bin/sleep %1\n").arg(sleepSeconds)
                                                             : QString())
                                     .arg(exitCode);
            testenv::WriteFile(script, body.toUtf8());
            QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
        qputenv("PATH", QFile::encodeName(folder_));
    }
    ~FakeXdgEmail() { qputenv("PATH", savedPath_); }
    bool Called() const { return QFile::exists(log_); }
    // The recorded argument vector (program name excluded).
    QStringList Argv() const
    {
        QFile file(log_);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        QByteArray all = file.readAll();
        if (all.endsWith('\0'))
            all.chop(1);
        QStringList args;
        for (const QByteArray &a : all.split('\0'))
            args.append(QFile::decodeName(a));
        return args;
    }

private:
    QByteArray savedPath_;
    QString folder_;
    QString log_;
};

} // namespace maildoubles
