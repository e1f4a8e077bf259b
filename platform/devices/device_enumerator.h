#pragma once
// The system device enumerator: lists the capture devices of a category as
// monikers whose property bag holds their names and which bind to a capture
// filter of the graph.
//
// Order: configured virtual devices first (see device_config.h), then the
// devices GStreamer's device monitor finds ("Video/Source", "Audio/Source").
// A category with no device gives S_FALSE and no enumerator, as the
// framework's enumerator does; "none" in the configuration empties it.
//
// Reach it like any class: media::CoCreateInstance(CLSID_SystemDeviceEnum, &e)
// after RegisterSystemDeviceEnum() (idempotent; the device search calls it).
#include "platform/devices/device_config.h"
#include "platform/media/filter.h"
#include "platform/media/interfaces.h"

#include <QString>
#include <functional>
#include <memory>
#include <vector>

namespace devices {

// The names of a device. Reading a name the device does not have fails.
class IPropertyBag : public virtual media::IUnknown {
public:
    // "FriendlyName" or "Description" as text; E_FAIL when absent.
    virtual HRESULT Read(const QString &name, QString *value) = 0;
};

class IMoniker : public virtual media::IUnknown {
public:
    virtual HRESULT BindToStorage(std::shared_ptr<IPropertyBag> *bag) = 0;
    // A new capture filter for the device (not yet in any graph).
    virtual HRESULT BindToObject(std::shared_ptr<media::IBaseFilter> *filter) = 0;
};

class IEnumMoniker : public virtual media::IUnknown {
public:
    // Up to count monikers; S_OK when all were given, S_FALSE at the end.
    virtual HRESULT Next(media::ULONG count, std::shared_ptr<IMoniker> *monikers, media::ULONG *fetched) = 0;
    virtual HRESULT Reset() = 0;
};

class ICreateDevEnum : public virtual media::IUnknown {
public:
    // CLSID_VideoInputDeviceCategory or CLSID_AudioInputDeviceCategory.
    // S_FALSE and *out null when the category has no device.
    virtual HRESULT CreateClassEnumerator(const media::Guid &category, std::shared_ptr<IEnumMoniker> *out,
        media::DWORD flags) = 0;
};

// A moniker over fixed names and a bind function; the building block of the
// enumerator and of test doubles. An empty description means "none".
class SimpleMoniker : public IMoniker {
public:
    using Binder = std::function<HRESULT(std::shared_ptr<media::IBaseFilter> *)>;
    SimpleMoniker(QString friendlyName, QString description, Binder binder);
    HRESULT BindToStorage(std::shared_ptr<IPropertyBag> *bag) override;
    HRESULT BindToObject(std::shared_ptr<media::IBaseFilter> *filter) override;

private:
    QString friendlyName_;
    QString description_;
    Binder binder_;
};

// An enumerator over a fixed list of monikers.
class MonikerList : public IEnumMoniker {
public:
    explicit MonikerList(std::vector<std::shared_ptr<IMoniker>> monikers);
    HRESULT Next(media::ULONG count, std::shared_ptr<IMoniker> *monikers, media::ULONG *fetched) override;
    HRESULT Reset() override;

private:
    std::vector<std::shared_ptr<IMoniker>> monikers_;
    std::size_t next_ = 0;
};

// Monikers of a class in enumeration order (what the enumerator lists).
std::vector<std::shared_ptr<IMoniker>> ListDevices(DeviceKind kind);

// A new system device enumerator.
std::shared_ptr<ICreateDevEnum> CreateSystemDeviceEnum();

// Registers CLSID_SystemDeviceEnum with the media layer's class factory once
// per process; force registers it again (after a test double replaced it).
void RegisterSystemDeviceEnum(bool force = false);

} // namespace devices
