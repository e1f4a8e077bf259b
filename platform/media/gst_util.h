#pragma once
// Small GStreamer helpers of the media layer: element creation that reports a
// missing plugin, RAII holders, and caps to media-type conversion.
#include "platform/media/media_types.h"

#include <QString>
#include <gst/gst.h>
#include <memory>

namespace media {

struct GstObjectUnref {
    void operator()(gpointer p) const { if (p) gst_object_unref(p); }
};
struct GstCapsUnref {
    void operator()(GstCaps *c) const { if (c) gst_caps_unref(c); }
};
using ElementPtr = std::unique_ptr<GstElement, GstObjectUnref>;
using PadPtr = std::unique_ptr<GstPad, GstObjectUnref>;
using CapsPtr = std::unique_ptr<GstCaps, GstCapsUnref>;

// gst_element_factory_make with a diagnostic when the factory is missing:
// "media: GStreamer element 'x' is not available (plugin not installed?)".
// Returns a floating element or null.
GstElement *MakeElement(const char *factory, const char *name = nullptr);
// Same as a status code: REGDB_E_CLASSNOTREG when missing.
HRESULT MakeElement(const char *factory, GstElement **out);

// The installed factory of that name (a new reference), null when missing;
// honours ScopedMissingElement like MakeElement, without a diagnostic.
GstElementFactory *FindFactory(const char *factory);

// Tests: while alive, MakeElement acts as if factory were not installed.
class ScopedMissingElement {
public:
    explicit ScopedMissingElement(const char *factory);
    ~ScopedMissingElement();
    ScopedMissingElement(const ScopedMissingElement &) = delete;
    ScopedMissingElement &operator=(const ScopedMissingElement &) = delete;
private:
    QString factory_;
};

// VIDEOINFOHEADER of a bottom-up RGB24 frame of that size.
VIDEOINFOHEADER MakeRgb24VideoInfo(LONG width, LONG height, REFERENCE_TIME avgTimePerFrame = 0);
// Media type (MEDIATYPE_Video, RGB24, FORMAT_VideoInfo) of that size.
AM_MEDIA_TYPE MakeRgb24MediaType(LONG width, LONG height, REFERENCE_TIME avgTimePerFrame = 0);

// Which major type caps carry (video/audio/GUID_NULL).
Guid MajorTypeOfCaps(const GstCaps *caps);

} // namespace media

namespace media {
// Width and height that the peer of pad can only produce or accept (fixed in
// its caps, e.g. a capped camera upstream); false when not fixed yet.
bool PeerFixedVideoSize(GstPad *pad, int *width, int *height);
} // namespace media

namespace media {
// Element and error messages of an element reach the filter that made it
// (the graph's bus handler dispatches them on the posting thread). The
// handler must stay valid until the element is stopped or the handler cleared.
using ElementMessageHandler = void (*)(GstMessage *message, gpointer data);
void SetElementMessageHandler(GstElement *element, ElementMessageHandler handler, gpointer data);
void ClearElementMessageHandler(GstElement *element);
void DispatchElementMessage(GstMessage *message);
} // namespace media
