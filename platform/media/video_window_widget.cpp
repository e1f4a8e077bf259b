#include "platform/media/video_window_widget.h"

#include <QPainter>

namespace media {

VideoWindowWidget::VideoWindowWidget(FrameSource frameSource, std::function<void()> painted, QWidget *parent)
    : QWidget(parent), frameSource_(std::move(frameSource)), painted_(std::move(painted))
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
}

void VideoWindowWidget::paintEvent(QPaintEvent *)
{
    QImage frame;
    QRect source;
    frameSource_(size(), &frame, &source);
    QPainter painter(this);
    if (frame.isNull() || source.isEmpty()) {
        painter.fillRect(rect(), Qt::black);
    } else if (frame.format() == QImage::Format_RGB32 || frame.format() == QImage::Format_ARGB32_Premultiplied) {
        painter.drawImage(rect(), frame, source);
    } else {
        // Only 32-bit pictures have the raster engine's direct scaling; any
        // other is scaled span by span on its thread pool, which costs far
        // more than this one conversion of the part shown.
        const QImage shown = frame.copy(source).convertToFormat(QImage::Format_RGB32);
        painter.drawImage(rect(), shown, shown.rect());
    }
    painted_();
}

} // namespace media
