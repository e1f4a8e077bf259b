#include "platform/media/dmo_wrapper_filter.h"

#include "platform/diag/diagnostics.h"
#include "platform/media/gst_util.h"

#include <QRegularExpression>
#include <algorithm>

namespace media {
namespace {

const std::vector<const char *> kVideoFamily = {"avdec_wmv1", "avdec_wmv2", "avdec_wmv3", "avdec_vc1"};
const std::vector<const char *> kAudioFamily = {"avdec_wmav1", "avdec_wmav2", "avdec_wmapro", "avdec_wmalossless"};

struct FactoryUnref {
    void operator()(GstElementFactory *f) const { gst_object_unref(f); }
};
using FactoryPtr = std::unique_ptr<GstElementFactory, FactoryUnref>;

bool Installed(const char *factory) { return FactoryPtr(FindFactory(factory)) != nullptr; }

// The member of family whose input takes caps; caps must describe one stream.
const char *DecoderFor(const std::vector<const char *> &family, const GstCaps *caps)
{
    if (!caps || !gst_caps_is_fixed(caps))
        return nullptr;
    for (const char *name : family) {
        FactoryPtr factory(FindFactory(name));
        if (factory && gst_element_factory_can_sink_all_caps(factory.get(), caps))
            return name;
    }
    return nullptr;
}

QString CapsText(const GstCaps *caps)
{
    if (!caps)
        return QStringLiteral("none");
    gchar *text = gst_caps_to_string(caps);
    QString result = QString::fromUtf8(text);
    g_free(text);
    // codec_data is a long run of hex that says nothing to a reader.
    result.replace(QRegularExpression(QStringLiteral(", codec_data=\\(buffer\\)[0-9a-f]*")), QString());
    return result;
}

} // namespace

DmoWrapperFilter::DmoWrapperFilter() : Filter(CLSID_DMOWrapperFilter) {}

std::shared_ptr<DmoWrapperFilter> DmoWrapperFilter::Create(HRESULT *hr)
{
    *hr = S_OK;
    return std::shared_ptr<DmoWrapperFilter>(new DmoWrapperFilter());
}

HRESULT DmoWrapperFilter::Init(const Guid &clsidDMO, const Guid &catDMO)
{
    if (queue_)
        return E_UNEXPECTED;
    Guid major;
    if (clsidDMO == CLSID_CWMVDecMediaObject && catDMO == DMOCATEGORY_VIDEO_DECODER) {
        family_ = kVideoFamily;
        major = MEDIATYPE_Video;
    } else if (clsidDMO == CLSID_CWMADecMediaObject && catDMO == DMOCATEGORY_AUDIO_DECODER) {
        family_ = kAudioFamily;
        major = MEDIATYPE_Audio;
    } else {
        diag::OutputDebugString(QStringLiteral("media: no decoder object %1 in category %2")
                                    .arg(clsidDMO.ToString(), catDMO.ToString()));
        return REGDB_E_CLASSNOTREG;
    }
    if (std::none_of(family_.begin(), family_.end(), Installed)) {
        diag::OutputDebugString(QStringLiteral("media: no decoder of the family of %1 is installed (gst-libav?)")
                                    .arg(QString::fromUtf8(family_.front())));
        family_.clear();
        return REGDB_E_CLASSNOTREG;
    }
    // The queue decouples the decoder from the demuxer's single thread.
    queue_ = MakeElement("queue");
    if (!queue_)
        return REGDB_E_CLASSNOTREG;
    AddToBin(queue_);
    PadPtr in(gst_element_get_static_pad(queue_, "sink"));
    AddPin(PINDIR_INPUT, QStringLiteral("in0"), in.get(), major);
    output_ = AddPin(PINDIR_OUTPUT, QStringLiteral("out0"), nullptr, major);
    return S_OK;
}

HRESULT DmoWrapperFilter::PrepareInputPin(const std::shared_ptr<Pin> &, const GstCaps *offered)
{
    if (!queue_)
        return VFW_E_CANNOT_CONNECT;
    const char *factory = DecoderFor(family_, offered);
    if (!factory) {
        diag::OutputDebugString(QStringLiteral("media: no decoder for the stream's caps %1").arg(CapsText(offered)));
        return VFW_E_CANNOT_CONNECT;
    }
    return UseDecoder(factory);
}

// Puts the chosen decoder behind the queue (again when the input reconnects
// to another stream) and aims the output pin at it.
HRESULT DmoWrapperFilter::UseDecoder(const char *factory)
{
    if (decoder_ && DecoderName() == QLatin1String(factory))
        return S_OK;
    GstElement *decoder = MakeElement(factory);
    if (!decoder)
        return REGDB_E_CLASSNOTREG;
    if (decoder_) {
        gst_element_set_state(decoder_, GST_STATE_NULL);
        gst_bin_remove(GST_BIN(Element()), decoder_);
    }
    decoder_ = decoder;
    AddToBin(decoder_);
    gst_element_link(queue_, decoder_);
    PadPtr out(gst_element_get_static_pad(decoder_, "src"));
    gst_ghost_pad_set_target(GST_GHOST_PAD(output_->Pad()), out.get());
    gst_element_sync_state_with_parent(decoder_);
    return S_OK;
}

QString DmoWrapperFilter::DecoderName() const
{
    if (!decoder_)
        return {};
    GstElementFactory *factory = gst_element_get_factory(decoder_);
    return factory ? QString::fromUtf8(GST_OBJECT_NAME(factory)) : QString();
}

} // namespace media
