#pragma once
// pactl against a given server, and a private PulseAudio daemon a test can
// start, stop and start again on the same socket. Nothing here reaches the
// machine's own sound server: every call names its server.
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <cstdint>
#include <vector>

namespace pulsetest {

// The daemon tools/test.sh started; empty when none.
inline QString RunServer() { return qEnvironmentVariable("PULSE_SERVER"); }

inline QString Pactl(const QString &server, const QStringList &args, bool *ok = nullptr)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PULSE_SERVER"), server);
    p.setProcessEnvironment(env);
    p.start(QStringLiteral("pactl"), args);
    const bool finished = p.waitForFinished(5000);
    if (!finished)
        p.kill(), p.waitForFinished(1000);
    if (ok)
        *ok = finished && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

inline QJsonObject DefaultSinkJson(const QString &server)
{
    const QString name = Pactl(server, {QStringLiteral("get-default-sink")});
    const auto sinks = QJsonDocument::fromJson(
        Pactl(server, {QStringLiteral("-f"), QStringLiteral("json"), QStringLiteral("list"), QStringLiteral("sinks")})
            .toUtf8()).array();
    for (const auto &sink : sinks)
        if (sink.toObject().value(QStringLiteral("name")).toString() == name)
            return sink.toObject();
    return {};
}

// The default sink's channel volumes in raw units, as pactl reads them.
inline std::vector<std::uint32_t> SinkChannels(const QString &server)
{
    std::vector<std::uint32_t> values;
    const QJsonObject volume = DefaultSinkJson(server).value(QStringLiteral("volume")).toObject();
    for (const QString &channel : volume.keys())
        values.push_back(std::uint32_t(volume.value(channel).toObject().value(QStringLiteral("value")).toInteger()));
    return values;
}

inline std::uint32_t SinkVolume(const QString &server)
{
    const auto channels = SinkChannels(server);
    std::uint64_t sum = 0;
    for (auto v : channels)
        sum += v;
    return channels.empty() ? 0 : std::uint32_t(sum / channels.size());
}

inline bool SinkMuted(const QString &server)
{
    return Pactl(server, {QStringLiteral("get-sink-mute"), QStringLiteral("@DEFAULT_SINK@")})
        == QStringLiteral("Mute: yes");
}

inline void SetSinkVolume(const QString &server, const QStringList &values)
{
    Pactl(server, QStringList{QStringLiteral("set-sink-volume"), QStringLiteral("@DEFAULT_SINK@")} + values);
}

inline void SetSinkMute(const QString &server, bool mute)
{
    Pactl(server, {QStringLiteral("set-sink-mute"), QStringLiteral("@DEFAULT_SINK@"),
                   mute ? QStringLiteral("1") : QStringLiteral("0")});
}

// A PulseAudio daemon of the test's own, with one null sink.
class PrivateDaemon {
public:
    PrivateDaemon() { QDir().mkpath(dir_.path() + QStringLiteral("/home")); }
    ~PrivateDaemon() { Stop(); }

    QString Server() const { return QStringLiteral("unix:") + dir_.path() + QStringLiteral("/native"); }

    bool Start()
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), dir_.path() + QStringLiteral("/home"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir_.path() + QStringLiteral("/home"));
        daemon_.setProcessEnvironment(env);
        daemon_.setProgram(QStringLiteral("pulseaudio"));
        daemon_.setArguments({QStringLiteral("-n"), QStringLiteral("--daemonize=no"),
                              QStringLiteral("--exit-idle-time=-1"), QStringLiteral("--disallow-exit"),
                              QStringLiteral("--use-pid-file=no"),
                              QStringLiteral("--load=module-null-sink sink_name=private_null"),
                              QStringLiteral("--load=module-native-protocol-unix socket=%1/native auth-anonymous=1")
                                  .arg(dir_.path())});
        daemon_.start();
        if (!daemon_.waitForStarted(5000))
            return false;
        return QTest::qWaitFor([&] {
            bool ok = false;
            Pactl(Server(), {QStringLiteral("info")}, &ok);
            return ok;
        }, 10000);
    }

    void Stop()
    {
        if (daemon_.state() == QProcess::NotRunning)
            return;
        daemon_.terminate();
        if (!daemon_.waitForFinished(5000)) {
            daemon_.kill();
            daemon_.waitForFinished(2000);
        }
    }

private:
    QTemporaryDir dir_;
    QProcess daemon_;
};

// Points PULSE_SERVER somewhere for the scope's life (what the code under test reads).
class ServerScope {
public:
    explicit ServerScope(const QString &server) : saved_(qgetenv("PULSE_SERVER"))
    {
        qputenv("PULSE_SERVER", server.toUtf8());
    }
    ~ServerScope()
    {
        if (saved_.isEmpty())
            qunsetenv("PULSE_SERVER");
        else
            qputenv("PULSE_SERVER", saved_);
    }

private:
    QByteArray saved_;
};

} // namespace pulsetest
