#include "platform/devices/virtual_device.h"

#include "platform/devices/looping_file_source.h"

#include <QFileInfo>
#include <algorithm>

namespace devices {
namespace {

const char *kDeviceKey = "talvora-virtual-device";

using DevicePtr = std::shared_ptr<VirtualDevice>;

void AttachDevice(GstElement *element, const DevicePtr &device)
{
    g_object_set_data_full(G_OBJECT(element), kDeviceKey, new DevicePtr(device),
                           [](gpointer p) { delete static_cast<DevicePtr *>(p); });
}

bool ToValue(GParamSpec *spec, const QVariant &in, GValue *out)
{
    g_value_init(out, spec->value_type);
    bool ok = false;
    if (G_IS_PARAM_SPEC_ENUM(spec)) {
        g_value_set_enum(out, in.toInt(&ok));
    } else if (G_IS_PARAM_SPEC_DOUBLE(spec)) {
        g_value_set_double(out, in.toDouble(&ok));
    } else if (G_IS_PARAM_SPEC_INT(spec)) {
        g_value_set_int(out, in.toInt(&ok));
    } else if (G_IS_PARAM_SPEC_BOOLEAN(spec)) {
        g_value_set_boolean(out, in.toBool());
        ok = true;
    }
    // Out-of-range values are refused rather than clamped silently.
    return ok && !g_param_value_validate(spec, out);
}

QVariant FromValue(const GValue *value)
{
    if (G_VALUE_HOLDS_ENUM(value))
        return g_value_get_enum(value);
    if (G_VALUE_HOLDS_DOUBLE(value))
        return g_value_get_double(value);
    if (G_VALUE_HOLDS_INT(value))
        return g_value_get_int(value);
    if (G_VALUE_HOLDS_BOOLEAN(value))
        return bool(g_value_get_boolean(value));
    return {};
}

GstElement *MakeTestVideo(int pattern, QString *error)
{
    GstElement *bin = gst_bin_new("talvora-test-camera");
    GstElement *source = gst_element_factory_make("videotestsrc", "source");
    GstElement *rate = gst_element_factory_make("capsfilter", nullptr);
    if (!source || !rate) {
        for (GstElement *e : {bin, source, rate})
            if (e)
                gst_object_unref(gst_object_ref_sink(e));
        if (error)
            *error = QStringLiteral("GStreamer element \"videotestsrc\" is missing");
        return nullptr;
    }
    g_object_set(source, "is-live", TRUE, "pattern", pattern, nullptr);
    GstCaps *caps = gst_caps_from_string("video/x-raw,framerate=30/1");
    g_object_set(rate, "caps", caps, nullptr);
    gst_caps_unref(caps);
    gst_bin_add_many(GST_BIN(bin), source, rate, nullptr);
    gst_element_link(source, rate);
    GstPad *pad = gst_element_get_static_pad(rate, "src");
    gst_element_add_pad(bin, gst_ghost_pad_new("src", pad));
    gst_object_unref(pad);
    return bin;
}

GstElement *MakeTestAudio(int wave, double frequency, QString *error)
{
    GstElement *source = gst_element_factory_make("audiotestsrc", nullptr);
    if (!source) {
        if (error)
            *error = QStringLiteral("GStreamer element \"audiotestsrc\" is missing");
        return nullptr;
    }
    g_object_set(source, "is-live", TRUE, "wave", wave, "freq", frequency, nullptr);
    return source;
}

// The element whose properties are the device's settings.
GstElement *SettingsTarget(GstElement *element)
{
    if (GST_IS_BIN(element))
        return gst_bin_get_by_name(GST_BIN(element), "source");
    return GST_ELEMENT(gst_object_ref(element));
}

} // namespace

VirtualDevice::VirtualDevice(DeviceKind kind, const VirtualSource &source, QString friendlyName)
    : kind_(kind), source_(source), friendlyName_(std::move(friendlyName)),
      failuresLeft_(source.failConnects)
{
}

VirtualDevice::~VirtualDevice()
{
    for (auto &ref : live_)
        g_weak_ref_clear(ref.get());
}

const char *VirtualDevice::TestFactory() const
{
    return kind_ == DeviceKind::Video ? "videotestsrc" : "audiotestsrc";
}

GstElement *VirtualDevice::CreateElement(QString *error)
{
    GstElement *element = source_.type == VirtualSource::Type::File
                              ? CreateLoopingFileSource(source_.path, kind_, error)
                              : CreateTestElement(error);
    if (!element)
        return nullptr;
    Track(element);
    AttachDevice(element, shared_from_this());
    return element;
}

GstElement *VirtualDevice::CreateTestElement(QString *error)
{
    GstElement *element = kind_ == DeviceKind::Video
                              ? MakeTestVideo(source_.pattern, error)
                              : MakeTestAudio(source_.wave, source_.frequency, error);
    if (!element)
        return nullptr;
    GstElement *target = SettingsTarget(element);
    std::lock_guard lock(mutex_);
    for (const auto &[name, value] : settings_) {
        GValue v = G_VALUE_INIT;
        if (GParamSpec *spec = g_object_class_find_property(G_OBJECT_GET_CLASS(target),
                                                            name.toUtf8().constData());
            spec && ToValue(spec, value, &v))
            g_object_set_property(G_OBJECT(target), spec->name, &v);
        g_value_unset(&v);
    }
    gst_object_unref(target);
    return element;
}

void VirtualDevice::Track(GstElement *element)
{
    std::lock_guard lock(mutex_);
    live_.erase(std::remove_if(live_.begin(), live_.end(),
                               [](const std::unique_ptr<GWeakRef> &ref) {
                                   gpointer object = g_weak_ref_get(ref.get());
                                   if (object)
                                       g_object_unref(object);
                                   if (!object)
                                       g_weak_ref_clear(ref.get());
                                   return object == nullptr;
                               }),
                live_.end());
    auto ref = std::make_unique<GWeakRef>();
    g_weak_ref_init(ref.get(), element);
    live_.push_back(std::move(ref));
}

QStringList VirtualDevice::SettingNames() const
{
    if (source_.type == VirtualSource::Type::File)
        return {};
    if (kind_ == DeviceKind::Video)
        return {QStringLiteral("pattern")};
    return {QStringLiteral("wave"), QStringLiteral("freq"), QStringLiteral("volume")};
}

GParamSpec *VirtualDevice::SettingSpec(const QString &name) const
{
    if (!SettingNames().contains(name))
        return nullptr;
    GstElementFactory *factory = gst_element_factory_find(TestFactory());
    if (!factory)
        return nullptr;
    GstPluginFeature *loaded = gst_plugin_feature_load(GST_PLUGIN_FEATURE(factory));
    gst_object_unref(factory);
    if (!loaded)
        return nullptr;
    const GType type = gst_element_factory_get_element_type(GST_ELEMENT_FACTORY(loaded));
    gst_object_unref(loaded);
    // The class stays referenced for the life of the process, like the plugin.
    auto *klass = static_cast<GObjectClass *>(g_type_class_ref(type));
    return g_object_class_find_property(klass, name.toUtf8().constData());
}

QVariant VirtualDevice::Setting(const QString &name) const
{
    {
        std::lock_guard lock(mutex_);
        if (auto it = settings_.find(name); it != settings_.end())
            return it->second;
    }
    if (name == QLatin1String("pattern"))
        return source_.pattern;
    if (name == QLatin1String("wave"))
        return source_.wave;
    if (name == QLatin1String("freq"))
        return source_.frequency;
    GParamSpec *spec = SettingSpec(name);
    return spec ? FromValue(g_param_spec_get_default_value(spec)) : QVariant();
}

bool VirtualDevice::SetSetting(const QString &name, const QVariant &value)
{
    GParamSpec *spec = SettingSpec(name);
    GValue v = G_VALUE_INIT;
    if (!spec || !ToValue(spec, value, &v)) {
        if (G_IS_VALUE(&v))
            g_value_unset(&v);
        return false;
    }
    {
        std::lock_guard lock(mutex_);
        settings_[name] = FromValue(&v);
    }
    for (GstElement *element : LiveElements()) {
        GstElement *target = SettingsTarget(element);
        if (target) {
            g_object_set_property(G_OBJECT(target), spec->name, &v);
            gst_object_unref(target);
        }
        gst_object_unref(element);
    }
    g_value_unset(&v);
    return true;
}

bool VirtualDevice::ConsumeConnectFailure()
{
    int left = failuresLeft_.load();
    while (left > 0) {
        if (failuresLeft_.compare_exchange_weak(left, left - 1))
            return true;
    }
    return false;
}

std::vector<GstElement *> VirtualDevice::LiveElements() const
{
    std::vector<GstElement *> elements;
    std::lock_guard lock(mutex_);
    for (const auto &ref : live_)
        if (gpointer object = g_weak_ref_get(ref.get()))
            elements.push_back(GST_ELEMENT(object));
    return elements;
}

std::shared_ptr<VirtualDevice> VirtualDevice::FromElement(GstElement *element)
{
    if (!element)
        return nullptr;
    if (auto *device = static_cast<DevicePtr *>(g_object_get_data(G_OBJECT(element), kDeviceKey)))
        return *device;
    if (!GST_IS_BIN(element))
        return nullptr;
    // A wrapper bin: look at what it holds.
    std::shared_ptr<VirtualDevice> found;
    GstIterator *it = gst_bin_iterate_recurse(GST_BIN(element));
    GValue item = G_VALUE_INIT;
    while (!found && gst_iterator_next(it, &item) == GST_ITERATOR_OK) {
        auto *child = GST_ELEMENT(g_value_get_object(&item));
        if (auto *device = static_cast<DevicePtr *>(g_object_get_data(G_OBJECT(child), kDeviceKey)))
            found = *device;
        g_value_reset(&item);
    }
    g_value_unset(&item);
    gst_iterator_free(it);
    return found;
}

std::vector<std::shared_ptr<VirtualDevice>> VirtualDevicesFor(DeviceKind kind,
                                                              const DeviceClassConfig &config)
{
    static std::mutex mutex;
    static std::map<std::pair<int, QString>, DevicePtr> made;
    static int generation = -1;
    std::vector<DevicePtr> devices;
    if (config.none)
        return devices;
    std::lock_guard lock(mutex);
    if (generation != DeviceConfigGeneration()) {
        generation = DeviceConfigGeneration();
        made.clear();
    }
    int index = 0;
    for (const VirtualSource &source : config.virtuals) {
        ++index;
        const QString key = QStringLiteral("%1|%2").arg(index).arg(source.spec);
        DevicePtr &device = made[{int(kind), key}];
        if (!device) {
            QString name = kind == DeviceKind::Video ? QStringLiteral("Talvora Test Camera")
                                                     : QStringLiteral("Talvora Test Microphone");
            if (source.type == VirtualSource::Type::File)
                name = (kind == DeviceKind::Video ? QStringLiteral("Talvora File Camera (%1)")
                                                  : QStringLiteral("Talvora File Microphone (%1)"))
                           .arg(QFileInfo(source.path).fileName());
            if (index > 1)
                name += QStringLiteral(" #%1").arg(index);
            device = std::make_shared<VirtualDevice>(kind, source, name);
        }
        devices.push_back(device);
    }
    return devices;
}

} // namespace devices
