#include "tests/controls/widget_pixels.h"

#include <QPainter>

namespace controls_test {

void SolidParent::paintEvent(QPaintEvent *)
{
    QPainter(this).fillRect(rect(), colour);
}

} // namespace controls_test
