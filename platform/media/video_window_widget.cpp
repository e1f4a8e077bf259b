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
    frameSource_(&frame, &source);
    QPainter painter(this);
    if (frame.isNull() || source.isEmpty())
        painter.fillRect(rect(), Qt::black);
    else
        painter.drawImage(rect(), frame, source);
    painted_();
}

} // namespace media
