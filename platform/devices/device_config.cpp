#include "platform/devices/device_config.h"

#include "platform/devices/virtual_device.h"
#include "platform/media/factory.h"

#include <QCoreApplication>
#include <atomic>
#include <mutex>

namespace devices {
namespace {

std::mutex g_mutex;
std::optional<DeviceConfig> g_config;
std::atomic<int> g_generation{0};

bool ApplyTestOption(VirtualSource &source, const QString &key, const QString &value,
                     DeviceKind kind)
{
    bool ok = false;
    if (key == QLatin1String("fail")) {
        source.failConnects = value.toInt(&ok);
        return ok && source.failConnects >= 0;
    }
    if (key == QLatin1String("pattern") && kind == DeviceKind::Video) {
        source.pattern = value.toInt(&ok);
        return ok && source.pattern >= 0;
    }
    if (key == QLatin1String("wave") && kind == DeviceKind::Audio) {
        source.wave = value.toInt(&ok);
        return ok && source.wave >= 0;
    }
    if (key == QLatin1String("freq") && kind == DeviceKind::Audio) {
        source.frequency = value.toDouble(&ok);
        return ok && source.frequency > 0 && source.frequency <= 20000;
    }
    return false;
}

std::optional<VirtualSource> ParseTestSource(const QString &options, DeviceKind kind,
                                             QString *error)
{
    VirtualSource source;
    source.type = VirtualSource::Type::Test;
    if (options.isEmpty())
        return source;
    for (const QString &item : options.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString key = item.section(QLatin1Char('='), 0, 0).trimmed();
        const QString value = item.section(QLatin1Char('='), 1).trimmed();
        if (!ApplyTestOption(source, key, value, kind)) {
            if (error)
                *error = QStringLiteral("unknown or bad test device option \"%1\"").arg(item);
            return std::nullopt;
        }
    }
    return source;
}

void AddSource(DeviceClassConfig &target, const QString &text, DeviceKind kind,
               QStringList *errors)
{
    if (text.trimmed() == QLatin1String("none")) {
        target.none = true;
        return;
    }
    QString error;
    if (auto source = ParseVirtualSource(text, kind, &error))
        target.virtuals.push_back(*source);
    else if (errors)
        errors->append(error);
}

DeviceConfig FromProcess(const QStringList &args)
{
    return DeviceConfig::Parse(args, qEnvironmentVariable("TALVORA_CAMERA"),
                               qEnvironmentVariable("TALVORA_MICROPHONE"));
}

} // namespace

std::optional<VirtualSource> ParseVirtualSource(const QString &text, DeviceKind kind,
                                                QString *error)
{
    const QString trimmed = text.trimmed();
    std::optional<VirtualSource> source;
    if (trimmed == QLatin1String("test")) {
        source = ParseTestSource(QString(), kind, error);
    } else if (trimmed.startsWith(QLatin1String("test:"))) {
        source = ParseTestSource(trimmed.mid(5), kind, error);
    } else if (text.startsWith(QLatin1String("file:")) && text.size() > 5) {
        // The path is taken verbatim: file names may hold blanks or commas.
        source = VirtualSource{};
        source->type = VirtualSource::Type::File;
        source->path = text.mid(5);
    } else if (error) {
        *error = QStringLiteral("unknown device source \"%1\" (use test, file:PATH or none)")
                     .arg(text);
    }
    if (source)
        source->spec = text;
    return source;
}

DeviceConfig DeviceConfig::Parse(const QStringList &args, const QString &cameraEnv,
                                 const QString &microphoneEnv, QStringList *errors)
{
    DeviceConfig config;
    bool cameraOnCommandLine = false;
    bool microphoneOnCommandLine = false;
    for (const QString &arg : args) {
        if (arg.startsWith(QLatin1String("--camera="))) {
            cameraOnCommandLine = true;
            AddSource(config.camera, arg.mid(9), DeviceKind::Video, errors);
        } else if (arg.startsWith(QLatin1String("--microphone="))) {
            microphoneOnCommandLine = true;
            AddSource(config.microphone, arg.mid(13), DeviceKind::Audio, errors);
        }
    }
    if (!cameraOnCommandLine && !cameraEnv.isEmpty())
        AddSource(config.camera, cameraEnv, DeviceKind::Video, errors);
    if (!microphoneOnCommandLine && !microphoneEnv.isEmpty())
        AddSource(config.microphone, microphoneEnv, DeviceKind::Audio, errors);
    return config;
}

DeviceConfig CurrentDeviceConfig()
{
    std::lock_guard lock(g_mutex);
    if (!g_config)
        g_config = FromProcess(QCoreApplication::instance() ? QCoreApplication::arguments()
                                                            : QStringList());
    return *g_config;
}

void InitDeviceConfig(int argc, char **argv)
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args.append(QString::fromLocal8Bit(argv[i]));
    QStringList errors;
    DeviceConfig config = DeviceConfig::Parse(args, qEnvironmentVariable("TALVORA_CAMERA"),
                                              qEnvironmentVariable("TALVORA_MICROPHONE"), &errors);
    for (const QString &error : errors)
        qWarning("talvora: %s", qPrintable(error));
    {
        std::lock_guard lock(g_mutex);
        g_config = config;
        ++g_generation;
    }
    // The microphone-array source records from the configured virtual
    // microphone too, so that path works on a machine without sound hardware.
    if (!config.microphone.none && !config.microphone.virtuals.empty()) {
        auto microphone = VirtualDevicesFor(DeviceKind::Audio, config.microphone).front();
        media::SetMicArrayInputFactory([microphone] { return microphone->CreateElement(nullptr); });
    }
}

DeviceConfig SetDeviceConfig(const DeviceConfig &config)
{
    std::lock_guard lock(g_mutex);
    DeviceConfig previous = g_config.value_or(DeviceConfig{});
    g_config = config;
    ++g_generation;
    return previous;
}

int DeviceConfigGeneration()
{
    return g_generation.load();
}

} // namespace devices
