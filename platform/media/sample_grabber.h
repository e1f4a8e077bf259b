#pragma once
// The sample grabber: an in-line filter that passes RGB24 frames through and
// keeps a reference to the newest one. Frames are handed out in the Windows
// layout (bottom-up BGR rows padded to 4 bytes); the flip happens in
// GetCurrentBuffer, on the caller's thread, so streaming costs nothing extra.
#include "platform/media/filter.h"

#include <memory>

namespace media {

class SampleGrabber final : public Filter, public ISampleGrabber {
public:
    static std::shared_ptr<SampleGrabber> Create(HRESULT *hr);
    ~SampleGrabber() override;

    HRESULT SetMediaType(const AM_MEDIA_TYPE *mt) override;
    HRESULT GetConnectedMediaType(AM_MEDIA_TYPE *mt) override;
    HRESULT SetBufferSamples(BOOL buffer) override;
    HRESULT SetOneShot(BOOL oneShot) override;
    HRESULT GetCurrentBuffer(LONG *bufferSize, void *buffer) override;

    void OnPinConnected(const std::shared_ptr<Pin> &pin) override;
    // The stream reached its end without a single frame since it started (or
    // since the last flushing seek): a file whose video cannot give a picture.
    bool EndedWithoutFrame() const;

    struct Impl;

private:
    SampleGrabber();
    std::unique_ptr<Impl> d;
};

} // namespace media
