#pragma once
// What a capture file holds, judged by the last three letters of its name
// (the same rule the media library lists files by).
#include <QString>

namespace thumbnails {

enum class MediaKind { Audio, Video, Photo, Other };

// "wma" -> Audio, "wmv" -> Video, "jpg" -> Photo (ignoring case), else Other.
MediaKind KindOfName(const QString &fileName);

} // namespace thumbnails
