#include "platform/ui/image_list.h"

#include <cstring>

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
        const QImage fitted = image.width() <= cellSize_.width() && image.height() <= cellSize_.height()
                && (image.width() == cellSize_.width() || image.height() == cellSize_.height())
            ? image
            : image.scaled(cellSize_, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        const QImage source = fitted.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        // Centred by copying rows: a refresh places hundreds of these.
        const int left = (cellSize_.width() - source.width()) / 2;
        const int top = (cellSize_.height() - source.height()) / 2;
        const size_t rowBytes = static_cast<size_t>(source.width()) * 4;
        for (int y = 0; y < source.height(); ++y)
            std::memcpy(cell.scanLine(top + y) + left * 4, source.constScanLine(y), rowBytes);
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
