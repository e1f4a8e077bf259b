#pragma once
// The video renderer: frames go to our own Qt video window (a child widget of
// the owner) that paints the source rectangle of the newest frame into its
// client area. Setters are thread-safe and never wait for the GUI thread.
#include "platform/media/filter.h"

#include <memory>

namespace media {

class VideoRenderer final : public Filter, public IVideoWindow, public IBasicVideo {
public:
    static std::shared_ptr<VideoRenderer> Create(HRESULT *hr);
    ~VideoRenderer() override;

    // IVideoWindow
    HRESULT put_Owner(QWidget *host) override;
    HRESULT get_Owner(QWidget **host) override;
    HRESULT put_WindowStyle(LONG style) override;
    HRESULT get_WindowStyle(LONG *style) override;
    HRESULT SetWindowPosition(LONG left, LONG top, LONG width, LONG height) override;
    HRESULT GetWindowPosition(LONG *left, LONG *top, LONG *width, LONG *height) override;
    HRESULT put_Visible(LONG visible) override;
    HRESULT get_Visible(LONG *visible) override;
    HRESULT put_MessageDrain(QWidget *drain) override;
    QWidget *VideoWidget() const override;

    // IBasicVideo
    HRESULT SetSourcePosition(LONG left, LONG top, LONG width, LONG height) override;
    HRESULT GetSourcePosition(LONG *left, LONG *top, LONG *width, LONG *height) override;
    HRESULT SetDefaultSourcePosition() override;
    HRESULT GetDestinationPosition(LONG *left, LONG *top, LONG *width, LONG *height) override;
    HRESULT GetVideoSize(LONG *width, LONG *height) override;

    // A tee output that was told this view wants no frames forgets it.
    void OnPinDisconnected(const std::shared_ptr<Pin> &pin) override;

    // Frames painted so far (tests and benchmarks).
    long FramesRendered() const;

    struct Impl;

private:
    VideoRenderer();
    std::shared_ptr<Impl> d;
};

} // namespace media
