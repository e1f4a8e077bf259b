#pragma once
// A capture filter around any GStreamer source: how devices (a V4L2 camera, a
// PulseAudio source, the virtual test devices, a looping file) become filters
// of the graph. platform/devices builds the source element and wraps it here.
//
//   GstElement *src = gst_element_factory_make("videotestsrc", nullptr);
//   g_object_set(src, "is-live", TRUE, nullptr);
//   media::SourceOptions options;
//   options.kind = media::SourceKind::Video;
//   options.currentFormat = "video/x-raw,width=640,height=480,framerate=30/1";
//   auto camera = media::MakeSourceFilter(src, options);   // one pin "Capture"
//
// Video: the output pin "Capture" has category PIN_CATEGORY_CAPTURE, major
// type MEDIATYPE_Video and implements IAMStreamConfig (reach it with
// ICaptureGraphBuilder2::FindInterface). Its current format is
// options.currentFormat, else what the element offers fixated near 640x480 at
// 30 fps; SetFormat caps the frames to another size (scaling when the device
// cannot). Audio: one pin "Capture" (MEDIATYPE_Audio, capture category).
//
// Sources should be live (is-live / do-timestamp), as devices are, so that a
// file written from them gets proper timestamps; MakeSourceFilter sets
// "do-timestamp" on elements that have it and are live.
#include "platform/media/filter.h"

#include <QString>
#include <functional>
#include <gst/gst.h>
#include <memory>
#include <vector>

namespace media {

enum class SourceKind { Video, Audio };

struct SourceOptions {
    SourceKind kind = SourceKind::Video;
    QString pinName = QStringLiteral("Capture");
    // Caps text of the device's current format (video: width/height/framerate).
    QString currentFormat;
    // Extra pins listed after the output pin, e.g. the microphone's input
    // lines as Pin subclasses implementing an input-mixer interface. They are
    // created with owner null; MakeSourceFilter attaches them.
    std::vector<std::shared_ptr<Pin>> extraPins;
    // Asked before each connection of the output pin; true refuses it with
    // VFW_E_CANNOT_CONNECT (a device that is not ready yet; tests inject it).
    std::function<bool()> refuseConnection;
};

// source is an element or a bin with one always pad named "src" (give a bin a
// ghost pad "src"). The filter owns source (its floating reference is sunk). Null, with a
// diagnostic, when source is null.
std::shared_ptr<Filter> MakeSourceFilter(GstElement *source, const SourceOptions &options);

// The source element inside a filter made by MakeSourceFilter (borrowed;
// null for other filters). For property dialogs of virtual devices.
GstElement *SourceElementOf(const std::shared_ptr<Filter> &filter);

} // namespace media
