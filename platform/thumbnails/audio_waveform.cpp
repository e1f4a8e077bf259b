#include "platform/thumbnails/audio_waveform.h"

#include "platform/thumbnails/media_decoder.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cstdlib>
#include <gst/app/gstappsink.h>
#include <mutex>
#include <vector>

namespace thumbnails {
namespace {
using namespace std::chrono_literals;
constexpr int kBlocksPerSecond = 20; // one peak per 50 ms
constexpr auto kPrerollTimeout = 5000ms;
constexpr auto kDecodeBudget = 4000ms;

// Samples per peak block at the stream's own rate (no resampling: the
// envelope needs none).
int BlockOf(GstSample *sample)
{
    GstCaps *caps = gst_sample_get_caps(sample);
    int rate = 0;
    if (caps && gst_caps_get_size(caps) > 0)
        gst_structure_get_int(gst_caps_get_structure(caps, 0), "rate", &rate);
    return std::max(1, rate / kBlocksPerSecond);
}

// The envelope, filled on the streaming thread as buffers arrive (handing
// each buffer to the caller's thread would cost a wake-up per buffer).
struct Envelope {
    std::mutex mutex;
    std::vector<int> peaks;
    int filled = 0;
    size_t maxBlocks = static_cast<size_t>(kMaxWaveformSeconds) * kBlocksPerSecond;

    // Adds the per-block peaks of one buffer of mono S16 samples; false once full.
    bool Add(GstSample *sample)
    {
        const int block = BlockOf(sample);
        GstBuffer *buffer = gst_sample_get_buffer(sample);
        GstMapInfo map;
        if (!buffer || !gst_buffer_map(buffer, &map, GST_MAP_READ))
            return true;
        const auto *samples = reinterpret_cast<const gint16 *>(map.data);
        const size_t count = map.size / sizeof(gint16);
        std::lock_guard lock(mutex);
        for (size_t i = 0; i < count; ++i) {
            if (filled == 0)
                peaks.push_back(0);
            peaks.back() = std::max(peaks.back(), std::abs(static_cast<int>(samples[i])));
            filled = (filled + 1) % block;
        }
        gst_buffer_unmap(buffer, &map);
        return peaks.size() < maxBlocks;
    }
};

GstFlowReturn OnNewSample(GstAppSink *sink, gpointer data)
{
    GstHandle<GstSample> sample(gst_app_sink_pull_sample(sink));
    if (!sample)
        return GST_FLOW_EOS;
    // Enough for the picture: ending the stream stops the decoding.
    return static_cast<Envelope *>(data)->Add(sample.get()) ? GST_FLOW_OK : GST_FLOW_EOS;
}

std::optional<std::vector<int>> DecodePeaks(const QString &path)
{
    Envelope envelope;
    {
        MediaDecoder decoder(path, MediaDecoder::Stream::Audio, "audio/x-raw,format=S16LE,layout=interleaved,channels=1");
        if (!decoder.IsValid())
            return std::nullopt;
        GstAppSinkCallbacks callbacks{};
        callbacks.new_sample = &OnNewSample;
        {
            // Handed to the streaming thread under its lock, so the hand-over
            // is one a thread checker sees too.
            std::lock_guard lock(envelope.mutex);
            gst_app_sink_set_callbacks(decoder.Sink(), &callbacks, &envelope, nullptr);
        }
        if (!decoder.Preroll(kPrerollTimeout) || !decoder.Play())
            return std::nullopt;
        // A time-out keeps what was decoded so far.
        decoder.WaitForEnd(kDecodeBudget);
    } // the pipeline is stopped here: no callback runs any more
    std::lock_guard lock(envelope.mutex);
    if (envelope.peaks.empty())
        return std::nullopt;
    return std::move(envelope.peaks);
}

void DrawCard(QPainter &p, QSize size)
{
    QLinearGradient fill(0, 0, 0, size.height());
    fill.setColorAt(0, QColor(0x2b, 0x33, 0x40));
    fill.setColorAt(1, QColor(0x1a, 0x1f, 0x28));
    p.setPen(QPen(QColor(0x3d, 0x4a, 0x5c), 1));
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(0.5, 0.5, size.width() - 1, size.height() - 1), 5, 5);
}

void DrawBars(QPainter &p, QSize size, const std::vector<int> &peaks)
{
    const int margin = std::max(3, size.width() / 12);
    const int barPitch = std::max(2, size.width() / 24);
    const int bars = std::max(1, (size.width() - 2 * margin) / barPitch);
    const int loudest = std::max(1, *std::max_element(peaks.begin(), peaks.end()));
    const double mid = size.height() / 2.0;
    const double reach = size.height() / 2.0 - margin;
    QLinearGradient tone(0, mid - reach, 0, mid + reach);
    tone.setColorAt(0, QColor(0x5e, 0xe0, 0xc8));
    tone.setColorAt(0.5, QColor(0x2f, 0xa8, 0xe0));
    tone.setColorAt(1, QColor(0x5e, 0xe0, 0xc8));
    p.setPen(Qt::NoPen);
    p.setBrush(tone);
    for (int b = 0; b < bars; ++b) {
        const size_t from = peaks.size() * static_cast<size_t>(b) / static_cast<size_t>(bars);
        const size_t to = std::max(from + 1, peaks.size() * static_cast<size_t>(b + 1) / static_cast<size_t>(bars));
        const int peak = *std::max_element(peaks.begin() + static_cast<long>(from),
                                           peaks.begin() + static_cast<long>(std::min(to, peaks.size())));
        const double h = std::max(1.0, reach * peak / loudest);
        p.drawRoundedRect(QRectF(margin + b * barPitch, mid - h, barPitch - 1, 2 * h), 0.8, 0.8);
    }
}
} // namespace

std::optional<QImage> DrawAudioWaveform(const QString &path, QSize size)
{
    const std::optional<std::vector<int>> peaks = DecodePeaks(path);
    if (!peaks || size.isEmpty())
        return std::nullopt;
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    DrawCard(painter, size);
    DrawBars(painter, size, *peaks);
    return image;
}

} // namespace thumbnails
