#include "platform/devices/device_providers.h"

#include <QStringList>

namespace devices {
namespace {

// A provider for the length of one search.
class ProviderSearch {
public:
    explicit ProviderSearch(GstDeviceProviderFactory *factory) : provider_(gst_device_provider_factory_get(factory))
    {
        if (provider_ && gst_device_provider_can_monitor(provider_))
            started_ = gst_device_provider_start(provider_);
    }
    ~ProviderSearch()
    {
        if (started_)
            gst_device_provider_stop(provider_);
        if (provider_)
            gst_object_unref(provider_);
    }
    ProviderSearch(const ProviderSearch &) = delete;
    ProviderSearch &operator=(const ProviderSearch &) = delete;

    // Its devices, each with a reference; none when it could not be started.
    GList *Devices() const
    {
        if (!provider_ || (gst_device_provider_can_monitor(provider_) && !started_))
            return nullptr;
        return gst_device_provider_get_devices(provider_);
    }

    QStringList Hides() const
    {
        QStringList names;
        gchar **hidden = provider_ ? gst_device_provider_get_hidden_providers(provider_) : nullptr;
        for (gchar **entry = hidden; entry && *entry; ++entry)
            names << QString::fromUtf8(*entry);
        g_strfreev(hidden);
        return names;
    }

private:
    GstDeviceProvider *provider_;
    bool started_ = false;
};

} // namespace

std::vector<GstDevice *> SearchDeviceProviders(const char *deviceClass)
{
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
        const ProviderSearch search(factory);
        GList *devices = search.Devices();
        for (GList *d = devices; d; d = d->next) {
            auto *device = GST_DEVICE(d->data);
            if (gst_device_has_classes(device, deviceClass))
                listed.push_back({QString::fromUtf8(GST_OBJECT_NAME(factory)), GST_DEVICE(gst_object_ref(device))});
        }
        g_list_free_full(devices, gst_object_unref);
        hidden << search.Hides();
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
