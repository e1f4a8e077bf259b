#pragma once
// The three property dialogs. Every control applies its change to the device
// at once (as the platform's property pages do); Close ends the dialog.
// Controls carry object names so tests can find them:
//   camera:      "control-<id in decimal>" per V4L2 control
//   microphone:  "volume" (slider, percent), "mute" (check box), "port" (combo box)
//   virtual:     the setting's name ("pattern", "wave", "freq", "volume")
#include "platform/devices/pulse_source.h"
#include "platform/devices/v4l2_controls.h"
#include "platform/devices/virtual_device.h"

#include <QDialog>
#include <map>
#include <memory>

class QFormLayout;

namespace devices {

class CameraControlsDialog : public QDialog {
public:
    CameraControlsDialog(QWidget *owner, const QString &caption, std::unique_ptr<V4l2ControlDevice> device);

private:
    void AddControl(QFormLayout *form, const V4l2Control &control);
    void Set(const V4l2Control &control, std::int32_t value);
    // Controls depend on each other (manual white balance is inactive while
    // the automatic one is on): after a change, follow the driver's flags.
    void RefreshStates();

    std::unique_ptr<V4l2ControlDevice> device_;
    std::map<std::uint32_t, QWidget *> widgets_;
};

class MicrophoneDialog : public QDialog {
public:
    MicrophoneDialog(QWidget *owner, const QString &caption, std::unique_ptr<AudioSourceControl> source);

private:
    std::unique_ptr<AudioSourceControl> source_;
};

class VirtualDeviceDialog : public QDialog {
public:
    VirtualDeviceDialog(QWidget *owner, const QString &caption, std::shared_ptr<VirtualDevice> device);

private:
    void AddSetting(QFormLayout *form, const QString &name);
    std::shared_ptr<VirtualDevice> device_;
};

} // namespace devices
