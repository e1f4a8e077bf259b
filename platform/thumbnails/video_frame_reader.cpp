#include "platform/thumbnails/video_frame_reader.h"

#include "platform/thumbnails/media_decoder.h"

#include <gst/app/gstappsink.h>
#include <gst/video/video.h>

namespace thumbnails {
namespace {
using namespace std::chrono_literals;
constexpr auto kPrerollTimeout = 5000ms;
constexpr auto kSeekTimeout = 3000ms;
constexpr auto kFramePosition = std::chrono::nanoseconds(1s);

std::optional<QImage> ImageOfSample(GstSample *sample)
{
    GstCaps *caps = gst_sample_get_caps(sample);
    GstBuffer *buffer = gst_sample_get_buffer(sample);
    GstVideoInfo info;
    if (!caps || !buffer || !gst_video_info_from_caps(&info, caps))
        return std::nullopt;
    GstVideoFrame frame;
    if (!gst_video_frame_map(&frame, &info, buffer, GST_MAP_READ))
        return std::nullopt;
    const QImage view(static_cast<const uchar *>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 0)),
                      GST_VIDEO_FRAME_WIDTH(&frame), GST_VIDEO_FRAME_HEIGHT(&frame),
                      GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 0), QImage::Format_RGB32);
    QImage copy = view.copy();
    gst_video_frame_unmap(&frame);
    if (copy.isNull())
        return std::nullopt;
    return copy;
}
} // namespace

std::optional<QImage> ReadVideoFrame(const QString &path, QSize box)
{
    // BGRx in memory is what QImage calls RGB32 on little-endian machines.
    MediaDecoder decoder(path, MediaDecoder::Stream::Video,
                         G_BYTE_ORDER == G_LITTLE_ENDIAN ? "video/x-raw,format=BGRx" : "video/x-raw,format=xRGB");
    if (!decoder.Preroll(kPrerollTimeout))
        return std::nullopt;
    GstHandle<GstSample> sample(gst_app_sink_try_pull_preroll(decoder.Sink(), 0));
    if (!sample)
        return std::nullopt;
    // Keep the first frame unless the later one really arrives.
    const auto duration = decoder.Duration();
    if (duration && *duration > 3 * kFramePosition && decoder.SeekAndPreroll(kFramePosition, kSeekTimeout)) {
        if (GstSample *later = gst_app_sink_try_pull_preroll(decoder.Sink(), 0))
            sample.reset(later);
    }
    std::optional<QImage> image = ImageOfSample(sample.get());
    if (!image)
        return std::nullopt;
    return image->scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

} // namespace thumbnails
