#pragma once
// Frame access shared by the two video engines (camera graph and player): the
// newest frame of a sample grabber as a bottom-up 24-bit DIB. The engine keeps
// the state; these functions apply the one set of rules and texts to it.
// They run on the tracking thread; the dialog stops that thread before it
// releases the grabber.
#include "platform/media/interfaces.h"

#include <atomic>
#include <memory>

namespace capture {

struct FrameGrabber {
    const std::atomic<bool> &ready;                        // a graph is built and running
    const std::shared_ptr<media::ISampleGrabber> &grabber;
    media::LONG &imageBufferSize;                          // size last reported by the grabber
    std::atomic<bool> &imageSizeKnown;

    bool GetImageSize(media::LONG *size);
    bool GetImage(void *buffer);
    bool GetBitmapInfoHeader(media::BITMAPINFOHEADER *header);
};

} // namespace capture
