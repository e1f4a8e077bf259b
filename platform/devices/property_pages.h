#pragma once
// The property pages of capture filters: a modal dialog that edits the device
// itself. A V4L2 camera shows its controls, a PulseAudio source its volume,
// mute and input port, a virtual device its own settings.
//
// The dialog is built separately from being shown, and shown through a
// presenter that tests replace, so no test ever waits on a modal loop:
//
//   devices::RecordingFramePresenter frames([](QDialog &d) { ...change a control... });
//   settings.ShowWebcamProperties(nullptr);    // builds, "shows", returns
#include "platform/media/filter.h"
#include "platform/media/interfaces.h"

#include <QDialog>
#include <QStringList>
#include <functional>
#include <memory>

class QWidget;

namespace devices {

class ISpecifyPropertyPages : public virtual media::IUnknown {
public:
    // A new dialog over the device, owned by owner, titled caption.
    virtual std::unique_ptr<QDialog> CreateFrame(QWidget *owner, const QString &caption) = 0;
};

// The pages of filter; E_NOINTERFACE when its device has none (or it is not a
// capture filter), E_POINTER for a null filter or out place.
HRESULT QueryPropertyPages(const std::shared_ptr<media::IBaseFilter> &filter,
                           std::shared_ptr<ISpecifyPropertyPages> *pages);

// Builds the frame and shows it modally; returns when the user closes it.
void ShowPropertyFrame(QWidget *owner, const QString &caption, ISpecifyPropertyPages &pages);

class PropertyFramePresenter {
public:
    virtual ~PropertyFramePresenter() = default;
    virtual void Present(QDialog &dialog) = 0;
};

// Makes presenter the current one and returns the previous (null = exec()).
PropertyFramePresenter *SetPropertyFramePresenter(PropertyFramePresenter *presenter);

// Tests: records the captions of the frames it is given and runs action on
// each (to change controls) instead of a modal loop.
class RecordingFramePresenter : public PropertyFramePresenter {
public:
    explicit RecordingFramePresenter(std::function<void(QDialog &)> action = {});
    ~RecordingFramePresenter() override;
    RecordingFramePresenter(const RecordingFramePresenter &) = delete;
    RecordingFramePresenter &operator=(const RecordingFramePresenter &) = delete;

    void Present(QDialog &dialog) override;
    QStringList Captions() const { return captions_; }

private:
    std::function<void(QDialog &)> action_;
    QStringList captions_;
    PropertyFramePresenter *previous_;
};

} // namespace devices
