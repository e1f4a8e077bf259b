#pragma once
// A horizontal slider driven the way a person drives it: clicks on its track
// beside the thumb, a drag of the thumb, keys and wheel turns, all as input
// events at the control's own pixels.
#include <QApplication>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>
#include <QWheelEvent>
#include <algorithm>
#include <cstdlib>

namespace sliderinput {

// Where the style draws the thumb now.
inline QRect ThumbRect(const QSlider *s)
{
    QStyleOptionSlider option;
    option.initFrom(s);
    option.orientation = s->orientation();
    option.minimum = s->minimum();
    option.maximum = s->maximum();
    option.tickPosition = s->tickPosition();
    option.tickInterval = s->tickInterval();
    option.upsideDown = s->invertedAppearance() != (option.direction == Qt::RightToLeft);
    option.sliderPosition = s->sliderPosition();
    option.sliderValue = s->value();
    option.singleStep = s->singleStep();
    option.pageStep = s->pageStep();
    if (s->orientation() == Qt::Horizontal)
        option.state |= QStyle::State_Horizontal;
    return s->style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, s);
}

// A point on the track a few pixels left (or right) of the thumb.
inline QPoint BesideThumb(const QSlider *s, bool right)
{
    const QRect thumb = ThumbRect(s);
    return QPoint(right ? thumb.right() + 4 : thumb.left() - 4, thumb.center().y());
}

inline void ClickTrack(QSlider *s, bool right)
{
    QTest::mouseClick(s, Qt::LeftButton, Qt::NoModifier, BesideThumb(s, right));
}

// Presses the thumb and moves the pointer toward value, in strides that
// shorten to single pixels as the thumb comes near (the motion events of a
// hand's drag), until the thumb reaches value or the end of the control;
// lets go there.
inline void DragThumbTo(QSlider *s, int value)
{
    const QPoint start = ThumbRect(s).center();
    QTest::mousePress(s, Qt::LeftButton, Qt::NoModifier, start);
    const int direction = value >= s->sliderPosition() ? 1 : -1;
    const double pixelsPerUnit = double(s->width()) / std::max(1, s->maximum() - s->minimum());
    QPoint at = start;
    while (at.x() > 0 && at.x() < s->width() - 1 && (s->sliderPosition() - value) * direction < 0) {
        const double left = std::abs(value - s->sliderPosition()) * pixelsPerUnit;
        at.rx() += direction * std::clamp(int(left / 2), 1, 8);
        QTest::mouseMove(s, at);
    }
    QTest::mouseRelease(s, Qt::LeftButton, Qt::NoModifier, at);
}

// notches > 0 turns the wheel away from the user (up), over the thumb.
inline void TurnWheel(QWidget *w, int notches, QPoint at)
{
    QWheelEvent event(QPointF(at), QPointF(w->mapToGlobal(at)), QPoint(), QPoint(0, 120 * notches), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(w, &event);
}

} // namespace sliderinput
