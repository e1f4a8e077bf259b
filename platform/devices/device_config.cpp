#include "platform/devices/device_config.h"

#include "platform/devices/virtual_device.h"
#include "platform/media/factory.h"
#include "platform/media/media_runtime.h"

#include <gst/gst.h>

#include <QCoreApplication>
#include <atomic>
#include <mutex>

namespace devices {
namespace {

std::mutex g_mutex;
std::optional<DeviceConfig> g_config;
std::atomic<int> g_generation{0};

// The value of an enumerated property of a GStreamer element given as a
// number or as one of its nicks ("ball", "smpte"); the element's own
// enumeration decides, so every pattern the installed plugin knows is
// accepted. On failure *accepted lists the nicks.
std::optional<int> ElementEnumValue(const char *factory, const char *property, const QString &text,
                                    QStringList *accepted)
{
    if (!media::EnsureRuntime())
        return std::nullopt;
    GstElement *element = gst_element_factory_make(factory, nullptr);
    if (!element)
        return std::nullopt;
    gst_object_ref_sink(element);
    std::optional<int> found;
    GParamSpec *spec = g_object_class_find_property(G_OBJECT_GET_CLASS(element), property);
    if (spec && G_IS_PARAM_SPEC_ENUM(spec)) {
        GEnumClass *values = G_PARAM_SPEC_ENUM(spec)->enum_class;
        bool isNumber = false;
        const int number = text.toInt(&isNumber);
        const QByteArray nick = text.toLower().toUtf8();
        const GEnumValue *hit = isNumber ? g_enum_get_value(values, number)
                                         : g_enum_get_value_by_nick(values, nick.constData());
        if (hit)
            found = hit->value;
        for (guint i = 0; !found && accepted && i < values->n_values; ++i)
            accepted->append(QString::fromUtf8(values->values[i].value_nick));
    }
    gst_object_unref(element);
    return found;
}

bool ApplyEnumOption(int *target, const char *factory, const char *property, const QString &value,
                     QString *why)
{
    QStringList accepted;
    const auto found = ElementEnumValue(factory, property, value, &accepted);
    if (found) {
        *target = *found;
        return true;
    }
    if (why && !accepted.isEmpty())
        *why = QStringLiteral(" (use a number or one of: %1)").arg(accepted.join(QStringLiteral(", ")));
    return false;
}

bool ApplyTestOption(VirtualSource &source, const QString &key, const QString &value,
                     DeviceKind kind, QString *why)
{
    bool ok = false;
    if (key == QLatin1String("fail")) {
        source.failConnects = value.toInt(&ok);
        return ok && source.failConnects >= 0;
    }
    if (key == QLatin1String("pattern") && kind == DeviceKind::Video)
        return ApplyEnumOption(&source.pattern, "videotestsrc", "pattern", value, why);
    if (key == QLatin1String("wave") && kind == DeviceKind::Audio)
        return ApplyEnumOption(&source.wave, "audiotestsrc", "wave", value, why);
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
        QString why;
        if (!ApplyTestOption(source, key, value, kind, &why)) {
            if (error)
                *error = QStringLiteral("unknown or bad test device option \"%1\"%2").arg(item, why);
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
