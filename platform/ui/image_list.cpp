#include "platform/ui/image_list.h"

#include <QPainter>

namespace ui {

void ImageList::SetImageCount(int count)
{
    QImage empty(cellSize_, QImage::Format_ARGB32_Premultiplied);
    empty.fill(Qt::transparent);
    images_.resize(count < 0 ? 0 : static_cast<size_t>(count), empty);
}

bool ImageList::Replace(int index, const QImage &image)
{
    if (index < 0 || index >= ImageCount())
        return false;
    QImage cell(cellSize_, QImage::Format_ARGB32_Premultiplied);
    cell.fill(Qt::transparent);
    if (!image.isNull()) {
        const QImage scaled = image.size() == cellSize_
            ? image
            : image.scaled(cellSize_, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        QPainter painter(&cell);
        painter.drawImage((cellSize_.width() - scaled.width()) / 2,
                          (cellSize_.height() - scaled.height()) / 2, scaled);
    }
    images_[static_cast<size_t>(index)] = cell;
    return true;
}

QImage ImageList::Image(int index) const
{
    if (index < 0 || index >= ImageCount())
        return {};
    return images_[static_cast<size_t>(index)];
}

} // namespace ui
