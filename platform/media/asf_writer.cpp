#include "platform/media/asf_writer.h"

#include "platform/diag/diagnostics.h"
#include "platform/media/asf_file_name.h"
#include "platform/media/gst_util.h"

#include <QDir>
#include <QFileInfo>
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

// asfmux orders packets by raw timestamps, while the libav encoders shift
// theirs by an offset (1000 hours) that only their segment undoes. This probe
// on an encoder's output turns timestamps into running time with a plain
// segment, so audio and video interleave and the file's duration is right.
struct RunningTimeProbe {
    GstSegment segment;
    RunningTimeProbe() { gst_segment_init(&segment, GST_FORMAT_TIME); }

    static GstPadProbeReturn OnData(GstPad *, GstPadProbeInfo *info, gpointer data)
    {
        auto *self = static_cast<RunningTimeProbe *>(data);
        if (info->type & GST_PAD_PROBE_TYPE_BUFFER) {
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
    Guid profile;
    QString fileName;
    std::vector<Branch> branches;
};

AsfWriter::AsfWriter() : Filter(CLSID_WMAsfWriter), d(std::make_unique<Impl>()) {}

AsfWriter::~AsfWriter()
{
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

    struct Spec {
        bool video;
        std::vector<const char *> factories;
        const char *muxTemplate;
        const char *pinName;
    };
    std::vector<Spec> specs = {{false, {"audioconvert", "audioresample", "capsfilter", "avenc_wmav2", "queue"},
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
            g_object_set(b.elements[3], "bitrate", kAudioBitRate, nullptr);
        }
        b.muxTemplate = spec.muxTemplate;
        GstElement *encoder = b.elements[spec.video ? 1 : 3];
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

void AsfWriter::BeforeRun()
{
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
