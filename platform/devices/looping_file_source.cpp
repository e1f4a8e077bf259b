#include "platform/devices/looping_file_source.h"

#include "platform/diag/diagnostics.h"
#include "platform/diag/thread_handoff.h"

#include <gst/app/gstappsink.h>
#include <gst/app/gstappsrc.h>
#include <gst/pbutils/pbutils.h>

#include <QFileInfo>
#include <QUrl>
#include <atomic>

namespace devices {
namespace {

const char *kLoopKey = "talvora-file-loop";

bool IsStillImage(const QString &path)
{
    static const QStringList kImages = {QStringLiteral("jpg"), QStringLiteral("jpeg"),
                                        QStringLiteral("png"), QStringLiteral("bmp")};
    return kImages.contains(QFileInfo(path).suffix().toLower());
}

// The private decoding pipeline behind one appsrc. Owned by the appsrc (object
// data); its teardown runs on GStreamer's thread pool, because the last
// reference to the appsrc may be dropped on one of this pipeline's own
// streaming threads, where stopping the pipeline would deadlock.
class FileLoop {
public:
    FileLoop(GstElement *pipeline, GstElement *appsrc) : pipeline_(pipeline)
    {
        g_weak_ref_init(&appsrc_, appsrc);
        GstBus *bus = gst_element_get_bus(pipeline_);
        gst_bus_set_sync_handler(bus, &FileLoop::OnBusMessage, nullptr, nullptr);
        gst_object_unref(bus);
    }
    ~FileLoop()
    {
        gst_element_set_state(pipeline_, GST_STATE_NULL);
        gst_object_unref(pipeline_);
        g_weak_ref_clear(&appsrc_);
    }
    FileLoop(const FileLoop &) = delete;
    FileLoop &operator=(const FileLoop &) = delete;

    // The appsrc is going away: stop decoding and free this, off this thread.
    static void Dispose(gpointer loop)
    {
        auto *self = static_cast<FileLoop *>(loop);
        diag::HandOver(self);
        gst_element_call_async(self->pipeline_, [](GstElement *, gpointer p) {
            diag::TakeOver(p);
            delete static_cast<FileLoop *>(p);
        }, self, nullptr);
    }

    // The outer graph wants data: start decoding (once; the loop then runs
    // until the source element is disposed).
    void Start()
    {
        if (!started_.exchange(true))
            gst_element_set_state(pipeline_, GST_STATE_PLAYING);
    }

    GstFlowReturn Forward(GstSample *sample)
    {
        auto *appsrc = static_cast<GstElement *>(g_weak_ref_get(&appsrc_));
        if (!appsrc)
            return GST_FLOW_OK;
        // The appsrc stamps buffers with the outer running time; the file's
        // own stamps restart at every loop and must not leak out.
        GstBuffer *buffer = gst_buffer_copy(gst_sample_get_buffer(sample));
        GST_BUFFER_PTS(buffer) = GST_CLOCK_TIME_NONE;
        GST_BUFFER_DTS(buffer) = GST_CLOCK_TIME_NONE;
        GstSample *restamped = gst_sample_new(buffer, gst_sample_get_caps(sample), nullptr, nullptr);
        gst_buffer_unref(buffer);
        // Refused (the outer graph is stopped): the frame is dropped, as a
        // camera's would be, and decoding goes on.
        gst_app_src_push_sample(GST_APP_SRC(appsrc), restamped);
        gst_sample_unref(restamped);
        gst_object_unref(appsrc);
        return GST_FLOW_OK;
    }

    // End of the file: back to its start. Seeking from the streaming thread
    // that delivers the end would deadlock, so it is done from GStreamer's pool.
    void Rewind() { gst_element_call_async(pipeline_, &FileLoop::RewindAsync, nullptr, nullptr); }

private:
    static void RewindAsync(GstElement *pipeline, gpointer)
    {
        gst_element_seek_simple(pipeline, GST_FORMAT_TIME,
                                GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_KEY_UNIT), 0);
    }
    // Nobody reads this bus: errors go to the diagnostics, the rest is dropped.
    static GstBusSyncReply OnBusMessage(GstBus *, GstMessage *message, gpointer)
    {
        if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR) {
            GError *error = nullptr;
            gst_message_parse_error(message, &error, nullptr);
            diag::OutputDebugString(QStringLiteral("file device: %1")
                                        .arg(QString::fromUtf8(error ? error->message : "error")));
            g_clear_error(&error);
        }
        return GST_BUS_DROP;
    }

    GstElement *pipeline_;
    GWeakRef appsrc_;
    std::atomic<bool> started_{false};
};

GstFlowReturn OnNewSample(GstAppSink *sink, gpointer data)
{
    GstSample *sample = gst_app_sink_pull_sample(sink);
    if (!sample)
        return GST_FLOW_OK;
    const GstFlowReturn ret = static_cast<FileLoop *>(data)->Forward(sample);
    gst_sample_unref(sample);
    return ret;
}

void OnEos(GstAppSink *, gpointer data) { static_cast<FileLoop *>(data)->Rewind(); }

void OnNeedData(GstAppSrc *src, guint, gpointer)
{
    if (auto *loop = static_cast<FileLoop *>(g_object_get_data(G_OBJECT(src), kLoopKey)))
        loop->Start();
}

// Decoded pads of the wanted kind feed the converter; any other stream is
// sunk so it never stalls the decoder.
void OnPadAdded(GstElement *decoder, GstPad *pad, gpointer data)
{
    auto *convert = static_cast<GstElement *>(data);
    GstCaps *caps = gst_pad_get_current_caps(pad);
    if (!caps)
        caps = gst_pad_query_caps(pad, nullptr);
    const gchar *media = gst_structure_get_name(gst_caps_get_structure(caps, 0));
    GstPad *sinkPad = gst_element_get_static_pad(convert, "sink");
    const bool wanted = g_str_has_prefix(media, GST_ELEMENT_NAME(convert)) && !gst_pad_is_linked(sinkPad);
    gst_caps_unref(caps);
    if (wanted) {
        gst_pad_link(pad, sinkPad);
    } else {
        GstElement *bin = GST_ELEMENT(gst_element_get_parent(decoder));
        GstElement *fakesink = gst_element_factory_make("fakesink", nullptr);
        g_object_set(fakesink, "sync", FALSE, "async", FALSE, nullptr);
        gst_bin_add(GST_BIN(bin), fakesink);
        gst_element_sync_state_with_parent(fakesink);
        GstPad *fakePad = gst_element_get_static_pad(fakesink, "sink");
        gst_pad_link(pad, fakePad);
        gst_object_unref(fakePad);
        gst_object_unref(bin);
    }
    gst_object_unref(sinkPad);
}

GstElement *Make(const char *factory, const char *name, QString *error)
{
    GstElement *element = gst_element_factory_make(factory, name);
    if (!element && error)
        *error = QStringLiteral("GStreamer element \"%1\" is missing").arg(QLatin1String(factory));
    return element;
}

// uridecodebin → convert (named after the media type it wants) [→ freeze] → appsink
GstElement *MakeDecodePipeline(const QString &path, DeviceKind kind, GstElement **sinkOut,
                               QString *error)
{
    const bool video = kind == DeviceKind::Video;
    const bool still = video && IsStillImage(path);
    GstElement *decoder = Make("uridecodebin", nullptr, error);
    GstElement *convert = Make(video ? "videoconvert" : "audioconvert", video ? "video" : "audio", error);
    GstElement *freeze = still ? Make("imagefreeze", nullptr, error) : nullptr;
    GstElement *sink = Make("appsink", nullptr, error);
    if (!decoder || !convert || (still && !freeze) || !sink) {
        for (GstElement *e : {decoder, convert, freeze, sink})
            if (e)
                gst_object_unref(gst_object_ref_sink(e));
        return nullptr;
    }
    const QByteArray uri = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toEncoded();
    g_object_set(decoder, "uri", uri.constData(), nullptr);
    GstCaps *caps = gst_caps_from_string(video ? "video/x-raw,framerate=30/1" : "audio/x-raw");
    if (!still)
        gst_structure_remove_field(gst_caps_get_structure(caps, 0), "framerate");
    g_object_set(sink, "caps", caps, "sync", TRUE, "max-buffers", 4u, "drop", FALSE, nullptr);
    gst_caps_unref(caps);

    GstElement *pipeline = gst_pipeline_new("talvora-file-device");
    gst_bin_add_many(GST_BIN(pipeline), decoder, convert, sink, nullptr);
    if (freeze) {
        gst_bin_add(GST_BIN(pipeline), freeze);
        gst_element_link_many(convert, freeze, sink, nullptr);
    } else {
        gst_element_link(convert, sink);
    }
    g_signal_connect(decoder, "pad-added", G_CALLBACK(OnPadAdded), convert);
    *sinkOut = sink;
    return pipeline;
}

// What the file holds, learnt before anything is built: a file without a
// stream of the wanted kind makes no device. For video, the caps announce
// the picture's size and rate before the first frame, so the capture filter
// knows its format as it would a camera's.
GstCaps *ProbeFile(const QByteArray &uri, DeviceKind kind, bool still, QString *error)
{
    GError *gerror = nullptr;
    GstDiscoverer *discoverer = gst_discoverer_new(5 * GST_SECOND, &gerror);
    if (!discoverer) {
        if (error)
            *error = QString::fromUtf8(gerror ? gerror->message : "no discoverer");
        g_clear_error(&gerror);
        return nullptr;
    }
    GstDiscovererInfo *info = gst_discoverer_discover_uri(discoverer, uri.constData(), &gerror);
    g_clear_error(&gerror);
    GList *streams = nullptr;
    if (info && gst_discoverer_info_get_result(info) == GST_DISCOVERER_OK)
        streams = kind == DeviceKind::Video ? gst_discoverer_info_get_video_streams(info)
                                            : gst_discoverer_info_get_audio_streams(info);
    GstCaps *caps = nullptr;
    if (streams && kind == DeviceKind::Audio) {
        caps = gst_caps_new_empty_simple("audio/x-raw");
    } else if (streams) {
        auto *video = GST_DISCOVERER_VIDEO_INFO(streams->data);
        int num = int(gst_discoverer_video_info_get_framerate_num(video));
        int den = int(gst_discoverer_video_info_get_framerate_denom(video));
        if (still || num <= 0 || den <= 0) {
            num = 30;
            den = 1;
        }
        caps = gst_caps_new_simple("video/x-raw", "width", G_TYPE_INT, int(gst_discoverer_video_info_get_width(video)),
                                   "height", G_TYPE_INT, int(gst_discoverer_video_info_get_height(video)),
                                   "framerate", GST_TYPE_FRACTION, num, den, nullptr);
    }
    if (!caps && error)
        *error = kind == DeviceKind::Video ? QStringLiteral("the device file holds no picture")
                                           : QStringLiteral("the device file holds no sound");
    gst_discoverer_stream_info_list_free(streams);
    if (info)
        gst_discoverer_info_unref(info);
    g_object_unref(discoverer);
    return caps;
}

// appsrc answers a caps query with ANY until it streams; a capsfilter with
// the announced caps behind it answers with the picture's size and rate.
GstElement *Announce(GstElement *appsrc, GstCaps *caps)
{
    GstElement *bin = gst_bin_new("talvora-file-camera");
    GstElement *filter = gst_element_factory_make("capsfilter", nullptr);
    g_object_set(filter, "caps", caps, nullptr);
    gst_bin_add_many(GST_BIN(bin), appsrc, filter, nullptr);
    gst_element_link(appsrc, filter);
    GstPad *pad = gst_element_get_static_pad(filter, "src");
    gst_element_add_pad(bin, gst_ghost_pad_new("src", pad));
    gst_object_unref(pad);
    return bin;
}

} // namespace

GstElement *CreateLoopingFileSource(const QString &path, DeviceKind kind, QString *error)
{
    if (!QFileInfo(path).isFile() || !QFileInfo(path).isReadable()) {
        if (error)
            *error = QStringLiteral("cannot read the device file \"%1\"").arg(path);
        return nullptr;
    }
    const QByteArray uri = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toEncoded();
    GstCaps *announced = ProbeFile(uri, kind, kind == DeviceKind::Video && IsStillImage(path), error);
    if (!announced)
        return nullptr;
    GstElement *sink = nullptr;
    GstElement *pipeline = MakeDecodePipeline(path, kind, &sink, error);
    if (!pipeline) {
        gst_caps_unref(announced);
        return nullptr;
    }
    GstElement *appsrc = Make("appsrc", nullptr, error);
    if (!appsrc) {
        gst_object_unref(gst_object_ref_sink(pipeline));
        gst_caps_unref(announced);
        return nullptr;
    }
    // A live source that keeps at most a few buffers and drops the oldest
    // when the graph does not take them, like a camera.
    g_object_set(appsrc, "is-live", TRUE, "do-timestamp", TRUE, "format", GST_FORMAT_TIME,
                 "max-buffers", guint64(4), "leaky-type", 2 /* downstream: drop old */, nullptr);
    GstElement *element = kind == DeviceKind::Video ? Announce(appsrc, announced) : appsrc;
    gst_caps_unref(announced);
    auto *loop = new FileLoop(GST_ELEMENT(gst_object_ref_sink(pipeline)), appsrc);
    g_object_set_data_full(G_OBJECT(appsrc), kLoopKey, loop, &FileLoop::Dispose);

    GstAppSinkCallbacks sinkCallbacks{};
    sinkCallbacks.eos = &OnEos;
    sinkCallbacks.new_sample = &OnNewSample;
    gst_app_sink_set_callbacks(GST_APP_SINK(sink), &sinkCallbacks, loop, nullptr);
    GstAppSrcCallbacks srcCallbacks{};
    srcCallbacks.need_data = &OnNeedData;
    gst_app_src_set_callbacks(GST_APP_SRC(appsrc), &srcCallbacks, nullptr, nullptr);
    return element;
}

} // namespace devices
