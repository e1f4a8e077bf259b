#pragma once
// A configured virtual capture device (test pattern, tone or looping file).
// Like a real device it has state of its own that outlives any one graph: the
// settings edited in its property dialog apply to every element currently made
// from it and to those made later, the way a camera control stays set in the
// driver whichever program opened the camera.
#include "platform/devices/device_config.h"

#include <gst/gst.h>

#include <QString>
#include <QVariant>
#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace devices {

class VirtualDevice : public std::enable_shared_from_this<VirtualDevice> {
public:
    VirtualDevice(DeviceKind kind, const VirtualSource &source, QString friendlyName);
    ~VirtualDevice();
    VirtualDevice(const VirtualDevice &) = delete;
    VirtualDevice &operator=(const VirtualDevice &) = delete;

    DeviceKind Kind() const { return kind_; }
    const VirtualSource &Source() const { return source_; }
    const QString &FriendlyName() const { return friendlyName_; }

    // A new source element (floating reference), or null with *error set when
    // it cannot be made (missing plugin, missing file). Test sources are live.
    GstElement *CreateElement(QString *error);

    // The element properties the property dialog offers ("pattern"; "wave",
    // "freq", "volume"); empty for file devices.
    QStringList SettingNames() const;
    // Current value of a setting: the last one set, else the element default.
    QVariant Setting(const QString &name) const;
    // Stores value and applies it to every live element of this device.
    bool SetSetting(const QString &name, const QVariant &value);
    // The parameter description of a setting (type, range, enum values), taken
    // from the source element's class; null when unknown.
    GParamSpec *SettingSpec(const QString &name) const;

    // Connection attempts still to fail (tests of the retry logic): returns
    // true and counts down while attempts remain.
    bool ConsumeConnectFailure();

    // Live elements made from this device (new references; caller unrefs).
    std::vector<GstElement *> LiveElements() const;

    // The device an element was made from, or null.
    static std::shared_ptr<VirtualDevice> FromElement(GstElement *element);

private:
    GstElement *CreateTestElement(QString *error);
    GstElement *CreateFileElement(QString *error);
    const char *TestFactory() const;
    void Track(GstElement *element);

    DeviceKind kind_;
    VirtualSource source_;
    QString friendlyName_;
    std::atomic<int> failuresLeft_;
    mutable std::mutex mutex_;
    std::map<QString, QVariant> settings_;
    std::vector<std::unique_ptr<GWeakRef>> live_;
};

// The process-wide set of virtual devices of a class, made once per source
// text so that every enumeration sees the same devices (and their settings).
std::vector<std::shared_ptr<VirtualDevice>> VirtualDevicesFor(DeviceKind kind,
                                                              const DeviceClassConfig &config);

} // namespace devices
