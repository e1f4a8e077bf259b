#pragma once
// A small picture of an audio file's loudness over time.
#include <QImage>
#include <QSize>
#include <QString>
#include <optional>

namespace thumbnails {

// Decodes path (mixed down to mono) and draws its peak
// envelope as bars on a dark card of the given size. Decoding stops after
// kMaxSeconds of audio or a few seconds of wall time, so a long meeting is
// drawn from its first part only. std::nullopt when no audio can be decoded.
std::optional<QImage> DrawAudioWaveform(const QString &path, QSize size);

inline constexpr int kMaxWaveformSeconds = 20 * 60;

} // namespace thumbnails
