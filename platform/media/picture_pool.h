#pragma once
// Reused 32-bit pictures for a view's frames, made on its streaming thread:
// a picture is written again once the window let go of every copy, so a
// frame needs no fresh allocation (and no fresh pages) of its own.
#include <QImage>
#include <array>
#include <cstddef>

namespace media {

class PicturePool {
public:
    // A picture of this size and format that nobody else holds, to write
    // into through bits(); when every one is still held, a fresh one takes
    // the place of the oldest (its holders keep their copy).
    QImage *Free(QSize size, QImage::Format format = QImage::Format_RGB32);

private:
    std::array<QImage, 3> pictures_; // the window holds at most one or two
    std::size_t next_ = 0;
};

} // namespace media
