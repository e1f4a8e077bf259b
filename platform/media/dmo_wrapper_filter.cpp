#include "platform/media/dmo_wrapper_filter.h"

#include "platform/diag/diagnostics.h"
#include "platform/media/gst_util.h"

namespace media {

DmoWrapperFilter::DmoWrapperFilter() : Filter(CLSID_DMOWrapperFilter) {}

std::shared_ptr<DmoWrapperFilter> DmoWrapperFilter::Create(HRESULT *hr)
{
    *hr = S_OK;
    return std::shared_ptr<DmoWrapperFilter>(new DmoWrapperFilter());
}

HRESULT DmoWrapperFilter::Init(const Guid &clsidDMO, const Guid &catDMO)
{
    if (initialised_)
        return E_UNEXPECTED;
    const char *decoder = nullptr;
    Guid major;
    if (clsidDMO == CLSID_CWMVDecMediaObject && catDMO == DMOCATEGORY_VIDEO_DECODER) {
        decoder = "avdec_wmv2";
        major = MEDIATYPE_Video;
    } else if (clsidDMO == CLSID_CWMADecMediaObject && catDMO == DMOCATEGORY_AUDIO_DECODER) {
        decoder = "avdec_wmav2";
        major = MEDIATYPE_Audio;
    } else {
        diag::OutputDebugString(QStringLiteral("media: no decoder object %1 in category %2")
                                    .arg(clsidDMO.ToString(), catDMO.ToString()));
        return REGDB_E_CLASSNOTREG;
    }
    // The queue decouples the decoder from the demuxer's single thread.
    GstElement *queue = MakeElement("queue");
    GstElement *dec = MakeElement(decoder);
    if (!queue || !dec) {
        for (GstElement *e : {queue, dec})
            if (e)
                gst_object_unref(gst_object_ref_sink(e));
        return REGDB_E_CLASSNOTREG;
    }
    AddToBin(queue);
    AddToBin(dec);
    gst_element_link(queue, dec);
    PadPtr in(gst_element_get_static_pad(queue, "sink"));
    PadPtr out(gst_element_get_static_pad(dec, "src"));
    AddPin(PINDIR_INPUT, QStringLiteral("in0"), in.get(), major);
    AddPin(PINDIR_OUTPUT, QStringLiteral("out0"), out.get(), major);
    initialised_ = true;
    return S_OK;
}

} // namespace media
