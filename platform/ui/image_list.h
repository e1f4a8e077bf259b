#pragma once
// The thumbnail image list: fixed cell size, images addressed by index.
#include <QImage>
#include <QSize>
#include <vector>

namespace ui {

class ImageList {
public:
    ImageList(int cellWidth, int cellHeight) : cellSize_(cellWidth, cellHeight) {}

    QSize CellSize() const { return cellSize_; }
    int ImageCount() const { return static_cast<int>(images_.size()); }
    // Grows or shrinks to count images; new ones are empty (transparent) cells.
    void SetImageCount(int count);
    void RemoveAll() { images_.clear(); }
    // Puts image at index, scaled to fit the cell and centred. False when out of range.
    bool Replace(int index, const QImage &image);
    QImage Image(int index) const;

private:
    QSize cellSize_;
    std::vector<QImage> images_;
};

} // namespace ui
