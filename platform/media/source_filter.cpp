#include "platform/media/source_filter.h"

#include "platform/diag/diagnostics.h"
#include "platform/media/gst_util.h"

#include <cmath>
#include <mutex>

namespace media {
namespace {

// The camera's capture pin: its format is the capsfilter behind the source.
class CapturePin final : public Pin, public IAMStreamConfig {
public:
    CapturePin(Filter *owner, const QString &name, GstPad *pad, GstElement *capsfilter, CapsPtr current)
        : Pin(owner, PINDIR_OUTPUT, name, pad, MEDIATYPE_Video, PIN_CATEGORY_CAPTURE),
          capsfilter_(GST_ELEMENT(gst_object_ref(capsfilter))), current_(std::move(current))
    {
        Apply();
    }
    ~CapturePin() override { gst_object_unref(capsfilter_); }

    HRESULT GetFormat(AM_MEDIA_TYPE *mt) override
    {
        if (!mt)
            return E_POINTER;
        std::lock_guard lock(mutex_);
        const GstStructure *s = current_ ? gst_caps_get_structure(current_.get(), 0) : nullptr;
        int width = 0, height = 0, num = 0, den = 1;
        if (!s || !gst_structure_get_int(s, "width", &width) || !gst_structure_get_int(s, "height", &height))
            return VFW_E_NOT_CONNECTED;
        REFERENCE_TIME avg = 0;
        if (gst_structure_get_fraction(s, "framerate", &num, &den) && num > 0)
            avg = UNITS * den / num;
        *mt = MakeRgb24MediaType(width, height, avg);
        return S_OK;
    }

    HRESULT SetFormat(const AM_MEDIA_TYPE *mt) override
    {
        if (!mt)
            return E_POINTER;
        const VIDEOINFOHEADER *vih = mt->VideoInfo();
        if (!vih || vih->bmiHeader.biWidth <= 0 || vih->bmiHeader.biHeight == 0)
            return VFW_E_INVALIDMEDIATYPE;
        if (GST_STATE(capsfilter_) > GST_STATE_READY)
            return VFW_E_WRONG_STATE;
        CapsPtr caps(gst_caps_new_simple("video/x-raw", "width", G_TYPE_INT, int(vih->bmiHeader.biWidth), "height",
            G_TYPE_INT, int(std::abs(vih->bmiHeader.biHeight)), nullptr));
        if (vih->AvgTimePerFrame > 0) {
            // 333333 units is 30 fps: encoders want the plain fraction.
            const double fps = double(UNITS) / double(vih->AvgTimePerFrame);
            int num = int(std::lround(fps)), den = 1;
            if (std::abs(fps - num) > 0.01)
                gst_util_double_to_fraction(fps, &num, &den);
            gst_caps_set_simple(caps.get(), "framerate", GST_TYPE_FRACTION, num, den, nullptr);
        }
        else if (current_) {
            int num = 0, den = 1;
            if (gst_structure_get_fraction(gst_caps_get_structure(current_.get(), 0), "framerate", &num, &den))
                gst_caps_set_simple(caps.get(), "framerate", GST_TYPE_FRACTION, num, den, nullptr);
        }
        {
            std::lock_guard lock(mutex_);
            // A new size keeps the device's pixel format.
            const char *format = current_ ? gst_structure_get_string(gst_caps_get_structure(current_.get(), 0), "format")
                                          : nullptr;
            if (format)
                gst_caps_set_simple(caps.get(), "format", G_TYPE_STRING, format, nullptr);
            current_ = std::move(caps);
        }
        Apply();
        return S_OK;
    }

private:
    void Apply()
    {
        std::lock_guard lock(mutex_);
        if (current_)
            g_object_set(capsfilter_, "caps", current_.get(), nullptr);
    }

    GstElement *capsfilter_;
    std::mutex mutex_;
    CapsPtr current_;
};

class SourceFilter final : public Filter {
public:
    SourceFilter() : Filter(GUID_NULL) {}
    HRESULT PrepareOutputPin(const std::shared_ptr<Pin> &) override
    {
        return refuseConnection && refuseConnection() ? VFW_E_CANNOT_CONNECT : S_OK;
    }
    GstElement *source = nullptr;
    std::function<bool()> refuseConnection;
};

// What the device offers, fixated near a common webcam format.
CapsPtr ProbeCurrentVideoFormat(GstElement *source)
{
    PadPtr pad(gst_element_get_static_pad(source, "src"));
    if (!pad)
        return nullptr;
    const bool probe = GST_STATE(source) == GST_STATE_NULL;
    if (probe)
        gst_element_set_state(source, GST_STATE_READY);
    CapsPtr caps(gst_pad_query_caps(pad.get(), nullptr));
    if (probe)
        gst_element_set_state(source, GST_STATE_NULL);
    if (!caps || gst_caps_is_empty(caps.get()) || gst_caps_is_any(caps.get()))
        return nullptr;
    CapsPtr raw(gst_caps_from_string("video/x-raw"));
    CapsPtr usable(gst_caps_intersect(caps.get(), raw.get()));
    if (gst_caps_is_empty(usable.get()))
        usable.reset(gst_caps_copy(caps.get()));
    usable.reset(gst_caps_truncate(usable.release()));
    usable.reset(gst_caps_make_writable(usable.release()));
    GstStructure *s = gst_caps_get_structure(usable.get(), 0);
    gst_structure_fixate_field_nearest_int(s, "width", 640);
    gst_structure_fixate_field_nearest_int(s, "height", 480);
    gst_structure_fixate_field_nearest_fraction(s, "framerate", 30, 1);
    // The device's own pixel format is kept, so what the views take never
    // changes what the camera is asked for; a source offering many (the test
    // camera) gives the grabber's 24-bit one, which it then takes unconverted.
    gst_structure_fixate_field_string(s, "format", "BGR");
    int width = 0, height = 0, num = 0, den = 1;
    if (!gst_structure_get_int(s, "width", &width) || !gst_structure_get_int(s, "height", &height))
        return nullptr;
    CapsPtr current(gst_caps_new_simple("video/x-raw", "width", G_TYPE_INT, width, "height", G_TYPE_INT, height,
        nullptr));
    if (const char *format = gst_structure_get_string(s, "format"))
        gst_caps_set_simple(current.get(), "format", G_TYPE_STRING, format, nullptr);
    if (gst_structure_get_fraction(s, "framerate", &num, &den))
        gst_caps_set_simple(current.get(), "framerate", GST_TYPE_FRACTION, num, den, nullptr);
    return current;
}

} // namespace

std::shared_ptr<Filter> MakeSourceFilter(GstElement *source, const SourceOptions &options)
{
    if (!source) {
        diag::OutputDebugString(QStringLiteral("media: no source element to make a capture filter of"));
        return nullptr;
    }
    auto filter = std::make_shared<SourceFilter>();
    filter->AddToBin(source);
    filter->source = source;
    filter->refuseConnection = options.refuseConnection;
    const bool video = options.kind == SourceKind::Video;
    GstElement *scale = video ? MakeElement("videoscale") : nullptr;
    GstElement *capsfilter = MakeElement("capsfilter");
    if ((video && !scale) || !capsfilter) {
        if (scale)
            gst_object_unref(gst_object_ref_sink(scale));
        if (capsfilter)
            gst_object_unref(gst_object_ref_sink(capsfilter));
        return nullptr;
    }
    filter->AddToBin(capsfilter);
    if (scale) {
        filter->AddToBin(scale);
        gst_element_link_many(source, scale, capsfilter, nullptr);
    } else {
        gst_element_link(source, capsfilter);
    }
    CapsPtr current;
    if (!options.currentFormat.isEmpty())
        current.reset(gst_caps_from_string(options.currentFormat.toUtf8().constData()));
    else if (video)
        current = ProbeCurrentVideoFormat(source);

    PadPtr out(gst_element_get_static_pad(capsfilter, "src"));
    if (video) {
        GstPad *ghost = gst_ghost_pad_new("capture", out.get());
        gst_element_add_pad(filter->Element(), ghost);
        filter->AppendPin(std::make_shared<CapturePin>(filter.get(), options.pinName, ghost, capsfilter,
            std::move(current)));
    } else {
        if (current)
            g_object_set(capsfilter, "caps", current.get(), nullptr);
        filter->AddPin(PINDIR_OUTPUT, options.pinName, out.get(), MEDIATYPE_Audio, PIN_CATEGORY_CAPTURE);
    }
    for (const auto &pin : options.extraPins)
        filter->AppendPin(pin);
    return filter;
}

GstElement *SourceElementOf(const std::shared_ptr<Filter> &filter)
{
    auto source = std::dynamic_pointer_cast<SourceFilter>(filter);
    return source ? source->source : nullptr;
}

} // namespace media
