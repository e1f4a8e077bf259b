#include "platform/media/picture_pool.h"

namespace media {

QImage *PicturePool::Free(QSize size, QImage::Format format)
{
    for (QImage &picture : pictures_)
        if (!picture.isNull() && picture.isDetached() && picture.size() == size && picture.format() == format)
            return &picture;
    QImage *slot = &pictures_[next_];
    for (QImage &picture : pictures_)
        if (picture.isNull() || picture.isDetached())
            slot = &picture;
    if (slot == &pictures_[next_])
        next_ = (next_ + 1) % pictures_.size();
    *slot = QImage(size, format);
    return slot;
}

} // namespace media
