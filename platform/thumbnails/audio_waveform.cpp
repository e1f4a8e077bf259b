#include "platform/thumbnails/audio_waveform.h"

#include "platform/thumbnails/playbin_decoder.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cstdlib>
#include <gst/app/gstappsink.h>
#include <vector>

namespace thumbnails {
namespace {
using namespace std::chrono_literals;
constexpr int kRate = 8000;
constexpr int kBlock = kRate / 20; // one peak per 50 ms
constexpr auto kPrerollTimeout = 5000ms;
constexpr auto kDecodeBudget = 4000ms;

// Adds the per-block peaks of one buffer of mono S16 samples.
void AddPeaks(GstSample *sample, std::vector<int> &peaks, int &filled)
{
    GstBuffer *buffer = gst_sample_get_buffer(sample);
    GstMapInfo map;
    if (!buffer || !gst_buffer_map(buffer, &map, GST_MAP_READ))
        return;
    const auto *samples = reinterpret_cast<const gint16 *>(map.data);
    const size_t count = map.size / sizeof(gint16);
    for (size_t i = 0; i < count; ++i) {
        if (filled == 0)
            peaks.push_back(0);
        peaks.back() = std::max(peaks.back(), std::abs(static_cast<int>(samples[i])));
        filled = (filled + 1) % kBlock;
    }
    gst_buffer_unmap(buffer, &map);
}

std::optional<std::vector<int>> DecodePeaks(const QString &path)
{
    PlaybinDecoder decoder(path, PlaybinDecoder::Stream::Audio,
                           "audio/x-raw,format=S16LE,layout=interleaved,channels=1,rate=8000");
    if (!decoder.Preroll(kPrerollTimeout) || !decoder.Play())
        return std::nullopt;
    std::vector<int> peaks;
    int filled = 0;
    const size_t maxBlocks = static_cast<size_t>(kMaxWaveformSeconds) * kRate / kBlock;
    const auto deadline = std::chrono::steady_clock::now() + kDecodeBudget;
    while (peaks.size() < maxBlocks && std::chrono::steady_clock::now() < deadline) {
        GstHandle<GstSample> sample(gst_app_sink_try_pull_sample(decoder.Sink(), 100 * GST_MSECOND));
        if (sample) {
            AddPeaks(sample.get(), peaks, filled);
            continue;
        }
        if (gst_app_sink_is_eos(decoder.Sink()) || decoder.HasFailed())
            break;
    }
    if (peaks.empty())
        return std::nullopt;
    return peaks;
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
