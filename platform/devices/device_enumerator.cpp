#include "platform/devices/device_enumerator.h"

#include "platform/devices/audio_input_line.h"
#include "platform/devices/device_providers.h"
#include "platform/devices/virtual_device.h"
#include "platform/diag/diagnostics.h"
#include "platform/media/factory.h"
#include "platform/media/source_filter.h"

#include <algorithm>
#include <mutex>

namespace devices {
namespace {

class NameBag : public IPropertyBag {
public:
    NameBag(QString friendlyName, QString description)
        : friendlyName_(std::move(friendlyName)), description_(std::move(description)) {}
    HRESULT Read(const QString &name, QString *value) override
    {
        if (!value)
            return E_POINTER;
        const QString *found = name == QLatin1String("FriendlyName") ? &friendlyName_
                             : name == QLatin1String("Description")  ? &description_
                                                                     : nullptr;
        if (!found || found->isEmpty())
            return E_FAIL;
        *value = *found;
        return S_OK;
    }

private:
    QString friendlyName_;
    QString description_;
};

media::SourceOptions OptionsFor(DeviceKind kind)
{
    media::SourceOptions options;
    options.kind = kind == DeviceKind::Video ? media::SourceKind::Video : media::SourceKind::Audio;
    return options;
}

HRESULT Wrap(GstElement *element, const media::SourceOptions &options,
             std::shared_ptr<media::IBaseFilter> *filter)
{
    if (!filter)
        return E_POINTER;
    *filter = media::MakeSourceFilter(element, options);
    return *filter ? S_OK : E_FAIL;
}

std::shared_ptr<IMoniker> VirtualMoniker(const std::shared_ptr<VirtualDevice> &device)
{
    // Virtual devices have no description, only a friendly name.
    return std::make_shared<SimpleMoniker>(
        device->FriendlyName(), QString(), [device](std::shared_ptr<media::IBaseFilter> *filter) {
            QString error;
            GstElement *element = device->CreateElement(&error);
            if (!element) {
                diag::OutputDebugString(QStringLiteral("device \"%1\": %2").arg(device->FriendlyName(), error));
                return E_FAIL;
            }
            media::SourceOptions options = OptionsFor(device->Kind());
            options.refuseConnection = [device] { return device->ConsumeConnectFailure(); };
            return Wrap(element, options, filter);
        });
}

QString StringProperty(const GstStructure *properties, const char *name)
{
    const gchar *value = properties ? gst_structure_get_string(properties, name) : nullptr;
    return value ? QString::fromUtf8(value) : QString();
}

struct FoundDevice {
    std::shared_ptr<IMoniker> moniker;
    int rank = 0;
};

std::shared_ptr<IMoniker> SystemMoniker(GstDevice *device, DeviceKind kind, QString friendlyName,
                                        QString description)
{
    auto holder = std::shared_ptr<GstDevice>(GST_DEVICE(gst_object_ref(device)),
                                             [](GstDevice *d) { gst_object_unref(d); });
    return std::make_shared<SimpleMoniker>(
        std::move(friendlyName), std::move(description),
        [holder, kind](std::shared_ptr<media::IBaseFilter> *filter) {
            GstElement *element = gst_device_create_element(holder.get(), nullptr);
            if (!element)
                return E_FAIL;
            media::SourceOptions options = OptionsFor(kind);
            GstElementFactory *factory = gst_element_get_factory(element);
            if (factory && g_strcmp0(GST_OBJECT_NAME(factory), "pulsesrc") == 0) {
                gchar *source = nullptr;
                g_object_get(element, "device", &source, nullptr);
                options.extraPins = MakeInputLinePins(QString::fromUtf8(source ? source : "@DEFAULT_SOURCE@"));
                g_free(source);
            }
            return Wrap(element, options, filter);
        });
}

// Devices the providers find. Monitors of PulseAudio outputs are real sources
// (a null sink's monitor is how a machine without a microphone records, and
// the tests rely on it), but they carry what is played, not what is said, so
// they come after every real input; the user's default input comes first.
std::vector<std::shared_ptr<IMoniker>> SystemDevices(DeviceKind kind)
{
    std::vector<FoundDevice> found;
    for (GstDevice *device :
         SearchDeviceProviders(kind == DeviceKind::Video ? "Video/Source" : "Audio/Source")) {
        gchar *display = gst_device_get_display_name(device);
        GstStructure *properties = gst_device_get_properties(device);
        const bool isMonitor = StringProperty(properties, "device.class") == QLatin1String("monitor");
        gboolean isDefault = FALSE;
        if (properties)
            gst_structure_get_boolean(properties, "is-default", &isDefault);
        const int rank = isMonitor ? 2 : (isDefault ? 0 : 1);
        found.push_back({SystemMoniker(device, kind, QString::fromUtf8(display ? display : ""),
                                       StringProperty(properties, "device.description")),
                         rank});
        if (properties)
            gst_structure_free(properties);
        g_free(display);
        gst_object_unref(device);
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const FoundDevice &a, const FoundDevice &b) { return a.rank < b.rank; });
    std::vector<std::shared_ptr<IMoniker>> monikers;
    for (FoundDevice &f : found)
        monikers.push_back(std::move(f.moniker));
    return monikers;
}

class SystemDeviceEnum : public ICreateDevEnum {
public:
    HRESULT CreateClassEnumerator(const media::Guid &category, std::shared_ptr<IEnumMoniker> *out,
                                  media::DWORD) override
    {
        if (!out)
            return E_POINTER;
        out->reset();
        std::vector<std::shared_ptr<IMoniker>> monikers;
        if (category == media::CLSID_VideoInputDeviceCategory)
            monikers = ListDevices(DeviceKind::Video);
        else if (category == media::CLSID_AudioInputDeviceCategory)
            monikers = ListDevices(DeviceKind::Audio);
        if (monikers.empty())
            return S_FALSE;
        *out = std::make_shared<MonikerList>(std::move(monikers));
        return S_OK;
    }
};

} // namespace

SimpleMoniker::SimpleMoniker(QString friendlyName, QString description, Binder binder)
    : friendlyName_(std::move(friendlyName)), description_(std::move(description)), binder_(std::move(binder))
{
}

HRESULT SimpleMoniker::BindToStorage(std::shared_ptr<IPropertyBag> *bag)
{
    if (!bag)
        return E_POINTER;
    *bag = std::make_shared<NameBag>(friendlyName_, description_);
    return S_OK;
}

HRESULT SimpleMoniker::BindToObject(std::shared_ptr<media::IBaseFilter> *filter)
{
    if (!filter)
        return E_POINTER;
    filter->reset();
    return binder_ ? binder_(filter) : E_FAIL;
}

MonikerList::MonikerList(std::vector<std::shared_ptr<IMoniker>> monikers) : monikers_(std::move(monikers)) {}

HRESULT MonikerList::Next(media::ULONG count, std::shared_ptr<IMoniker> *monikers, media::ULONG *fetched)
{
    if (!monikers && count > 0)
        return E_POINTER;
    media::ULONG given = 0;
    while (given < count && next_ < monikers_.size())
        monikers[given++] = monikers_[next_++];
    if (fetched)
        *fetched = given;
    return given == count ? S_OK : S_FALSE;
}

HRESULT MonikerList::Reset()
{
    next_ = 0;
    return S_OK;
}

std::vector<std::shared_ptr<IMoniker>> ListDevices(DeviceKind kind)
{
    const DeviceConfig config = CurrentDeviceConfig();
    const DeviceClassConfig &classConfig = config.For(kind);
    std::vector<std::shared_ptr<IMoniker>> monikers;
    if (classConfig.none)
        return monikers;
    for (const auto &device : VirtualDevicesFor(kind, classConfig))
        monikers.push_back(VirtualMoniker(device));
    for (auto &moniker : SystemDevices(kind))
        monikers.push_back(std::move(moniker));
    return monikers;
}

std::shared_ptr<ICreateDevEnum> CreateSystemDeviceEnum()
{
    return std::make_shared<SystemDeviceEnum>();
}

void RegisterSystemDeviceEnum(bool force)
{
    static std::once_flag once;
    auto registerIt = [] {
        media::RegisterClassFactory(media::CLSID_SystemDeviceEnum, [](std::shared_ptr<media::IUnknown> *out) {
            if (!out)
                return E_POINTER;
            *out = CreateSystemDeviceEnum();
            return S_OK;
        });
    };
    std::call_once(once, registerIt);
    if (force)
        registerIt();
}

} // namespace devices
