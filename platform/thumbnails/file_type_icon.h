#pragma once
// The drawn stand-in for a file whose content gives no picture: a page with a
// folded corner and a glyph for its kind (note, play triangle, landscape).
#include "platform/thumbnails/media_kind.h"

#include <QImage>
#include <QSize>

namespace thumbnails {

QImage DrawFileTypeIcon(MediaKind kind, QSize size);

} // namespace thumbnails
