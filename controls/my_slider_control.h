#pragma once
// The volume trackbar: a standard horizontal slider whose channel is painted
// over a copy of the parent's pixels behind it and whose thumb is a filled
// ellipse. Range, position, tracking and the slider signals are QSlider's;
// sliderReleased() is the "released capture" notification.
//
// Usage: auto *s = new CMySliderControl(dialog); s->setRange(0, 7);
#include <QImage>
#include <QSlider>

class QStyleOptionSlider;

class CMySliderControl : public QSlider {
    Q_OBJECT
public:
    explicit CMySliderControl(QWidget *parent = nullptr);
    ~CMySliderControl() override;

    // Thumb fills; an invalid colour (the default) means the system colour:
    // the palette's Button when idle, its Light while pressed. The control
    // starts with a palette that suits the dark skin; setPalette overrides.
    void SetThumbColour(const QColor &colour);
    void SetPressedThumbColour(const QColor &colour);
    // The fill the thumb gets in the given state.
    QColor ThumbFill(bool pressed) const;

    // The copy of the parent's pixels taken at the first channel paint; it is
    // never refreshed afterwards. Null before the first paint.
    const QImage &BackgroundCopy() const { return background; }
    // The channel rectangle the sunken edge is drawn around.
    QRect ChannelRect() const;
    QRect ThumbRect() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QImage ParentPixels() const;
    void DrawChannel(QPainter &painter);
    void DrawTicks(QPainter &painter, const QStyleOptionSlider &option) const;
    void DrawThumb(QPainter &painter) const;

    // The copy of the parent's pixels (memory context and its bitmap in one).
    QImage background;
    QColor thumbColour;
    QColor pressedThumbColour;
};
