#include "platform/media/video_renderer.h"

#include "platform/diag/thread_handoff.h"
#include "platform/media/frame_demand.h"
#include "platform/media/gst_util.h"
#include "platform/media/picture_pool.h"
#include "platform/media/video_window_widget.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThread>
#include <atomic>
#include <gst/app/gstappsink.h>
#include <gst/video/video.h>
#include <libyuv.h>
#include <mutex>
#include <utility>

namespace media {
namespace {

bool OnGuiThread()
{
    return QCoreApplication::instance() && QThread::currentThread() == QCoreApplication::instance()->thread();
}

// Runs fn on the GUI thread: now when already there, else queued (never waits).
void OnGui(std::function<void()> fn)
{
    if (OnGuiThread())
        fn();
    else if (QCoreApplication::instance())
        QMetaObject::invokeMethod(QCoreApplication::instance(), diag::QueuedCall(std::move(fn)), Qt::QueuedConnection);
}

struct MappedFrame {
    GstVideoFrame frame;
};

void ReleaseFrame(void *data)
{
    auto *mapped = static_cast<MappedFrame *>(data);
    gst_video_frame_unmap(&mapped->frame);
    delete mapped;
}

// The 32-bit formats the window draws as they are; others are converted.
QImage::Format ImageFormat(GstVideoFormat format)
{
    switch (format) {
    case GST_VIDEO_FORMAT_BGRx: return QImage::Format_RGB32;
    case GST_VIDEO_FORMAT_BGRA: return QImage::Format_ARGB32;
    default: return QImage::Format_Invalid;
    }
}

// The grabber's 24-bit BGR frames as the window's 32-bit ones: each pixel
// only gains a padding byte, which libyuv's vectorised row converter does
// several times faster than Qt's or GStreamer's generic paths.
QImage PaddedBgr(GstBuffer *buffer, const GstVideoInfo &info, PicturePool *pool)
{
    GstVideoFrame frame;
    if (!gst_video_frame_map(&frame, &info, buffer, GST_MAP_READ))
        return {};
    QImage *target = pool->Free(QSize(GST_VIDEO_INFO_WIDTH(&info), GST_VIDEO_INFO_HEIGHT(&info)));
    const bool ok = !target->isNull()
        && libyuv::RGB24ToARGB(static_cast<const uint8_t *>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 0)),
                               GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 0), target->bits(), int(target->bytesPerLine()),
                               target->width(), target->height())
            == 0;
    gst_video_frame_unmap(&frame);
    return ok ? *target : QImage();
}

// The part of a 32-bit frame a view shows, at the view's size: made on the
// streaming thread, so the window only copies it (nearest neighbour, as the
// window would scale it).
QImage ScaledToView(const QImage &frame, const QRect &source, QSize size, PicturePool *pool)
{
    if (frame.format() != QImage::Format_RGB32 || size.isEmpty() || !frame.rect().contains(source))
        return {};
    if (source == frame.rect() && size == frame.size())
        return frame;
    QImage *target = pool->Free(size);
    if (target->isNull())
        return {};
    const uint8_t *from = frame.constBits() + source.top() * frame.bytesPerLine() + source.left() * 4;
    if (libyuv::ARGBScale(from, int(frame.bytesPerLine()), source.width(), source.height(), target->bits(),
                          int(target->bytesPerLine()), size.width(), size.height(), libyuv::kFilterNone)
        != 0)
        return {};
    return *target;
}

// Turns frames of another format into 32-bit pictures with GStreamer's own
// (vectorised) converter, which follows the stream's colorimetry.
class RgbConverter {
public:
    RgbConverter() = default;
    RgbConverter(const RgbConverter &) = delete;
    RgbConverter &operator=(const RgbConverter &) = delete;
    ~RgbConverter()
    {
        if (converter_)
            gst_video_converter_free(converter_);
    }

    QImage Convert(GstBuffer *buffer, const GstVideoInfo &info)
    {
        if (!converter_ || !gst_video_info_is_equal(&info, &in_)) {
            if (converter_)
                gst_video_converter_free(converter_);
            in_ = info;
            gst_video_info_set_format(&out_, GST_VIDEO_FORMAT_BGRx, GST_VIDEO_INFO_WIDTH(&info),
                GST_VIDEO_INFO_HEIGHT(&info));
            // The converter only changes the pixel format.
            GST_VIDEO_INFO_FPS_N(&out_) = GST_VIDEO_INFO_FPS_N(&info);
            GST_VIDEO_INFO_FPS_D(&out_) = GST_VIDEO_INFO_FPS_D(&info);
            GST_VIDEO_INFO_PAR_N(&out_) = GST_VIDEO_INFO_PAR_N(&info);
            GST_VIDEO_INFO_PAR_D(&out_) = GST_VIDEO_INFO_PAR_D(&info);
            converter_ = gst_video_converter_new(&in_, &out_, nullptr);
            if (!converter_)
                return {};
        }
        QImage *target = pool_.Free(QSize(GST_VIDEO_INFO_WIDTH(&out_), GST_VIDEO_INFO_HEIGHT(&out_)));
        if (target->isNull() || target->bytesPerLine() != GST_VIDEO_INFO_PLANE_STRIDE(&out_, 0))
            return {};
        GstVideoFrame src, dst;
        GstBuffer *wrapped = gst_buffer_new_wrapped_full(GstMemoryFlags(0), target->bits(), target->sizeInBytes(), 0,
            target->sizeInBytes(), nullptr, nullptr);
        bool ok = false;
        if (gst_video_frame_map(&src, &in_, buffer, GST_MAP_READ)) {
            if (gst_video_frame_map(&dst, &out_, wrapped, GST_MAP_WRITE)) {
                gst_video_converter_frame(converter_, &src, &dst);
                gst_video_frame_unmap(&dst);
                ok = true;
            }
            gst_video_frame_unmap(&src);
        }
        gst_buffer_unref(wrapped);
        return ok ? *target : QImage();
    }

private:
    GstVideoConverter *converter_ = nullptr;
    GstVideoInfo in_{};
    GstVideoInfo out_{};
    PicturePool pool_;
};

} // namespace

struct VideoRenderer::Impl : std::enable_shared_from_this<VideoRenderer::Impl> {
    GstElement *sink = nullptr;
    std::shared_ptr<Pin> input;

    mutable std::mutex mutex;
    QImage frame;         // the newest frame, whole
    QImage picture;       // its part shown, made at the view's size (may be null)
    QRect pictureSource;  // the part and size picture was made for
    QSize pictureSize;
    int frameWidth = 0;
    int frameHeight = 0;
    bool sourceSet = false;
    QRect source;
    QPointer<QWidget> owner;
    QPointer<QWidget> drain;
    LONG style = WS_CHILD | WS_CLIPSIBLINGS;
    QRect window;
    bool visible = false;
    bool inSight = false; // the window overlaps its owner's area (GUI thread decides)

    std::atomic<bool> dropping{false}; // out of sight: frames go no further than the sink's pad
    std::atomic<bool> updatePending{false};
    std::atomic<long> framesRendered{0};
    QPointer<VideoWindowWidget> widget; // GUI thread only

    // A sink hidden while it waited for a frame to settle on (a seek while
    // paused) still gets that one, or the graph would wait forever.
    bool FramesWanted() const
    {
        if (!dropping)
            return true;
        GST_OBJECT_LOCK(sink);
        const bool settling = GST_STATE_RETURN(sink) == GST_STATE_CHANGE_ASYNC;
        GST_OBJECT_UNLOCK(sink);
        return settling;
    }
    static GstPadProbeReturn OnBuffer(GstPad *pad, GstPadProbeInfo *, gpointer data)
    {
        auto *self = static_cast<Impl *>(data);
        diag::TakeOver(self); // made on the GUI thread; GStreamer may run this on a pooled thread
        if (self->FramesWanted())
            return GST_PAD_PROBE_OK;
        // The first frame dropped tells the tee output upstream, which then
        // keeps the rest from the branch while the view is out of sight.
        if (!self->announced.exchange(true))
            FrameDemand::Announce(pad, self->Demand());
        return GST_PAD_PROBE_DROP;
    }
    std::shared_ptr<FrameDemand> demand; // under mutex
    std::atomic<bool> announced{false};
    std::shared_ptr<FrameDemand> Demand() const
    {
        std::lock_guard lock(mutex);
        return demand;
    }
    // A new demand for a new link; the old one, retired, lets frames pass.
    void RenewDemand()
    {
        std::weak_ptr<Impl> weak = weak_from_this();
        auto fresh = std::make_shared<FrameDemand>([weak] {
            auto self = weak.lock();
            return !self || self->FramesWanted();
        });
        std::shared_ptr<FrameDemand> old;
        {
            std::lock_guard lock(mutex);
            old = std::exchange(demand, fresh);
        }
        announced = false;
        if (old)
            old->Retire();
    }
    static GstFlowReturn OnSample(GstAppSink *sink, gpointer data);
    static GstFlowReturn OnPreroll(GstAppSink *sink, gpointer data);
    void Show(GstSample *sample); // takes the sample
    QImage Picture(GstSample *sample, const GstVideoInfo &info);
    RgbConverter converter; // streaming thread only
    PicturePool padded;     // streaming thread only
    PicturePool scaled;     // streaming thread only
    // What the window draws: the picture made for its size and the current
    // source, or else the whole frame with the part to scale.
    void Shown(QSize windowSize, QImage *image, QRect *src) const
    {
        const QRect current = SourceRect();
        std::lock_guard lock(mutex);
        if (!picture.isNull() && pictureSource == current && pictureSize == windowSize) {
            *image = picture;
            *src = picture.rect();
        } else {
            *image = frame;
            *src = current;
        }
    }
    CapsPtr infoCaps;       // streaming thread only: the caps info was read from
    GstVideoInfo info{};
    bool infoValid = false;
    void Apply();
    void PostApply()
    {
        std::weak_ptr<Impl> weak = weak_from_this();
        OnGui([weak] {
            if (auto self = weak.lock())
                self->Apply();
        });
    }
    void KnownFrameSize(int *width, int *height) const
    {
        {
            std::lock_guard lock(mutex);
            *width = frameWidth;
            *height = frameHeight;
        }
        if (*width == 0 && input)
            PeerFixedVideoSize(input->Pad(), width, height);
    }
    QRect SourceRect() const
    {
        int w = 0, h = 0;
        KnownFrameSize(&w, &h);
        std::lock_guard lock(mutex);
        return sourceSet ? source : QRect(0, 0, w, h);
    }
};

GstFlowReturn VideoRenderer::Impl::OnSample(GstAppSink *appsink, gpointer data)
{
    static_cast<Impl *>(data)->Show(gst_app_sink_pull_sample(appsink));
    return GST_FLOW_OK;
}

// The frame a paused graph settles on (at its start, after a seek while
// paused): shown at once rather than when the graph runs.
GstFlowReturn VideoRenderer::Impl::OnPreroll(GstAppSink *appsink, gpointer data)
{
    static_cast<Impl *>(data)->Show(gst_app_sink_pull_preroll(appsink));
    return GST_FLOW_OK;
}

void VideoRenderer::Impl::Show(GstSample *sample)
{
    diag::TakeOver(this); // made on the GUI thread; GStreamer may run this on a pooled thread
    if (!sample)
        return;
    GstCaps *caps = gst_sample_get_caps(sample);
    // The caps of every frame but the first after a change are the same
    // object: their reading is kept rather than parsed again per frame.
    if (!caps || caps != infoCaps.get()) {
        infoCaps.reset(caps ? gst_caps_ref(caps) : nullptr);
        infoValid = caps && gst_video_info_from_caps(&info, caps);
    }
    if (!infoValid) {
        gst_sample_unref(sample);
        return;
    }
    bool show;
    QSize viewSize;
    {
        std::lock_guard lock(mutex);
        frameWidth = GST_VIDEO_INFO_WIDTH(&info);
        frameHeight = GST_VIDEO_INFO_HEIGHT(&info);
        show = visible && owner && inSight;
        viewSize = window.size();
    }
    // A view out of sight (a side view parked beyond its host) draws nothing,
    // so its frames are not even looked at.
    const QImage image = show ? Picture(sample, info) : QImage();
    gst_sample_unref(sample);
    if (image.isNull())
        return;
    const QRect source = SourceRect();
    const QImage shown = ScaledToView(image, source, viewSize, &scaled);
    {
        std::lock_guard lock(mutex);
        frame = image;
        picture = shown;
        pictureSource = source;
        pictureSize = viewSize;
    }
    if (!updatePending.exchange(true)) {
        std::weak_ptr<Impl> weak = weak_from_this();
        QMetaObject::invokeMethod(QCoreApplication::instance(), diag::QueuedCall([weak] {
            auto me = weak.lock();
            if (!me)
                return;
            if (me->widget && me->widget->isVisible())
                me->widget->update();
            else
                me->updatePending = false;
        }), Qt::QueuedConnection);
    }
}

// The sample as a picture the window draws directly: 32-bit frames are
// borrowed as they are (unmapped when the last copy goes); the grabber's
// 24-bit ones and a camera's YUV ones, passed untouched by the converter in
// front, become 32-bit here, only for a view in sight.
QImage VideoRenderer::Impl::Picture(GstSample *sample, const GstVideoInfo &info)
{
    GstBuffer *buffer = gst_sample_get_buffer(sample);
    if (ImageFormat(GST_VIDEO_INFO_FORMAT(&info)) != QImage::Format_Invalid) {
        auto *mapped = new MappedFrame;
        if (!gst_video_frame_map(&mapped->frame, &info, buffer, GST_MAP_READ)) {
            delete mapped;
            return {};
        }
        return QImage(static_cast<const uchar *>(GST_VIDEO_FRAME_PLANE_DATA(&mapped->frame, 0)),
            GST_VIDEO_INFO_WIDTH(&info), GST_VIDEO_INFO_HEIGHT(&info), GST_VIDEO_FRAME_PLANE_STRIDE(&mapped->frame, 0),
            ImageFormat(GST_VIDEO_INFO_FORMAT(&info)), &ReleaseFrame, mapped);
    }
    if (Q_BYTE_ORDER == Q_LITTLE_ENDIAN && GST_VIDEO_INFO_FORMAT(&info) == GST_VIDEO_FORMAT_BGR)
        return PaddedBgr(buffer, info, &padded);
    return converter.Convert(buffer, info);
}

void VideoRenderer::Impl::Apply()
{
    QPointer<QWidget> host, drainTo;
    QRect rect;
    bool show;
    {
        std::lock_guard lock(mutex);
        host = owner;
        drainTo = drain;
        rect = window;
        show = visible;
    }
    const bool seen = show && host && QRect(QPoint(0, 0), host->size()).intersects(rect);
    {
        std::lock_guard lock(mutex);
        inSight = seen;
    }
    // A view out of sight drops its frames before the sink sees them: no
    // wait on the clock, no lateness reports upstream, no picture. It then
    // takes no part in prerolling either, which it could not do without frames.
    if (seen) {
        dropping = false;
        g_object_set(sink, "async", TRUE, nullptr);
    } else {
        g_object_set(sink, "async", FALSE, nullptr);
        dropping = true;
    }
    if (!host) {
        if (widget) {
            widget->hide();
            widget->setParent(nullptr);
        }
        return;
    }
    if (!widget) {
        std::weak_ptr<Impl> weak = weak_from_this();
        widget = new VideoWindowWidget(
            [weak](QSize size, QImage *image, QRect *src) {
                if (auto self = weak.lock())
                    self->Shown(size, image, src);
            },
            [weak] {
                if (auto self = weak.lock()) {
                    self->updatePending = false;
                    ++self->framesRendered;
                }
            },
            host);
    } else if (widget->parentWidget() != host) {
        widget->setParent(host);
    }
    widget->setGeometry(rect);
    // Input goes to the drain (the owner below the window) rather than the video.
    widget->setAttribute(Qt::WA_TransparentForMouseEvents, drainTo != nullptr);
    widget->setVisible(show);
    if (show)
        widget->update();
}

VideoRenderer::VideoRenderer() : Filter(CLSID_VideoRenderer), d(std::make_shared<Impl>()) {}

VideoRenderer::~VideoRenderer()
{
    if (auto demand = d->Demand())
        demand->Retire();
    QPointer<VideoWindowWidget> widget = d->widget;
    if (OnGuiThread())
        delete widget.data();
    else if (widget)
        OnGui([widget] { delete widget.data(); });
}

std::shared_ptr<VideoRenderer> VideoRenderer::Create(HRESULT *hr)
{
    auto f = std::shared_ptr<VideoRenderer>(new VideoRenderer());
    f->d->sink = MakeElement("appsink");
    if (!f->d->sink) {
        *hr = REGDB_E_CLASSNOTREG;
        return nullptr;
    }
    // 32-bit pictures, which the window scales directly, or the grabber's
    // 24-bit ones and a camera's YUV ones as they come: the converter in
    // front then passes them untouched, and only a view in sight converts.
    // (The camera's format is fixed at the camera, so this list never
    // changes what it is asked for.)
    CapsPtr caps(gst_caps_from_string("video/x-raw,format={BGRx,BGRA,BGR,I420,YV12,NV12,YUY2,UYVY}"));
    g_object_set(f->d->sink, "caps", caps.get(), "sync", TRUE, "max-buffers", 1, "drop", TRUE, "enable-last-sample",
        FALSE, "qos", TRUE, nullptr);
    GstAppSinkCallbacks callbacks = {};
    callbacks.new_sample = &Impl::OnSample;
    callbacks.new_preroll = &Impl::OnPreroll;
    gst_app_sink_set_callbacks(GST_APP_SINK(f->d->sink), &callbacks, f->d.get(), nullptr);
    f->AddToBin(f->d->sink);
    PadPtr sink(gst_element_get_static_pad(f->d->sink, "sink"));
    f->d->RenewDemand();
    gst_pad_add_probe(sink.get(), GST_PAD_PROBE_TYPE_BUFFER, &Impl::OnBuffer, f->d.get(), nullptr);
    f->d->input = f->AddPin(PINDIR_INPUT, QStringLiteral("Input"), sink.get(), MEDIATYPE_Video);
    diag::HandOver(f->d.get()); // to the streaming threads that run the callbacks
    *hr = S_OK;
    return f;
}

void VideoRenderer::OnPinDisconnected(const std::shared_ptr<Pin> &) { d->RenewDemand(); }

HRESULT VideoRenderer::put_Owner(QWidget *host)
{
    {
        std::lock_guard lock(d->mutex);
        d->owner = host;
    }
    d->PostApply();
    return S_OK;
}

HRESULT VideoRenderer::get_Owner(QWidget **host)
{
    if (!host)
        return E_POINTER;
    std::lock_guard lock(d->mutex);
    *host = d->owner.data();
    return S_OK;
}

HRESULT VideoRenderer::put_WindowStyle(LONG style)
{
    std::lock_guard lock(d->mutex);
    d->style = style;
    return S_OK;
}

HRESULT VideoRenderer::get_WindowStyle(LONG *style)
{
    if (!style)
        return E_POINTER;
    std::lock_guard lock(d->mutex);
    *style = d->style;
    return S_OK;
}

HRESULT VideoRenderer::SetWindowPosition(LONG left, LONG top, LONG width, LONG height)
{
    if (width < 0 || height < 0)
        return E_INVALIDARG;
    {
        std::lock_guard lock(d->mutex);
        d->window = QRect(left, top, width, height);
    }
    d->PostApply();
    return S_OK;
}

HRESULT VideoRenderer::GetWindowPosition(LONG *left, LONG *top, LONG *width, LONG *height)
{
    if (!left || !top || !width || !height)
        return E_POINTER;
    std::lock_guard lock(d->mutex);
    *left = d->window.left();
    *top = d->window.top();
    *width = d->window.width();
    *height = d->window.height();
    return S_OK;
}

HRESULT VideoRenderer::put_Visible(LONG visible)
{
    {
        std::lock_guard lock(d->mutex);
        d->visible = visible != OAFALSE;
    }
    d->PostApply();
    return S_OK;
}

HRESULT VideoRenderer::get_Visible(LONG *visible)
{
    if (!visible)
        return E_POINTER;
    std::lock_guard lock(d->mutex);
    *visible = d->visible ? OATRUE : OAFALSE;
    return S_OK;
}

HRESULT VideoRenderer::put_MessageDrain(QWidget *drain)
{
    {
        std::lock_guard lock(d->mutex);
        d->drain = drain;
    }
    d->PostApply();
    return S_OK;
}

QWidget *VideoRenderer::VideoWidget() const { return d->widget.data(); }

HRESULT VideoRenderer::SetSourcePosition(LONG left, LONG top, LONG width, LONG height)
{
    if (left < 0 || top < 0 || width <= 0 || height <= 0)
        return E_INVALIDARG;
    int frameWidth = 0, frameHeight = 0;
    d->KnownFrameSize(&frameWidth, &frameHeight);
    if (frameWidth > 0 && (left + width > frameWidth || top + height > frameHeight))
        return E_INVALIDARG;
    {
        std::lock_guard lock(d->mutex);
        d->source = QRect(left, top, width, height);
        d->sourceSet = true;
    }
    d->PostApply();
    return S_OK;
}

HRESULT VideoRenderer::GetSourcePosition(LONG *left, LONG *top, LONG *width, LONG *height)
{
    if (!left || !top || !width || !height)
        return E_POINTER;
    const QRect r = d->SourceRect();
    *left = r.left();
    *top = r.top();
    *width = r.width();
    *height = r.height();
    return S_OK;
}

HRESULT VideoRenderer::SetDefaultSourcePosition()
{
    {
        std::lock_guard lock(d->mutex);
        d->sourceSet = false;
    }
    d->PostApply();
    return S_OK;
}

HRESULT VideoRenderer::GetDestinationPosition(LONG *left, LONG *top, LONG *width, LONG *height)
{
    if (!left || !top || !width || !height)
        return E_POINTER;
    std::lock_guard lock(d->mutex);
    *left = 0;
    *top = 0;
    *width = d->window.width();
    *height = d->window.height();
    return S_OK;
}

HRESULT VideoRenderer::GetVideoSize(LONG *width, LONG *height)
{
    if (!width || !height)
        return E_POINTER;
    int w = 0, h = 0;
    d->KnownFrameSize(&w, &h);
    if (w == 0)
        return VFW_E_WRONG_STATE;
    *width = w;
    *height = h;
    return S_OK;
}

long VideoRenderer::FramesRendered() const { return d->framesRendered; }

} // namespace media
