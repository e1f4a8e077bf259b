#include "platform/devices/device_providers.h"

#include <QStringList>
#include <mutex>

namespace devices {
namespace {

std::mutex g_mutex;

} // namespace

struct DeviceProviders::Provider {
    QString name;
    GstDeviceProvider *provider = nullptr;
    bool started = false;

    ~Provider()
    {
        if (started)
            gst_device_provider_stop(provider);
        if (provider)
            gst_object_unref(provider);
    }

    // Whether a search may list its devices now (starting it when it can be).
    bool Ready()
    {
        if (!provider)
            return false;
        if (!gst_device_provider_can_monitor(provider))
            return true;
        if (!started)
            started = gst_device_provider_start(provider);
        return started;
    }

    QStringList Hides() const
    {
        QStringList names;
        gchar **hidden = gst_device_provider_get_hidden_providers(provider);
        for (gchar **entry = hidden; entry && *entry; ++entry)
            names << QString::fromUtf8(*entry);
        g_strfreev(hidden);
        return names;
    }
};

DeviceProviders &DeviceProviders::Instance()
{
    static DeviceProviders providers;
    return providers;
}

DeviceProviders::~DeviceProviders() = default;

DeviceProviders::Provider &DeviceProviders::ProviderOf(GstDeviceProviderFactory *factory)
{
    const QString name = QString::fromUtf8(GST_OBJECT_NAME(factory));
    for (auto &known : providers_)
        if (known->name == name)
            return *known;
    auto added = std::make_unique<Provider>();
    added->name = name;
    added->provider = gst_device_provider_factory_get(factory);
    providers_.push_back(std::move(added));
    return *providers_.back();
}

std::vector<GstDevice *> DeviceProviders::Devices(const char *deviceClass)
{
    std::lock_guard lock(g_mutex);
    struct Listed {
        QString provider;
        GstDevice *device;
    };
    std::vector<Listed> listed;
    QStringList hidden;
    GList *factories = gst_device_provider_factory_list_get_device_providers(GST_RANK_MARGINAL);
    for (GList *item = factories; item; item = item->next) {
        auto *factory = GST_DEVICE_PROVIDER_FACTORY(item->data);
        if (!gst_device_provider_factory_has_classes(factory, deviceClass))
            continue;
        Provider &provider = ProviderOf(factory);
        if (!provider.Ready())
            continue;
        GList *devices = gst_device_provider_get_devices(provider.provider);
        for (GList *d = devices; d; d = d->next) {
            auto *device = GST_DEVICE(d->data);
            if (gst_device_has_classes(device, deviceClass))
                listed.push_back({provider.name, GST_DEVICE(gst_object_ref(device))});
        }
        g_list_free_full(devices, gst_object_unref);
        hidden << provider.Hides();
    }
    gst_plugin_feature_list_free(factories);
    std::vector<GstDevice *> devices;
    for (const Listed &entry : listed) {
        if (hidden.contains(entry.provider))
            gst_object_unref(entry.device);
        else
            devices.push_back(entry.device);
    }
    return devices;
}

} // namespace devices
