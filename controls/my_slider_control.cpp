#include "controls/my_slider_control.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionSlider>
#include <algorithm>

namespace {

// A two-pixel sunken edge: outer ring shadow/highlight, inner ring dark
// shadow/light, like a classic 3-D channel.
void DrawSunkenEdge(QPainter &painter, QRect r, const QPalette &palette)
{
    const struct {
        QPalette::ColorRole topLeft;
        QPalette::ColorRole bottomRight;
    } rings[] = {{QPalette::Dark, QPalette::Light}, {QPalette::Shadow, QPalette::Midlight}};
    for (const auto &ring : rings) {
        if (r.width() < 1 || r.height() < 1)
            return;
        painter.setPen(QPen(palette.color(ring.bottomRight), 0));
        painter.drawLine(r.bottomLeft(), r.bottomRight());
        painter.drawLine(r.topRight(), r.bottomRight());
        painter.setPen(QPen(palette.color(ring.topLeft), 0));
        painter.drawLine(r.topLeft(), r.topRight());
        painter.drawLine(r.topLeft(), QPoint(r.left(), r.bottom() - 1));
        r.adjust(1, 1, -1, -1);
    }
}

} // namespace

CMySliderControl::CMySliderControl(QWidget *parent)
    : QSlider(Qt::Horizontal, parent)
{
    setTickPosition(QSlider::NoTicks);
    // The control's system colours, chosen to sit on the dark skin: a bright
    // knob that lights up in the accent while dragged, and a channel edge
    // that reads as a recess.
    QPalette colours = palette();
    colours.setColor(QPalette::Button, QColor(0xe8, 0xed, 0xf4));
    colours.setColor(QPalette::Light, QColor(0x7f, 0xb0, 0xff));
    colours.setColor(QPalette::Dark, QColor(0x07, 0x09, 0x0c));
    colours.setColor(QPalette::Shadow, QColor(0x00, 0x00, 0x00));
    colours.setColor(QPalette::Midlight, QColor(0x2f, 0x37, 0x45));
    setPalette(colours);
}

CMySliderControl::~CMySliderControl() = default;

void CMySliderControl::sliderChange(SliderChange change)
{
    QSlider::sliderChange(change);
    if (change == SliderRangeChange)
        setPageStep(std::max(1, (maximum() - minimum()) / 5));
}

void CMySliderControl::mousePressEvent(QMouseEvent *event)
{
    QSlider::mousePressEvent(event);
    if (event->isAccepted())
        captured = true;
}

void CMySliderControl::mouseReleaseEvent(QMouseEvent *event)
{
    QSlider::mouseReleaseEvent(event);
    // Only when the last button is up: the capture ends with it.
    if (captured && event->buttons() == Qt::NoButton) {
        captured = false;
        Q_EMIT ReleasedCapture();
    }
}

void CMySliderControl::keyPressEvent(QKeyEvent *event)
{
    // The slider ignores the keys it does not move by; every other one is a
    // person's change, also at either end of the range.
    QSlider::keyPressEvent(event);
    if (event->isAccepted())
        Q_EMIT EndTrack();
}

void CMySliderControl::wheelEvent(QWheelEvent *event)
{
    const int before = value();
    QSlider::wheelEvent(event);
    if (value() != before)
        Q_EMIT EndTrack();
}

void CMySliderControl::SetThumbColour(const QColor &colour)
{
    thumbColour = colour;
    update();
}

void CMySliderControl::SetPressedThumbColour(const QColor &colour)
{
    pressedThumbColour = colour;
    update();
}

QColor CMySliderControl::ThumbFill(bool pressed) const
{
    const QColor &own = pressed ? pressedThumbColour : thumbColour;
    if (own.isValid())
        return own;
    return palette().color(pressed ? QPalette::Light : QPalette::Button);
}

QRect CMySliderControl::ChannelRect() const
{
    QStyleOptionSlider option;
    initStyleOption(&option);
    QRect channel = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, this);
    if (channel.height() > channel.width())
        channel.adjust(-1, 0, 1, 0);
    else
        channel.adjust(0, -2, 0, 2);
    return channel;
}

QRect CMySliderControl::ThumbRect() const
{
    QStyleOptionSlider option;
    initStyleOption(&option);
    return style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
}

void CMySliderControl::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    QStyleOptionSlider option;
    initStyleOption(&option);
    DrawChannel(painter);
    DrawTicks(painter, option);
    DrawThumb(painter);
}

QImage CMySliderControl::ParentPixels() const
{
    const qreal ratio = devicePixelRatioF();
    QImage pixels(size() * ratio, QImage::Format_RGB32);
    pixels.setDevicePixelRatio(ratio);
    QWidget *parent = parentWidget();
    pixels.fill(parent ? parent->palette().color(QPalette::Window) : palette().color(QPalette::Window));
    // The parent alone, without its children: what lies behind this control.
    if (parent)
        parent->render(&pixels, QPoint(), QRegion(geometry()), QWidget::DrawWindowBackground);
    return pixels;
}

void CMySliderControl::DrawChannel(QPainter &painter)
{
    // What the parent shows behind the control now, and the first such view,
    // kept for good.
    const QImage current = ParentPixels();
    if (background.isNull())
        background = current;

    // Background copy over the control, then the current pixels ANDed in.
    QImage combined = background;
    {
        QPainter combine(&combined);
        combine.setCompositionMode(QPainter::RasterOp_SourceAndDestination);
        combine.drawImage(QPoint(0, 0), current);
    }
    painter.drawImage(QPoint(0, 0), combined);

    DrawSunkenEdge(painter, ChannelRect(), palette());
}

void CMySliderControl::DrawTicks(QPainter &painter, const QStyleOptionSlider &option) const
{
    if (tickPosition() == QSlider::NoTicks)
        return;
    QStyleOptionSlider ticks = option;
    ticks.subControls = QStyle::SC_SliderTickmarks;
    style()->drawComplexControl(QStyle::CC_Slider, &ticks, &painter, this);
}

void CMySliderControl::DrawThumb(QPainter &painter) const
{
    const QRect thumb = ThumbRect();
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(ThumbFill(isSliderDown()));
    painter.setPen(QPen(QColor(0, 0, 0), 1));
    painter.drawEllipse(QRectF(thumb).adjusted(0.5, 0.5, -0.5, -0.5));
    painter.restore();
}
