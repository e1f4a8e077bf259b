#include "platform/thumbnails/media_decoder.h"

#include "platform/diag/thread_handoff.h"

#include <QFile>
#include <gst/app/gstappsink.h>

namespace thumbnails {
namespace {
void EnsureGstInitialised()
{
    if (!gst_is_initialized())
        gst_init_check(nullptr, nullptr, nullptr);
}

bool HasPrefix(GstCaps *caps, const char *prefix)
{
    if (!caps || gst_caps_get_size(caps) == 0)
        return false;
    return g_str_has_prefix(gst_structure_get_name(gst_caps_get_structure(caps, 0)), prefix);
}
} // namespace

MediaDecoder::MediaDecoder(const QString &path, Stream stream, const char *caps)
    : wantedPrefix_(stream == Stream::Video ? "video/" : "audio/")
{
    EnsureGstInitialised();
    GstElement *pipeline = gst_pipeline_new(nullptr);
    GstElement *source = gst_element_factory_make("filesrc", nullptr);
    GstElement *decode = gst_element_factory_make("decodebin", nullptr);
    GstElement *convert = gst_element_factory_make(stream == Stream::Video ? "videoconvert" : "audioconvert", nullptr);
    GstElement *sink = gst_element_factory_make("appsink", nullptr);
    if (!pipeline || !source || !decode || !convert || !sink) {
        for (GstElement *e : {pipeline, source, decode, convert, sink})
            if (e)
                gst_object_unref(gst_object_ref_sink(e));
        return;
    }
    // The location is a property value, never parsed as a description.
    g_object_set(source, "location", QFile::encodeName(path).constData(), nullptr);
    GstCaps *sinkCaps = gst_caps_from_string(caps);
    g_object_set(sink, "caps", sinkCaps, "sync", FALSE, "max-buffers", 8u, "drop", FALSE, "enable-last-sample",
                 FALSE, nullptr);
    gst_caps_unref(sinkCaps);
    gst_bin_add_many(GST_BIN(pipeline), source, decode, convert, sink, nullptr);
    gst_element_link(source, decode);
    gst_element_link(convert, sink);
    g_signal_connect(decode, "autoplug-continue", G_CALLBACK(&MediaDecoder::OnAutoplugContinue), this);
    g_signal_connect(decode, "pad-added", G_CALLBACK(&MediaDecoder::OnPadAdded), this);
    pipeline_.reset(GST_ELEMENT(gst_object_ref_sink(pipeline)));
    convert_ = convert;
    sink_ = sink;
    diag::HandOver(this); // to the streaming threads that run the callbacks
}

MediaDecoder::~MediaDecoder()
{
    if (pipeline_)
        gst_element_set_state(pipeline_.get(), GST_STATE_NULL);
    diag::TakeOver(this); // back from the stopped streaming threads
}

// Elementary streams of the other kind are not worth decoding: they are
// exposed as they are and left unlinked. The container itself (what typefind
// found, e.g. "video/x-ms-asf") is always opened.
gboolean MediaDecoder::OnAutoplugContinue(GstElement *, GstPad *pad, GstCaps *caps, MediaDecoder *self)
{
    diag::TakeOver(self); // from the thread that built the decoder; handed back once read
    const bool other = (HasPrefix(caps, "audio/") || HasPrefix(caps, "video/")) && !HasPrefix(caps, self->wantedPrefix_);
    diag::HandOver(self);
    if (!other)
        return TRUE;
    // decodebin hands out its own proxy pads; the element behind is what counts.
    GstPad *inner = GST_IS_GHOST_PAD(pad) ? gst_ghost_pad_get_target(GST_GHOST_PAD(pad)) : GST_PAD(gst_object_ref(pad));
    GstHandle<GstElement> owner(inner ? gst_pad_get_parent_element(inner) : nullptr);
    if (inner)
        gst_object_unref(inner);
    GstElementFactory *factory = owner ? gst_element_get_factory(owner.get()) : nullptr;
    const bool fromTypefind = factory && g_strcmp0(GST_OBJECT_NAME(factory), "typefind") == 0;
    return fromTypefind ? TRUE : FALSE;
}

// Runs on a streaming thread; links only the first decoded stream of the wanted kind.
void MediaDecoder::OnPadAdded(GstElement *, GstPad *pad, MediaDecoder *self)
{
    diag::TakeOver(self);
    GstHandle<GstCaps> caps(gst_pad_get_current_caps(pad));
    if (!caps)
        caps.reset(gst_pad_query_caps(pad, nullptr));
    GstElement *convert = self->convert_;
    const bool wanted = HasPrefix(caps.get(), self->wantedPrefix_);
    diag::HandOver(self);
    if (!wanted)
        return;
    GstPad *target = gst_element_get_static_pad(convert, "sink");
    if (!gst_pad_is_linked(target))
        gst_pad_link(pad, target);
    gst_object_unref(target);
}

GstAppSink *MediaDecoder::Sink() const
{
    return sink_ ? GST_APP_SINK(sink_) : nullptr;
}

bool MediaDecoder::WaitAsyncDone(std::chrono::milliseconds timeout)
{
    return WaitFor(GST_MESSAGE_ASYNC_DONE, timeout);
}

bool MediaDecoder::WaitForEnd(std::chrono::milliseconds timeout)
{
    return pipeline_ && !failed_ && WaitFor(GST_MESSAGE_EOS, timeout);
}

bool MediaDecoder::WaitFor(GstMessageType done, std::chrono::milliseconds timeout)
{
    GstHandle<GstBus> bus(gst_element_get_bus(pipeline_.get()));
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const auto left = deadline - std::chrono::steady_clock::now();
        if (left <= std::chrono::nanoseconds::zero())
            return false;
        GstHandle<GstMessage> msg(gst_bus_timed_pop_filtered(
            bus.get(), static_cast<GstClockTime>(std::chrono::nanoseconds(left).count()),
            static_cast<GstMessageType>(done | GST_MESSAGE_ERROR)));
        if (!msg)
            return false;
        if (GST_MESSAGE_TYPE(msg.get()) == GST_MESSAGE_ERROR) {
            failed_ = true;
            return false;
        }
        if (GST_MESSAGE_SRC(msg.get()) == GST_OBJECT(pipeline_.get()))
            return true;
    }
}

bool MediaDecoder::Preroll(std::chrono::milliseconds timeout)
{
    if (!pipeline_ || failed_)
        return false;
    const GstStateChangeReturn ret = gst_element_set_state(pipeline_.get(), GST_STATE_PAUSED);
    if (ret == GST_STATE_CHANGE_FAILURE) {
        failed_ = true;
        return false;
    }
    if (ret == GST_STATE_CHANGE_SUCCESS)
        return true;
    return WaitAsyncDone(timeout);
}

bool MediaDecoder::SeekAndPreroll(std::chrono::nanoseconds position, std::chrono::milliseconds timeout)
{
    if (!pipeline_ || failed_)
        return false;
    if (!gst_element_seek_simple(pipeline_.get(), GST_FORMAT_TIME,
                                 static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE),
                                 position.count()))
        return false;
    return WaitAsyncDone(timeout);
}

std::optional<std::chrono::nanoseconds> MediaDecoder::Duration() const
{
    gint64 duration = 0;
    if (!pipeline_ || !gst_element_query_duration(pipeline_.get(), GST_FORMAT_TIME, &duration) || duration <= 0)
        return std::nullopt;
    return std::chrono::nanoseconds(duration);
}

bool MediaDecoder::Play()
{
    return pipeline_ && !failed_
        && gst_element_set_state(pipeline_.get(), GST_STATE_PLAYING) != GST_STATE_CHANGE_FAILURE;
}

bool MediaDecoder::HasFailed()
{
    if (failed_ || !pipeline_)
        return true;
    GstHandle<GstBus> bus(gst_element_get_bus(pipeline_.get()));
    GstHandle<GstMessage> msg(gst_bus_pop_filtered(bus.get(), GST_MESSAGE_ERROR));
    failed_ = msg != nullptr;
    return failed_;
}

} // namespace thumbnails
