#pragma once
// One decoded picture from near the start of a video file.
#include <QImage>
#include <QSize>
#include <QString>
#include <optional>

namespace thumbnails {

// A frame of path scaled to fit within box (aspect kept), taken about one
// second in (the very first frame of a camera recording is often dark) when
// the clip is long enough, else the first frame. std::nullopt when no frame
// can be decoded within a few seconds.
std::optional<QImage> ReadVideoFrame(const QString &path, QSize box);

} // namespace thumbnails
