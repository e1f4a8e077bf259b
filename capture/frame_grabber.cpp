#include "capture/frame_grabber.h"

#include "platform/diag/diagnostics.h"

#include <cstring>

using namespace media;

namespace capture {

bool FrameGrabber::GetImageSize(LONG *size)
{
    if (!ready) {
        diag::OutputDebugString(QStringLiteral("Image Process object needed to initial first!"));
        return false;
    }
    const auto held = grabber;
    const HRESULT hr = held ? held->GetCurrentBuffer(&imageBufferSize, nullptr) : E_POINTER;
    if (Failed(hr)) {
        imageSizeKnown = false;
        diag::OutputDebugString(diag::Format("GetImageSize: GetCurrentBuffer function fail, error code: 0x%x",
                                             static_cast<unsigned>(hr)));
        return false;
    }
    if (size)
        *size = imageBufferSize;
    imageSizeKnown = true;
    return true;
}

bool FrameGrabber::GetImage(void *buffer)
{
    if (!ready) {
        diag::OutputDebugString(QStringLiteral("GetImage: Image Process object needed to initial first!"));
        return false;
    }
    if (!imageSizeKnown) {
        diag::OutputDebugString(QStringLiteral("Please get Image size first!"));
        return false;
    }
    if (!buffer)
        return false;
    const auto held = grabber;
    const HRESULT hr = held ? held->GetCurrentBuffer(&imageBufferSize, buffer) : E_POINTER;
    if (Failed(hr)) {
        diag::OutputDebugString(
            diag::Format("GetImage: GetCurrentBuffer fucntion fail: hr=%x", static_cast<unsigned>(hr)));
        return false;
    }
    return true;
}

bool FrameGrabber::GetBitmapInfoHeader(BITMAPINFOHEADER *header)
{
    if (!ready) {
        diag::OutputDebugString(
            QStringLiteral("GetBitmapInfoHeader: Image Process object needed to initial first!"));
        return false;
    }
    const auto held = grabber;
    AM_MEDIA_TYPE mt;
    const HRESULT hr = held ? held->GetConnectedMediaType(&mt) : E_POINTER;
    if (Failed(hr)) {
        diag::OutputDebugString(
            diag::Format("GetImage: GetConnectedMediaType function fail: hr=%x", static_cast<unsigned>(hr)));
        return false;
    }
    const VIDEOINFOHEADER *vih = mt.VideoInfo();
    if (vih && header) {
        std::memcpy(header, &vih->bmiHeader, sizeof(BITMAPINFOHEADER));
        FreeMediaType(mt);
        return true;
    }
    FreeMediaType(mt);
    diag::OutputDebugString(
        QStringLiteral("GetBitmapInfoHeader: Wrong format!! error code: VFW_E_INVALIDMEDIATYPE\n"));
    return false;
}

} // namespace capture
