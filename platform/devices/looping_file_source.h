#pragma once
// A live source that plays a media file over and over, as if a camera or a
// microphone were pointed at it. The file is decoded by a private pipeline
// paced by its own clock and handed over through an appsrc that stamps each
// buffer with the outer graph's running time, so the loop's restarts never
// show up downstream as seeks, flushes or jumps back in time.
#include "platform/devices/device_config.h"

#include <gst/gst.h>

#include <QString>

namespace devices {

// A new source element (floating reference) delivering raw video (Video) or
// raw audio (Audio) from path, or null with *error set (missing file, missing
// plugin). Still images are repeated at 30 frames per second.
GstElement *CreateLoopingFileSource(const QString &path, DeviceKind kind, QString *error);

} // namespace devices
