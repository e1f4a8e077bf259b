#include "platform/devices/property_pages.h"

#include "platform/devices/property_dialogs.h"
#include "platform/media/source_filter.h"

#include <mutex>

namespace devices {
namespace {

std::mutex g_mutex;
PropertyFramePresenter *g_presenter = nullptr;

template <class Make>
class Pages : public ISpecifyPropertyPages {
public:
    explicit Pages(Make make) : make_(std::move(make)) {}
    std::unique_ptr<QDialog> CreateFrame(QWidget *owner, const QString &caption) override
    {
        return make_(owner, caption);
    }

private:
    Make make_;
};

template <class Make>
std::shared_ptr<ISpecifyPropertyPages> MakePages(Make make)
{
    return std::make_shared<Pages<Make>>(std::move(make));
}

QString DeviceProperty(GstElement *element)
{
    gchar *device = nullptr;
    g_object_get(element, "device", &device, nullptr);
    QString text = QString::fromUtf8(device ? device : "");
    g_free(device);
    return text;
}

const char *FactoryName(GstElement *element)
{
    GstElementFactory *factory = gst_element_get_factory(element);
    return factory ? GST_OBJECT_NAME(factory) : "";
}

} // namespace

HRESULT QueryPropertyPages(const std::shared_ptr<media::IBaseFilter> &filter,
                           std::shared_ptr<ISpecifyPropertyPages> *pages)
{
    if (!filter || !pages)
        return E_POINTER;
    pages->reset();
    GstElement *source = media::SourceElementOf(filter);
    if (!source)
        return E_NOINTERFACE;
    if (auto device = VirtualDevice::FromElement(source)) {
        *pages = MakePages([device](QWidget *owner, const QString &caption) -> std::unique_ptr<QDialog> {
            return std::make_unique<VirtualDeviceDialog>(owner, caption, device);
        });
    } else if (g_str_equal(FactoryName(source), "v4l2src")) {
        QString node = DeviceProperty(source);
        *pages = MakePages([node](QWidget *owner, const QString &caption) -> std::unique_ptr<QDialog> {
            return std::make_unique<CameraControlsDialog>(owner, caption, OpenV4l2Device(node));
        });
    } else if (g_str_equal(FactoryName(source), "pulsesrc")) {
        QString name = DeviceProperty(source);
        if (name.isEmpty())
            name = QStringLiteral("@DEFAULT_SOURCE@");
        *pages = MakePages([name](QWidget *owner, const QString &caption) -> std::unique_ptr<QDialog> {
            return std::make_unique<MicrophoneDialog>(owner, caption, OpenPulseSource(name));
        });
    }
    return *pages ? S_OK : E_NOINTERFACE;
}

void ShowPropertyFrame(QWidget *owner, const QString &caption, ISpecifyPropertyPages &pages)
{
    std::unique_ptr<QDialog> dialog = pages.CreateFrame(owner, caption);
    if (!dialog)
        return;
    PropertyFramePresenter *presenter;
    {
        std::lock_guard lock(g_mutex);
        presenter = g_presenter;
    }
    if (presenter)
        presenter->Present(*dialog);
    else
        dialog->exec();
}

PropertyFramePresenter *SetPropertyFramePresenter(PropertyFramePresenter *presenter)
{
    std::lock_guard lock(g_mutex);
    std::swap(g_presenter, presenter);
    return presenter;
}

RecordingFramePresenter::RecordingFramePresenter(std::function<void(QDialog &)> action)
    : action_(std::move(action)), previous_(SetPropertyFramePresenter(this))
{
}

RecordingFramePresenter::~RecordingFramePresenter() { SetPropertyFramePresenter(previous_); }

void RecordingFramePresenter::Present(QDialog &dialog)
{
    captions_.append(dialog.windowTitle());
    if (action_)
        action_(dialog);
}

} // namespace devices
