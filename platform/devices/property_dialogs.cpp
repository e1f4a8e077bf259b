#include "platform/devices/property_dialogs.h"

#include "platform/diag/diagnostics.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>

namespace devices {
namespace {

QFormLayout *MakeFrame(QDialog *dialog, const QString &caption)
{
    dialog->setWindowTitle(caption);
    dialog->setModal(true);
    auto *layout = new QVBoxLayout(dialog);
    auto *form = new QFormLayout;
    layout->addLayout(form);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, dialog);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    layout->addWidget(buttons);
    return form;
}

void Note(QFormLayout *form, const QString &text)
{
    auto *label = new QLabel(text);
    label->setWordWrap(true);
    form->addRow(label);
}

QSlider *MakeSlider(int minimum, int maximum, int step, int value)
{
    auto *slider = new QSlider(Qt::Horizontal);
    slider->setRange(minimum, maximum);
    slider->setSingleStep(step);
    slider->setPageStep(std::max(step, (maximum - minimum) / 10));
    slider->setValue(value);
    return slider;
}

} // namespace

// ---- camera: V4L2 controls ----

CameraControlsDialog::CameraControlsDialog(QWidget *owner, const QString &caption,
                                           std::unique_ptr<V4l2ControlDevice> device)
    : QDialog(owner), device_(std::move(device))
{
    QFormLayout *form = MakeFrame(this, caption);
    const std::vector<V4l2Control> controls = device_ ? device_->QueryControls() : std::vector<V4l2Control>{};
    if (controls.empty())
        Note(form, tr("This camera offers no settings."));
    for (const V4l2Control &control : controls)
        AddControl(form, control);
}

void CameraControlsDialog::Set(const V4l2Control &control, std::int32_t value)
{
    if (!device_->SetControl(control.id, value))
        diag::OutputDebugString(QStringLiteral("camera control \"%1\" refused %2").arg(control.name).arg(value));
    RefreshStates();
}

void CameraControlsDialog::RefreshStates()
{
    for (const V4l2Control &control : device_->QueryControls())
        if (auto it = widgets_.find(control.id); it != widgets_.end())
            it->second->setEnabled(!control.readOnly && !control.inactive);
}

void CameraControlsDialog::AddControl(QFormLayout *form, const V4l2Control &control)
{
    std::int32_t value = control.defaultValue;
    device_->GetControl(control.id, &value);
    QWidget *widget = nullptr;
    switch (control.type) {
    case V4l2Control::Type::Integer: {
        auto *slider = MakeSlider(control.minimum, control.maximum, control.step, value);
        connect(slider, &QSlider::valueChanged, this, [this, control](int v) {
            // Values between steps are not valid for the driver.
            Set(control, control.minimum + (v - control.minimum) / control.step * control.step);
        });
        widget = slider;
        break;
    }
    case V4l2Control::Type::Boolean: {
        auto *box = new QCheckBox;
        box->setChecked(value != 0);
        connect(box, &QCheckBox::toggled, this, [this, control](bool on) { Set(control, on ? 1 : 0); });
        widget = box;
        break;
    }
    case V4l2Control::Type::Menu: {
        auto *combo = new QComboBox;
        for (const auto &[item, text] : control.menu)
            combo->addItem(text, item);
        combo->setCurrentIndex(std::max(0, combo->findData(value)));
        connect(combo, &QComboBox::activated, this,
                [this, control, combo](int index) { Set(control, combo->itemData(index).toInt()); });
        widget = combo;
        break;
    }
    case V4l2Control::Type::Button: {
        auto *button = new QPushButton(control.name);
        connect(button, &QPushButton::clicked, this, [this, control] { Set(control, 1); });
        widget = button;
        break;
    }
    }
    widget->setObjectName(QStringLiteral("control-%1").arg(control.id));
    widget->setEnabled(!control.readOnly && !control.inactive);
    widgets_[control.id] = widget;
    form->addRow(control.name, widget);
}

// ---- microphone: PulseAudio source ----

MicrophoneDialog::MicrophoneDialog(QWidget *owner, const QString &caption,
                                   std::unique_ptr<AudioSourceControl> source)
    : QDialog(owner), source_(std::move(source))
{
    QFormLayout *form = MakeFrame(this, caption);
    const auto info = source_ ? source_->Info() : std::nullopt;
    if (!info) {
        Note(form, tr("The sound server does not answer; the microphone settings cannot be read."));
        return;
    }
    AudioSourceControl *control = source_.get();
    auto *volume = MakeSlider(0, 150, 1, info->volumePercent);
    volume->setObjectName(QStringLiteral("volume"));
    connect(volume, &QSlider::valueChanged, this, [control](int v) { control->SetVolumePercent(v); });
    form->addRow(tr("Volume (%)"), volume);

    auto *mute = new QCheckBox;
    mute->setObjectName(QStringLiteral("mute"));
    mute->setChecked(info->mute);
    connect(mute, &QCheckBox::toggled, this, [control](bool on) { control->SetMute(on); });
    form->addRow(tr("Mute"), mute);

    auto *port = new QComboBox;
    port->setObjectName(QStringLiteral("port"));
    for (const PulsePort &p : info->ports)
        port->addItem(p.available ? p.description : tr("%1 (unplugged)").arg(p.description), p.name);
    port->setCurrentIndex(std::max(0, port->findData(info->activePort)));
    port->setEnabled(info->ports.size() > 1);
    connect(port, &QComboBox::activated, this,
            [control, port](int index) { control->SetPort(port->itemData(index).toString()); });
    form->addRow(tr("Input"), port);
}

// ---- virtual devices: their element's settings ----

VirtualDeviceDialog::VirtualDeviceDialog(QWidget *owner, const QString &caption,
                                         std::shared_ptr<VirtualDevice> device)
    : QDialog(owner), device_(std::move(device))
{
    QFormLayout *form = MakeFrame(this, caption);
    if (device_->Source().type == VirtualSource::Type::File)
        Note(form, tr("Plays %1 in a loop.").arg(device_->Source().path));
    const QStringList names = device_->SettingNames();
    if (names.isEmpty())
        Note(form, tr("This device has no settings."));
    for (const QString &name : names)
        AddSetting(form, name);
}

void VirtualDeviceDialog::AddSetting(QFormLayout *form, const QString &name)
{
    GParamSpec *spec = device_->SettingSpec(name);
    if (!spec)
        return;
    VirtualDevice *device = device_.get();
    const QVariant value = device_->Setting(name);
    QWidget *widget = nullptr;
    if (G_IS_PARAM_SPEC_ENUM(spec)) {
        auto *combo = new QComboBox;
        GEnumClass *values = G_PARAM_SPEC_ENUM(spec)->enum_class;
        for (guint i = 0; i < values->n_values; ++i)
            combo->addItem(QString::fromUtf8(values->values[i].value_nick), values->values[i].value);
        combo->setCurrentIndex(std::max(0, combo->findData(value.toInt())));
        connect(combo, &QComboBox::activated, this,
                [device, name, combo](int index) { device->SetSetting(name, combo->itemData(index)); });
        widget = combo;
    } else if (G_IS_PARAM_SPEC_DOUBLE(spec)) {
        auto *box = new QDoubleSpinBox;
        box->setDecimals(2);
        box->setRange(G_PARAM_SPEC_DOUBLE(spec)->minimum, std::min(G_PARAM_SPEC_DOUBLE(spec)->maximum, 1e6));
        box->setValue(value.toDouble());
        connect(box, &QDoubleSpinBox::valueChanged, this, [device, name](double v) { device->SetSetting(name, v); });
        widget = box;
    } else if (G_IS_PARAM_SPEC_INT(spec)) {
        auto *box = new QSpinBox;
        box->setRange(G_PARAM_SPEC_INT(spec)->minimum, G_PARAM_SPEC_INT(spec)->maximum);
        box->setValue(value.toInt());
        connect(box, &QSpinBox::valueChanged, this, [device, name](int v) { device->SetSetting(name, v); });
        widget = box;
    } else {
        return;
    }
    widget->setObjectName(name);
    form->addRow(QString::fromUtf8(g_param_spec_get_nick(spec)), widget);
}

} // namespace devices
