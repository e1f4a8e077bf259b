#include "imaging/picture.h"

bool CPicture::LoadFromFile(const QString &) { return false; }
bool CPicture::LoadFromMemory(std::int32_t, const void *) { return false; }
bool CPicture::Draw(QPaintDevice *, const QRect &) { return false; }

bool CPicture::MeasureForDevice(const QWidget *)
{
    // No picture is loaded yet, so there is nothing to measure.
    size_ = QSize(0, 0);
    return false;
}
