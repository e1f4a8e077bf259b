#include "platform/media/sample_grabber.h"

#include "platform/media/frame_demand.h"
#include "platform/media/gst_util.h"

#include <gst/video/video.h>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>

namespace media {

struct SampleGrabber::Impl {
    GstElement *capsfilter = nullptr;
    std::shared_ptr<Pin> input;

    std::mutex mutex;
    std::condition_variable capsCond;
    bool buffering = false;
    bool oneShot = false;
    bool haveInfo = false;
    bool framesSinceStart = false;
    bool ended = false;
    GstVideoInfo info;
    GstBuffer *newest = nullptr;
    AM_MEDIA_TYPE wanted;

    ~Impl()
    {
        if (newest)
            gst_buffer_unref(newest);
    }

    static GstPadProbeReturn OnData(GstPad *, GstPadProbeInfo *probe, gpointer data);
    CapsPtr WantedCaps() const;
};

GstPadProbeReturn SampleGrabber::Impl::OnData(GstPad *, GstPadProbeInfo *probe, gpointer data)
{
    auto *self = static_cast<Impl *>(data);
    if (probe->type & GST_PAD_PROBE_TYPE_BUFFER) {
        GstBuffer *buffer = GST_PAD_PROBE_INFO_BUFFER(probe);
        std::lock_guard lock(self->mutex);
        self->framesSinceStart = true;
        if (self->oneShot && self->newest)
            return GST_PAD_PROBE_DROP;
        if (self->buffering || self->oneShot)
            gst_buffer_replace(&self->newest, buffer);
        return GST_PAD_PROBE_OK;
    }
    GstEvent *event = GST_PAD_PROBE_INFO_EVENT(probe);
    if (!event)
        return GST_PAD_PROBE_OK;
    if (GST_EVENT_TYPE(event) == GST_EVENT_EOS || GST_EVENT_TYPE(event) == GST_EVENT_STREAM_START
        || GST_EVENT_TYPE(event) == GST_EVENT_FLUSH_STOP) {
        std::lock_guard lock(self->mutex);
        self->ended = GST_EVENT_TYPE(event) == GST_EVENT_EOS;
        if (!self->ended)
            self->framesSinceStart = false;
    }
    if (GST_EVENT_TYPE(event) == GST_EVENT_CAPS) {
        GstCaps *caps = nullptr;
        gst_event_parse_caps(event, &caps);
        std::lock_guard lock(self->mutex);
        self->haveInfo = gst_video_info_from_caps(&self->info, caps);
        // A new format invalidates the kept frame.
        gst_buffer_replace(&self->newest, nullptr);
        self->capsCond.notify_all();
    }
    return GST_PAD_PROBE_OK;
}

CapsPtr SampleGrabber::Impl::WantedCaps() const
{
    CapsPtr caps(gst_caps_from_string("video/x-raw,format=BGR"));
    if (const VIDEOINFOHEADER *vih = wanted.VideoInfo()) {
        if (vih->bmiHeader.biWidth > 0 && vih->bmiHeader.biHeight != 0)
            gst_caps_set_simple(caps.get(), "width", G_TYPE_INT, int(vih->bmiHeader.biWidth), "height", G_TYPE_INT,
                int(std::abs(vih->bmiHeader.biHeight)), nullptr);
    }
    return caps;
}

SampleGrabber::SampleGrabber() : Filter(CLSID_SampleGrabber), d(std::make_unique<Impl>())
{
    gst_video_info_init(&d->info);
}

SampleGrabber::~SampleGrabber() = default;

std::shared_ptr<SampleGrabber> SampleGrabber::Create(HRESULT *hr)
{
    auto f = std::shared_ptr<SampleGrabber>(new SampleGrabber());
    f->d->capsfilter = MakeElement("capsfilter");
    if (!f->d->capsfilter) {
        *hr = REGDB_E_CLASSNOTREG;
        return nullptr;
    }
    f->AddToBin(f->d->capsfilter);
    g_object_set(f->d->capsfilter, "caps", f->d->WantedCaps().get(), nullptr);
    PadPtr sink(gst_element_get_static_pad(f->d->capsfilter, "sink"));
    PadPtr src(gst_element_get_static_pad(f->d->capsfilter, "src"));
    gst_pad_add_probe(src.get(),
        static_cast<GstPadProbeType>(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM), &Impl::OnData,
        f->d.get(), nullptr);
    // The grabber takes frames whether or not the view behind it is in sight.
    FrameDemand::StopAt(src.get());
    f->d->input = f->AddPin(PINDIR_INPUT, QStringLiteral("Input"), sink.get(), MEDIATYPE_Video);
    f->AddPin(PINDIR_OUTPUT, QStringLiteral("Output"), src.get(), MEDIATYPE_Video);
    *hr = S_OK;
    return f;
}

HRESULT SampleGrabber::SetMediaType(const AM_MEDIA_TYPE *mt)
{
    if (!mt)
        return E_POINTER;
    if (mt->majortype != MEDIATYPE_Video || (mt->subtype != MEDIASUBTYPE_RGB24 && !mt->subtype.IsNull()))
        return VFW_E_INVALIDMEDIATYPE;
    d->wanted = *mt;
    // Like the framework's grabber, the type only governs the next connection.
    if (!d->input->IsConnected())
        g_object_set(d->capsfilter, "caps", d->WantedCaps().get(), nullptr);
    return S_OK;
}

HRESULT SampleGrabber::GetConnectedMediaType(AM_MEDIA_TYPE *mt)
{
    if (!mt)
        return E_POINTER;
    if (!d->input->IsConnected())
        return VFW_E_NOT_CONNECTED;
    int width = 0, height = 0;
    {
        std::unique_lock lock(d->mutex);
        // While the graph starts, the format is settled within moments.
        if (!d->haveInfo && GST_STATE_TARGET(d->capsfilter) >= GST_STATE_PAUSED)
            d->capsCond.wait_for(lock, std::chrono::seconds(2), [this] { return d->haveInfo; });
        if (d->haveInfo) {
            width = GST_VIDEO_INFO_WIDTH(&d->info);
            height = GST_VIDEO_INFO_HEIGHT(&d->info);
        }
    }
    if (width == 0 && !PeerFixedVideoSize(d->input->Pad(), &width, &height))
        return VFW_E_WRONG_STATE;
    *mt = MakeRgb24MediaType(width, height);
    return S_OK;
}

HRESULT SampleGrabber::SetBufferSamples(BOOL buffer)
{
    std::lock_guard lock(d->mutex);
    d->buffering = buffer != 0;
    return S_OK;
}

HRESULT SampleGrabber::SetOneShot(BOOL oneShot)
{
    std::lock_guard lock(d->mutex);
    d->oneShot = oneShot != 0;
    return S_OK;
}

HRESULT SampleGrabber::GetCurrentBuffer(LONG *bufferSize, void *buffer)
{
    if (!bufferSize)
        return E_POINTER;
    GstBuffer *frame = nullptr;
    GstVideoInfo info;
    {
        std::lock_guard lock(d->mutex);
        if (!d->newest || !d->haveInfo)
            return VFW_E_WRONG_STATE;
        frame = gst_buffer_ref(d->newest);
        info = d->info;
    }
    const LONG width = GST_VIDEO_INFO_WIDTH(&info);
    const LONG height = GST_VIDEO_INFO_HEIGHT(&info);
    const LONG stride = DibStride(width, 24);
    const LONG needed = stride * height;
    HRESULT hr = S_OK;
    if (!buffer) {
        *bufferSize = needed;
    } else if (*bufferSize < needed) {
        hr = E_OUTOFMEMORY;
    } else {
        GstVideoFrame vf;
        if (gst_video_frame_map(&vf, &info, frame, GST_MAP_READ)) {
            const auto *src = static_cast<const std::uint8_t *>(GST_VIDEO_FRAME_PLANE_DATA(&vf, 0));
            const int srcStride = GST_VIDEO_FRAME_PLANE_STRIDE(&vf, 0);
            auto *dst = static_cast<std::uint8_t *>(buffer);
            const size_t row = static_cast<size_t>(width) * 3;
            // GStreamer rows run top-down; the bitmap's bottom-up.
            for (LONG y = 0; y < height; ++y) {
                std::uint8_t *out = dst + static_cast<size_t>(height - 1 - y) * stride;
                std::memcpy(out, src + static_cast<size_t>(y) * srcStride, row);
                std::memset(out + row, 0, static_cast<size_t>(stride) - row);
            }
            gst_video_frame_unmap(&vf);
            *bufferSize = needed;
        } else {
            hr = E_FAIL;
        }
    }
    gst_buffer_unref(frame);
    return hr;
}

void SampleGrabber::OnPinConnected(const std::shared_ptr<Pin> &) {}

bool SampleGrabber::EndedWithoutFrame() const
{
    std::lock_guard lock(d->mutex);
    return d->ended && !d->framesSinceStart;
}

} // namespace media
