#include "platform/media/gst_util.h"

#include "platform/diag/diagnostics.h"
#include "platform/diag/thread_handoff.h"

#include <QSet>
#include <mutex>

namespace media {
namespace {

std::mutex g_missingMutex;
QSet<QString> &MissingForTests()
{
    static QSet<QString> set;
    return set;
}

bool MarkedMissing(const char *factory)
{
    std::lock_guard lock(g_missingMutex);
    return MissingForTests().contains(QString::fromUtf8(factory));
}

} // namespace

GstElement *MakeElement(const char *factory, const char *name)
{
    GstElement *element = MarkedMissing(factory) ? nullptr : gst_element_factory_make(factory, name);
    if (!element)
        diag::OutputDebugString(
            QStringLiteral("media: GStreamer element '%1' is not available (plugin not installed?)").arg(factory));
    return element;
}

GstElementFactory *FindFactory(const char *factory)
{
    return MarkedMissing(factory) ? nullptr : gst_element_factory_find(factory);
}

HRESULT MakeElement(const char *factory, GstElement **out)
{
    if (!out)
        return E_POINTER;
    *out = MakeElement(factory, static_cast<const char *>(nullptr));
    return *out ? S_OK : REGDB_E_CLASSNOTREG;
}

ScopedMissingElement::ScopedMissingElement(const char *factory) : factory_(QString::fromUtf8(factory))
{
    std::lock_guard lock(g_missingMutex);
    MissingForTests().insert(factory_);
}

ScopedMissingElement::~ScopedMissingElement()
{
    std::lock_guard lock(g_missingMutex);
    MissingForTests().remove(factory_);
}

VIDEOINFOHEADER MakeRgb24VideoInfo(LONG width, LONG height, REFERENCE_TIME avgTimePerFrame)
{
    VIDEOINFOHEADER vih;
    vih.rcSource = RECT{0, 0, width, height};
    vih.rcTarget = RECT{0, 0, width, height};
    vih.AvgTimePerFrame = avgTimePerFrame;
    BITMAPINFOHEADER &bmi = vih.bmiHeader;
    bmi.biSize = sizeof(BITMAPINFOHEADER);
    bmi.biWidth = width;
    bmi.biHeight = height;
    bmi.biPlanes = 1;
    bmi.biBitCount = 24;
    bmi.biCompression = BI_RGB;
    bmi.biSizeImage = static_cast<DWORD>(DibStride(width, 24) * height);
    if (avgTimePerFrame > 0)
        vih.dwBitRate = static_cast<DWORD>(bmi.biSizeImage * 8ll * UNITS / avgTimePerFrame);
    return vih;
}

AM_MEDIA_TYPE MakeRgb24MediaType(LONG width, LONG height, REFERENCE_TIME avgTimePerFrame)
{
    AM_MEDIA_TYPE mt;
    mt.majortype = MEDIATYPE_Video;
    mt.subtype = MEDIASUBTYPE_RGB24;
    mt.bFixedSizeSamples = 1;
    mt.lSampleSize = static_cast<ULONG>(DibStride(width, 24) * height);
    mt.SetVideoInfo(MakeRgb24VideoInfo(width, height, avgTimePerFrame));
    return mt;
}

Guid MajorTypeOfCaps(const GstCaps *caps)
{
    if (!caps || gst_caps_is_empty(caps) || gst_caps_is_any(caps))
        return GUID_NULL;
    const char *name = gst_structure_get_name(gst_caps_get_structure(caps, 0));
    if (g_str_has_prefix(name, "video/") || g_str_has_prefix(name, "image/"))
        return MEDIATYPE_Video;
    if (g_str_has_prefix(name, "audio/"))
        return MEDIATYPE_Audio;
    return GUID_NULL;
}

} // namespace media

namespace media {

bool PeerFixedVideoSize(GstPad *pad, int *width, int *height)
{
    if (!pad || !gst_pad_is_linked(pad))
        return false;
    CapsPtr caps(gst_pad_peer_query_caps(pad, nullptr));
    if (!caps || gst_caps_is_empty(caps.get()) || gst_caps_is_any(caps.get()))
        return false;
    int w = 0, h = 0;
    for (guint i = 0; i < gst_caps_get_size(caps.get()); ++i) {
        const GstStructure *s = gst_caps_get_structure(caps.get(), i);
        int sw = 0, sh = 0;
        if (!gst_structure_get_int(s, "width", &sw) || !gst_structure_get_int(s, "height", &sh))
            return false;
        if (i > 0 && (sw != w || sh != h))
            return false;
        w = sw;
        h = sh;
    }
    *width = w;
    *height = h;
    return w > 0 && h > 0;
}

} // namespace media

namespace media {
namespace {
struct MessageHandlerEntry {
    ElementMessageHandler handler;
    gpointer data;
};
GQuark MessageHandlerQuark() { return g_quark_from_static_string("talvora-message-handler"); }
} // namespace

void SetElementMessageHandler(GstElement *element, ElementMessageHandler handler, gpointer data)
{
    auto *entry = new MessageHandlerEntry{handler, data};
    diag::HandOver(entry); // read on the streaming thread that posts the message
    g_object_set_qdata_full(G_OBJECT(element), MessageHandlerQuark(), entry,
        [](gpointer p) { delete static_cast<MessageHandlerEntry *>(p); });
}

void ClearElementMessageHandler(GstElement *element)
{
    g_object_set_qdata(G_OBJECT(element), MessageHandlerQuark(), nullptr);
}

void DispatchElementMessage(GstMessage *message)
{
    GstObject *src = GST_MESSAGE_SRC(message);
    if (!src || !GST_IS_ELEMENT(src))
        return;
    auto *entry = static_cast<MessageHandlerEntry *>(g_object_get_qdata(G_OBJECT(src), MessageHandlerQuark()));
    if (!entry)
        return;
    diag::TakeOver(entry);
    entry->handler(message, entry->data);
}
} // namespace media
