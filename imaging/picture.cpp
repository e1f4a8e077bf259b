#include "imaging/picture.h"

void CPicture::MeasureForDevice(const QWidget *)
{
    // No picture is loaded yet, so there is nothing to measure.
    size_ = QSize(0, 0);
}
