#pragma once
// Owning handles for the few GStreamer objects the thumbnailer holds, so every
// early return releases them.
#include <gst/gst.h>
#include <memory>

namespace thumbnails {

struct GstUnref {
    void operator()(GstElement *p) const { gst_object_unref(p); }
    void operator()(GstBus *p) const { gst_object_unref(p); }
    void operator()(GstMessage *p) const { gst_message_unref(p); }
    void operator()(GstSample *p) const { gst_sample_unref(p); }
    void operator()(GstCaps *p) const { gst_caps_unref(p); }
};

template <class T>
using GstHandle = std::unique_ptr<T, GstUnref>;

} // namespace thumbnails
