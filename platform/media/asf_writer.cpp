#include "platform/media/asf_writer.h"

#include "platform/diag/diagnostics.h"
#include "platform/media/asf_file_name.h"
#include "platform/media/gst_util.h"
#include "platform/media/recording_keeper.h"
#include "platform/media/recording_marker.h"
#include "platform/media/recording_status.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <vector>

namespace media {
namespace {

// The Windows Media 8 system profiles the program uses, as encoder settings.
struct Profile {
    Guid id;
    bool video;
};
constexpr int kAudioBitRate = 64000;
constexpr int kAudioRate = 44100;
constexpr int kVideoBitRate = 700000;
constexpr int kVideoKeyFrameInterval = 30; // about one key frame per second
constexpr guint64 kLevelIntervalNs = 100 * GST_MSECOND; // at most 10 readings a second

// asfmux orders packets by raw timestamps, while the libav encoders shift
// theirs by an offset (1000 hours) that only their segment undoes. This probe
// on an encoder's output turns timestamps into running time with a plain
// segment, so audio and video interleave and the file's duration is right.
// It also counts the encoded packets, so a file that got none is known.
struct RunningTimeProbe {
    GstSegment segment;
    std::atomic<std::uint64_t> packets{0};
    RunningTimeProbe() { gst_segment_init(&segment, GST_FORMAT_TIME); }

    static GstPadProbeReturn OnData(GstPad *, GstPadProbeInfo *info, gpointer data)
    {
        auto *self = static_cast<RunningTimeProbe *>(data);
        if (info->type & GST_PAD_PROBE_TYPE_BUFFER) {
            self->packets.fetch_add(1, std::memory_order_relaxed);
            GstBuffer *buffer = gst_buffer_make_writable(GST_PAD_PROBE_INFO_BUFFER(info));
            const GstSegment &seg = self->segment;
            if (GST_BUFFER_PTS_IS_VALID(buffer))
                GST_BUFFER_PTS(buffer) = gst_segment_to_running_time(&seg, GST_FORMAT_TIME, GST_BUFFER_PTS(buffer));
            if (GST_BUFFER_DTS_IS_VALID(buffer))
                GST_BUFFER_DTS(buffer) = gst_segment_to_running_time(&seg, GST_FORMAT_TIME, GST_BUFFER_DTS(buffer));
            GST_PAD_PROBE_INFO_DATA(info) = buffer;
            return GST_PAD_PROBE_OK;
        }
        GstEvent *event = GST_PAD_PROBE_INFO_EVENT(info);
        if (event && GST_EVENT_TYPE(event) == GST_EVENT_SEGMENT) {
            const GstSegment *seg = nullptr;
            gst_event_parse_segment(event, &seg);
            if (seg->format != GST_FORMAT_TIME)
                return GST_PAD_PROBE_OK;
            gst_segment_copy_into(seg, &self->segment);
            GstSegment plain;
            gst_segment_init(&plain, GST_FORMAT_TIME);
            GstEvent *replacement = gst_event_new_segment(&plain);
            gst_event_set_seqnum(replacement, gst_event_get_seqnum(event));
            gst_event_unref(event);
            GST_PAD_PROBE_INFO_DATA(info) = replacement;
        }
        return GST_PAD_PROBE_OK;
    }
};

struct Branch {
    std::vector<GstElement *> elements;
    std::shared_ptr<RunningTimeProbe> probe = std::make_shared<RunningTimeProbe>();
    const char *muxTemplate = nullptr;
    GstPad *muxPad = nullptr; // request pad of asfmux, made when the graph starts
    std::shared_ptr<Pin> pin;
};

} // namespace

struct AsfWriter::Impl {
    GstElement *mux = nullptr;
    GstElement *sink = nullptr;
    GstElement *level = nullptr;
    Guid profile;
    QString fileName;
    std::vector<Branch> branches;
    QString runningFile;             // the file being written since the run
    bool marked = false;             // its marker lies beside it
    std::atomic<bool> finished{false}; // the muxer's end of stream reached the sink
    RecordingKeeper keeper;          // the file by a descriptor of its own, for a removed folder
    gulong eosProbe = 0;

    static void OnLevel(GstMessage *msg, gpointer)
    {
        const GstStructure *s = gst_message_get_structure(msg);
        if (!s || !gst_structure_has_name(s, "level"))
            return;
        const GValue *peaks = gst_structure_get_value(s, "peak");
        if (!peaks || !G_VALUE_HOLDS_BOXED(peaks))
            return;
        G_GNUC_BEGIN_IGNORE_DEPRECATIONS
        auto *array = static_cast<GValueArray *>(g_value_get_boxed(peaks));
        double loudest = -1000.0;
        for (guint i = 0; array && i < array->n_values; ++i)
            loudest = std::max(loudest, g_value_get_double(g_value_array_get_nth(array, i)));
        G_GNUC_END_IGNORE_DEPRECATIONS
        RecordingLevel(loudest);
    }
    static void OnSinkMessage(GstMessage *msg, gpointer)
    {
        if (GST_MESSAGE_TYPE(msg) == GST_MESSAGE_ERROR)
            RecordingWriteFailed();
    }
    static GstPadProbeReturn OnSinkEvent(GstPad *, GstPadProbeInfo *info, gpointer data)
    {
        GstEvent *event = GST_PAD_PROBE_INFO_EVENT(info);
        if (event && GST_EVENT_TYPE(event) == GST_EVENT_EOS)
            static_cast<Impl *>(data)->finished = true;
        return GST_PAD_PROBE_OK;
    }

    bool AnyPacket() const
    {
        return std::any_of(branches.begin(), branches.end(), [](const Branch &b) { return b.probe->packets > 0; });
    }

    // The marker goes once the file is complete, or when nothing was written.
    // A file cut short (drain timed out, write error) keeps it for repair.
    void EndRecording()
    {
        if (runningFile.isEmpty())
            return;
        KeepFromRemovedFolder();
        DropIfEmpty();
        const QFileInfo written(runningFile);
        if (marked && (finished || !written.exists() || written.size() == 0))
            RemoveRecordingMarker(runningFile);
        RecordingEnded(runningFile);
        runningFile.clear();
        marked = false;
    }

    // Stopped before any sound or picture reached the muxer (a Stop right
    // after Record): the file would hold a header and nothing a player could
    // open, so there is no file at all.
    void DropIfEmpty()
    {
        if (AnyPacket() || !QFileInfo::exists(runningFile))
            return;
        diag::OutputDebugString(QStringLiteral("media: '%1' was stopped before anything was recorded; removed")
                                    .arg(runningFile));
        QFile::remove(runningFile);
    }

    // The writer has closed the file; the keeper's descriptor still holds it.
    // A file whose folder went meanwhile is written back, and marked again
    // when it is not finished, so the repair that follows finds it.
    void KeepFromRemovedFolder()
    {
        if (keeper.Lost() && AnyPacket()) {
            const bool folderGone = !QFileInfo(runningFile).absoluteDir().exists();
            const bool kept = keeper.PutBack();
            diag::OutputDebugString(QStringLiteral("media: the folder of '%1' was removed while recording; %2")
                                        .arg(runningFile, kept ? QStringLiteral("the file was put back")
                                                               : QStringLiteral("the file could not be kept")));
            // A finished file needs no marker (one left beside a removed file
            // goes); an unfinished one is marked again for its repair.
            if (kept && !finished) {
                marked = WriteRecordingMarker(runningFile);
            } else {
                RemoveRecordingMarker(runningFile);
                marked = false;
            }
            RecordingFolderRemoved(runningFile, folderGone, kept);
        }
        keeper.Release();
    }
};

int AsfWriter::ProfileBitRate(const Guid &profile)
{
    if (profile == WMProfile_V80_64StereoAudio)
        return kAudioBitRate;
    return profile == WMProfile_V80_700NTSCVideo ? kVideoBitRate + kAudioBitRate : 0;
}

AsfWriter::AsfWriter() : Filter(CLSID_WMAsfWriter), d(std::make_unique<Impl>()) {}

AsfWriter::~AsfWriter()
{
    d->EndRecording();
    if (d->eosProbe) {
        PadPtr sinkPad(gst_element_get_static_pad(d->sink, "sink"));
        gst_pad_remove_probe(sinkPad.get(), d->eosProbe);
    }
    for (auto &b : d->branches)
        if (b.muxPad)
            gst_object_unref(b.muxPad);
}

std::shared_ptr<AsfWriter> AsfWriter::Create(HRESULT *hr)
{
    auto f = std::shared_ptr<AsfWriter>(new AsfWriter());
    f->d->mux = MakeElement("asfmux");
    f->d->sink = MakeElement("filesink");
    if (!f->d->mux || !f->d->sink) {
        for (GstElement *e : {f->d->mux, f->d->sink})
            if (e)
                gst_object_unref(gst_object_ref_sink(e));
        *hr = REGDB_E_CLASSNOTREG;
        return nullptr;
    }
    f->AddToBin(f->d->mux);
    f->AddToBin(f->d->sink);
    gst_element_link(f->d->mux, f->d->sink);
    // Every packet goes to the kernel as the muxer makes it: a process that
    // dies leaves all it recorded on disk, not minus a 64 KiB user buffer
    // (eight seconds of sound).
    g_object_set(f->d->sink, "buffer-mode", 2 /* unbuffered */, nullptr);
    SetElementMessageHandler(f->d->sink, &Impl::OnSinkMessage, nullptr);
    PadPtr sinkPad(gst_element_get_static_pad(f->d->sink, "sink"));
    f->d->eosProbe = gst_pad_add_probe(sinkPad.get(), GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM, &Impl::OnSinkEvent,
        f->d.get(), nullptr);
    *hr = f->ConfigureFilterUsingProfileGuid(WMProfile_V80_700NTSCVideo);
    return Failed(*hr) ? nullptr : f;
}

HRESULT AsfWriter::ConfigureFilterUsingProfileGuid(const Guid &profile)
{
    if (profile != WMProfile_V80_64StereoAudio && profile != WMProfile_V80_700NTSCVideo)
        return E_INVALIDARG;
    for (const auto &b : d->branches)
        if (b.pin->IsConnected())
            return VFW_E_ALREADY_CONNECTED;
    // Tear down the previous profile's inputs.
    RemoveAllPins();
    for (auto &b : d->branches) {
        for (GstElement *e : b.elements) {
            gst_element_set_state(e, GST_STATE_NULL);
            gst_bin_remove(GST_BIN(Element()), e);
        }
        if (b.muxPad) {
            gst_element_release_request_pad(d->mux, b.muxPad);
            gst_object_unref(b.muxPad);
        }
    }
    d->branches.clear();
    d->level = nullptr;

    struct Spec {
        bool video;
        std::vector<const char *> factories;
        const char *muxTemplate;
        const char *pinName;
    };
    std::vector<Spec> specs = {{false, {"audioconvert", "audioresample", "capsfilter", "level", "avenc_wmav2", "queue"},
        "audio_%u", "Audio Input 01"}};
    if (profile == WMProfile_V80_700NTSCVideo)
        specs.push_back({true, {"videoconvert", "avenc_wmv2", "queue"}, "video_%u", "Video Input 01"});
    for (const Spec &spec : specs) {
        Branch b;
        for (const char *factory : spec.factories) {
            GstElement *e = MakeElement(factory);
            if (!e) {
                for (GstElement *m : b.elements) {
                    gst_element_set_state(m, GST_STATE_NULL);
                    gst_bin_remove(GST_BIN(Element()), m);
                }
                return REGDB_E_CLASSNOTREG;
            }
            AddToBin(e);
            if (!b.elements.empty())
                gst_element_link(b.elements.back(), e);
            b.elements.push_back(e);
        }
        if (spec.video) {
            g_object_set(b.elements[1], "bitrate", kVideoBitRate, "gop-size", kVideoKeyFrameInterval, nullptr);
        } else {
            CapsPtr caps(gst_caps_new_simple("audio/x-raw", "rate", G_TYPE_INT, kAudioRate, "channels", G_TYPE_INT, 2,
                nullptr));
            g_object_set(b.elements[2], "caps", caps.get(), nullptr);
            d->level = b.elements[3];
            g_object_set(d->level, "interval", kLevelIntervalNs, "post-messages", TRUE, nullptr);
            SetElementMessageHandler(d->level, &Impl::OnLevel, nullptr);
            g_object_set(b.elements[4], "bitrate", kAudioBitRate, nullptr);
        }
        b.muxTemplate = spec.muxTemplate;
        GstElement *encoder = b.elements[spec.video ? 1 : 4];
        PadPtr encoded(gst_element_get_static_pad(encoder, "src"));
        gst_pad_add_probe(encoded.get(),
            static_cast<GstPadProbeType>(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM),
            &RunningTimeProbe::OnData, b.probe.get(), nullptr);
        PadPtr in(gst_element_get_static_pad(b.elements.front(), "sink"));
        b.pin = AddPin(PINDIR_INPUT, QString::fromLatin1(spec.pinName), in.get(),
            spec.video ? MEDIATYPE_Video : MEDIATYPE_Audio);
        d->branches.push_back(std::move(b));
    }
    d->profile = profile;
    return S_OK;
}

HRESULT AsfWriter::GetCurrentProfileGuid(Guid *profile)
{
    if (!profile)
        return E_POINTER;
    *profile = d->profile;
    return S_OK;
}

HRESULT AsfWriter::SetFileName(const QString &fileName, const AM_MEDIA_TYPE *)
{
    const QFileInfo info(fileName);
    const QFileInfo dir(info.absolutePath());
    if (fileName.isEmpty() || !dir.isDir() || !dir.isWritable() || (info.exists() && !info.isWritable())
        || info.isDir()) {
        diag::OutputDebugString(QStringLiteral("media: cannot write the file '%1'").arg(fileName));
        return E_ACCESSDENIED;
    }
    g_object_set(d->sink, "location", QFile::encodeName(info.absoluteFilePath()).constData(), nullptr);
    d->fileName = fileName;
    return S_OK;
}

HRESULT AsfWriter::GetCurFile(QString *fileName, AM_MEDIA_TYPE *mt)
{
    return ReportAsfFile(d->fileName, fileName, mt);
}

void AsfWriter::AfterStop() { d->EndRecording(); }

void AsfWriter::BeforeRun()
{
    const bool fed = std::any_of(d->branches.begin(), d->branches.end(), [](const Branch &b) {
        return b.pin->IsConnected();
    });
    if (fed && d->runningFile.isEmpty() && !d->fileName.isEmpty()) {
        d->runningFile = QFileInfo(d->fileName).absoluteFilePath();
        d->finished = false;
        for (auto &b : d->branches)
            b.probe->packets = 0;
        d->marked = WriteRecordingMarker(d->runningFile);
        d->keeper.Hold(d->runningFile);
        RecordingStarted(d->runningFile);
    }
    // Only inputs that something feeds join the muxer: it waits for data on
    // every stream, and it cannot give a stream back once asked for one.
    for (auto &b : d->branches) {
        if (!b.pin->IsConnected() || b.muxPad)
            continue;
        b.muxPad = gst_element_request_pad_simple(d->mux, b.muxTemplate);
        PadPtr out(gst_element_get_static_pad(b.elements.back(), "src"));
        if (!b.muxPad || gst_pad_link(out.get(), b.muxPad) != GST_PAD_LINK_OK)
            diag::OutputDebugString(QStringLiteral("media: the file writer could not take the stream of '%1'")
                                        .arg(b.pin->Name()));
    }
}

} // namespace media
