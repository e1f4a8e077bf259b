#include "platform/media/asf_remuxer.h"

#include "platform/diag/diagnostics.h"
#include "platform/diag/thread_handoff.h"
#include "platform/media/gst_util.h"

#include <QFile>
#include <QFileInfo>
#include <cstdio>

namespace media {
namespace {

struct PipelineUnref {
    void operator()(GstElement *p) const
    {
        if (p) {
            gst_element_set_state(p, GST_STATE_NULL);
            gst_object_unref(p);
        }
    }
};
using PipelinePtr = std::unique_ptr<GstElement, PipelineUnref>;

struct Remux {
    GstElement *pipeline = nullptr;
    GstElement *mux = nullptr;
};

// The demuxer gives packets no duration, and the muxer sums durations into the
// file's play duration; each packet is given the time since the one before.
// The last time is made on the demuxer's thread, read and written on the
// queue's, freed once the pipeline stopped: each time handed over through
// GStreamer's own locks.
GstPadProbeReturn GiveDuration(GstPad *, GstPadProbeInfo *info, gpointer data)
{
    auto *last = static_cast<GstClockTime *>(data);
    GstBuffer *buffer = GST_PAD_PROBE_INFO_BUFFER(info);
    if (GST_BUFFER_DURATION_IS_VALID(buffer) || !GST_BUFFER_PTS_IS_VALID(buffer))
        return GST_PAD_PROBE_OK;
    diag::TakeOver(last);
    buffer = gst_buffer_make_writable(buffer);
    const GstClockTime pts = GST_BUFFER_PTS(buffer);
    GST_BUFFER_DURATION(buffer) = GST_CLOCK_TIME_IS_VALID(*last) && pts > *last ? pts - *last : 0;
    *last = pts;
    diag::HandOver(last);
    GST_PAD_PROBE_INFO_DATA(info) = buffer;
    return GST_PAD_PROBE_OK;
}

void FreeLastTime(gpointer last)
{
    diag::TakeOver(last);
    delete static_cast<GstClockTime *>(last);
}

// Each stream the demuxer finds goes through a queue into its own muxer input.
void OnDemuxPad(GstElement *, GstPad *pad, gpointer data)
{
    auto *r = static_cast<Remux *>(data);
    const gchar *name = GST_PAD_NAME(pad);
    const char *templ = g_str_has_prefix(name, "video") ? "video_%u" : g_str_has_prefix(name, "audio") ? "audio_%u"
                                                                                                      : nullptr;
    if (!templ)
        return;
    GstElement *queue = gst_element_factory_make("queue", nullptr);
    if (!queue)
        return;
    gst_bin_add(GST_BIN(r->pipeline), queue);
    PadPtr in(gst_element_get_static_pad(queue, "sink"));
    PadPtr out(gst_element_get_static_pad(queue, "src"));
    GstPad *muxPad = gst_element_request_pad_simple(r->mux, templ);
    if (gst_pad_link(pad, in.get()) != GST_PAD_LINK_OK || !muxPad || gst_pad_link(out.get(), muxPad) != GST_PAD_LINK_OK)
        diag::OutputDebugString(QStringLiteral("media: repair could not take the stream '%1'").arg(QString::fromUtf8(name)));
    if (muxPad)
        gst_object_unref(muxPad);
    auto *last = new GstClockTime(GST_CLOCK_TIME_NONE);
    diag::HandOver(last);
    gst_pad_add_probe(out.get(), GST_PAD_PROBE_TYPE_BUFFER, &GiveDuration, last, &FreeLastTime);
    gst_element_sync_state_with_parent(queue);
}

// Waits for the end of stream or an error, at most timeoutMs.
bool RunToEnd(GstElement *pipeline, int timeoutMs)
{
    if (gst_element_set_state(pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE)
        return false;
    GstBus *bus = gst_element_get_bus(pipeline);
    GstMessage *msg = gst_bus_timed_pop_filtered(bus, static_cast<GstClockTime>(timeoutMs) * GST_MSECOND,
        static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    gst_object_unref(bus);
    const bool ok = msg && GST_MESSAGE_TYPE(msg) == GST_MESSAGE_EOS;
    if (msg)
        gst_message_unref(msg);
    return ok;
}

bool RemuxInto(const QString &from, const QString &to, int timeoutMs)
{
    Remux r;
    PipelinePtr pipeline(gst_pipeline_new(nullptr));
    gst_object_ref_sink(pipeline.get());
    r.pipeline = pipeline.get();
    GstElement *src = MakeElement("filesrc");
    GstElement *demux = MakeElement("asfdemux");
    r.mux = MakeElement("asfmux");
    GstElement *sink = MakeElement("filesink");
    if (!src || !demux || !r.mux || !sink) {
        for (GstElement *e : {src, demux, r.mux, sink})
            if (e)
                gst_object_unref(gst_object_ref_sink(e));
        return false;
    }
    gst_bin_add_many(GST_BIN(r.pipeline), src, demux, r.mux, sink, nullptr);
    g_object_set(src, "location", QFile::encodeName(from).constData(), nullptr);
    g_object_set(sink, "location", QFile::encodeName(to).constData(), nullptr);
    if (!gst_element_link(src, demux) || !gst_element_link(r.mux, sink))
        return false;
    g_signal_connect(demux, "pad-added", G_CALLBACK(&OnDemuxPad), &r);
    const bool ok = RunToEnd(r.pipeline, timeoutMs);
    pipeline.reset(); // closes the output before it is looked at
    return ok;
}

} // namespace

QString RepairTemporaryPath(const QString &path)
{
    const QFileInfo info(path);
    return info.absolutePath() + QStringLiteral("/.") + info.fileName() + QStringLiteral(".repair");
}

qint64 AsfFileDurationMs(const QString &path, int timeoutMs)
{
    PipelinePtr pipeline(gst_pipeline_new(nullptr));
    gst_object_ref_sink(pipeline.get());
    GstElement *src = MakeElement("filesrc");
    GstElement *demux = MakeElement("asfdemux");
    if (!src || !demux) {
        for (GstElement *e : {src, demux})
            if (e)
                gst_object_unref(gst_object_ref_sink(e));
        return -1;
    }
    gst_bin_add_many(GST_BIN(pipeline.get()), src, demux, nullptr);
    g_object_set(src, "location", QFile::encodeName(path).constData(), nullptr);
    gst_element_link(src, demux);
    // Every stream ends in a fakesink, so the demuxer can preroll.
    g_signal_connect(demux, "pad-added", G_CALLBACK(+[](GstElement *d, GstPad *pad, gpointer) {
        GstElement *fake = gst_element_factory_make("fakesink", nullptr);
        GstObject *parent = gst_object_get_parent(GST_OBJECT(d));
        gst_bin_add(GST_BIN(parent), fake);
        gst_object_unref(parent);
        PadPtr in(gst_element_get_static_pad(fake, "sink"));
        gst_pad_link(pad, in.get());
        gst_element_sync_state_with_parent(fake);
    }), nullptr);
    if (gst_element_set_state(pipeline.get(), GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE)
        return -1;
    // Until the demuxer has read the header there are no sinks, so the state
    // change alone says nothing; ask for the duration until it comes or fails.
    GstBus *bus = gst_element_get_bus(pipeline.get());
    gint64 ns = 0;
    bool known = false;
    for (int waited = 0; !known && waited <= timeoutMs; waited += 20) {
        GstMessage *error = gst_bus_timed_pop_filtered(bus, 20 * GST_MSECOND, GST_MESSAGE_ERROR);
        if (error) {
            gst_message_unref(error);
            break;
        }
        known = gst_element_query_duration(pipeline.get(), GST_FORMAT_TIME, &ns) && ns > 0;
    }
    gst_object_unref(bus);
    if (!known)
        return -1;
    return ns / 1000000;
}

RepairResult RepairAsfFile(const QString &path, int timeoutMs)
{
    const QString temporary = RepairTemporaryPath(path);
    QFile::remove(temporary); // left by a repair that was itself interrupted
    const bool remuxed = RemuxInto(path, temporary, timeoutMs);
    // The repaired file must open and hold some time, or the original stays.
    if (!remuxed || AsfFileDurationMs(temporary) <= 0) {
        QFile::remove(temporary);
        diag::OutputDebugString(QStringLiteral("media: '%1' could not be repaired; left as it is").arg(path));
        return RepairResult::NotRepairable;
    }
    if (std::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(path).constData()) != 0) {
        QFile::remove(temporary);
        return RepairResult::NotRepairable;
    }
    return RepairResult::Repaired;
}

} // namespace media
