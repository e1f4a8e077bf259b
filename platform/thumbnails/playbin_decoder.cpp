#include "platform/thumbnails/playbin_decoder.h"

#include <QFile>
#include <gst/app/gstappsink.h>

namespace thumbnails {
namespace {
// playbin's GstPlayFlags: only the stream we read is decoded.
constexpr int kPlayFlagVideo = 0x1;
constexpr int kPlayFlagAudio = 0x2;

void EnsureGstInitialised()
{
    if (!gst_is_initialized())
        gst_init_check(nullptr, nullptr, nullptr);
}

GstHandle<GstElement> MakeElement(const char *factory)
{
    GstElement *element = gst_element_factory_make(factory, nullptr);
    if (!element)
        return {};
    return GstHandle<GstElement>(GST_ELEMENT(gst_object_ref_sink(element)));
}
} // namespace

PlaybinDecoder::PlaybinDecoder(const QString &path, Stream stream, const char *caps)
{
    EnsureGstInitialised();
    GError *error = nullptr;
    gchar *uri = gst_filename_to_uri(QFile::encodeName(path).constData(), &error);
    if (!uri) {
        g_clear_error(&error);
        return;
    }
    GstHandle<GstElement> pipeline = MakeElement("playbin");
    GstHandle<GstElement> sink = MakeElement("appsink");
    // playbin probes for real audio/video output devices for a stream kind
    // with no sink set, even when that kind is not played; a fake sink
    // spares the (slow, noisy) probing.
    GstHandle<GstElement> unused = MakeElement("fakesink");
    if (pipeline && sink && unused) {
        GstCaps *sinkCaps = gst_caps_from_string(caps);
        g_object_set(sink.get(), "caps", sinkCaps, "sync", FALSE, "max-buffers", 8u, "drop", FALSE,
                     "enable-last-sample", FALSE, nullptr);
        gst_caps_unref(sinkCaps);
        const bool video = stream == Stream::Video;
        g_object_set(pipeline.get(), "uri", uri, "flags", video ? kPlayFlagVideo : kPlayFlagAudio,
                     video ? "video-sink" : "audio-sink", sink.get(),
                     video ? "audio-sink" : "video-sink", unused.get(), nullptr);
        pipeline_ = std::move(pipeline);
        sink_ = std::move(sink);
    }
    g_free(uri);
}

PlaybinDecoder::~PlaybinDecoder()
{
    if (pipeline_)
        gst_element_set_state(pipeline_.get(), GST_STATE_NULL);
}

GstAppSink *PlaybinDecoder::Sink() const
{
    return sink_ ? GST_APP_SINK(sink_.get()) : nullptr;
}

bool PlaybinDecoder::WaitAsyncDone(std::chrono::milliseconds timeout)
{
    GstHandle<GstBus> bus(gst_element_get_bus(pipeline_.get()));
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const auto left = deadline - std::chrono::steady_clock::now();
        if (left <= std::chrono::nanoseconds::zero())
            return false;
        GstHandle<GstMessage> msg(gst_bus_timed_pop_filtered(
            bus.get(), static_cast<GstClockTime>(std::chrono::nanoseconds(left).count()),
            static_cast<GstMessageType>(GST_MESSAGE_ASYNC_DONE | GST_MESSAGE_ERROR)));
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

bool PlaybinDecoder::Preroll(std::chrono::milliseconds timeout)
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

bool PlaybinDecoder::SeekAndPreroll(std::chrono::nanoseconds position, std::chrono::milliseconds timeout)
{
    if (!pipeline_ || failed_)
        return false;
    if (!gst_element_seek_simple(pipeline_.get(), GST_FORMAT_TIME,
                                 static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_KEY_UNIT),
                                 position.count()))
        return false;
    return WaitAsyncDone(timeout);
}

std::optional<std::chrono::nanoseconds> PlaybinDecoder::Duration() const
{
    gint64 duration = 0;
    if (!pipeline_ || !gst_element_query_duration(pipeline_.get(), GST_FORMAT_TIME, &duration) || duration <= 0)
        return std::nullopt;
    return std::chrono::nanoseconds(duration);
}

bool PlaybinDecoder::Play()
{
    return pipeline_ && !failed_
        && gst_element_set_state(pipeline_.get(), GST_STATE_PLAYING) != GST_STATE_CHANGE_FAILURE;
}

bool PlaybinDecoder::HasFailed()
{
    if (failed_ || !pipeline_)
        return true;
    GstHandle<GstBus> bus(gst_element_get_bus(pipeline_.get()));
    GstHandle<GstMessage> msg(gst_bus_pop_filtered(bus.get(), GST_MESSAGE_ERROR));
    failed_ = msg != nullptr;
    return failed_;
}

} // namespace thumbnails
