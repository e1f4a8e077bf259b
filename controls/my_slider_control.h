#pragma once
// The volume trackbar: a standard horizontal slider whose channel is painted
// over a copy of the parent's pixels behind it and whose thumb is a filled
// ellipse. Range, position, tracking and the slider signals are QSlider's.
// Its page is a fifth of the range (at least 1), so a click on the track
// moves the thumb by a fifth toward the click.
//
// A person's change ends with one notification: ReleasedCapture() after every
// mouse press the control captured (a drag of the thumb and a click on the
// track alike), EndTrack() after a key or a wheel turn that moved it.
// Changes made by the program (setValue) send neither.
//
// Usage: auto *s = new CMySliderControl(dialog); s->setRange(0, 7);
//        connect(s, &CMySliderControl::ReleasedCapture, ...);
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

Q_SIGNALS:
    void ReleasedCapture();
    void EndTrack();

protected:
    void paintEvent(QPaintEvent *event) override;
    void sliderChange(SliderChange change) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;

private:
    QImage ParentPixels() const;
    void DrawChannel(QPainter &painter);
    void DrawTicks(QPainter &painter, const QStyleOptionSlider &option) const;
    void DrawThumb(QPainter &painter) const;

    // The copy of the parent's pixels (memory context and its bitmap in one).
    QImage background;
    QColor thumbColour;
    QColor pressedThumbColour;
    // A mouse press went to the control and its release is still to come.
    bool captured = false;
};
