#pragma once
// The video window: a plain child widget of the owner that paints the source
// rectangle of the newest frame into its whole client area.
#include <QImage>
#include <QRect>
#include <QWidget>
#include <functional>

namespace media {

class VideoWindowWidget final : public QWidget {
public:
    // frameSource gives, for the window's size, the newest frame and the part
    // of it to show (all of a picture already made at that size); painted()
    // is told after each paint.
    using FrameSource = std::function<void(QSize size, QImage *frame, QRect *source)>;
    VideoWindowWidget(FrameSource frameSource, std::function<void()> painted, QWidget *parent);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    FrameSource frameSource_;
    std::function<void()> painted_;
};

} // namespace media
