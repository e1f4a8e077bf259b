#pragma once
// Helpers for widget tests: solid images, mouse events and grabbing a widget
// into an image whose pixels can be compared.
#include <QApplication>
#include <QColor>
#include <QImage>
#include <QMouseEvent>
#include <QWidget>

namespace controls_test {

inline QImage Solid(int width, int height, const QColor &colour)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

inline QImage Grab(QWidget &widget)
{
    QApplication::processEvents();
    return widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

inline QColor At(const QImage &image, int x, int y)
{
    return image.pixelColor(x, y);
}

inline void SendMouse(QWidget &widget, QEvent::Type type, QPoint at)
{
    const Qt::MouseButtons buttons = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, QPointF(at), QPointF(widget.mapToGlobal(at)), Qt::LeftButton, buttons,
                      Qt::NoModifier);
    QApplication::sendEvent(&widget, &event);
}

// A plain parent that paints one colour everywhere (the window's skin).
class SolidParent : public QWidget {
public:
    explicit SolidParent(const QColor &colour) : colour(colour) { resize(200, 120); }
    void SetColour(const QColor &c)
    {
        colour = c;
        update();
    }

protected:
    void paintEvent(QPaintEvent *) override;

private:
    QColor colour;
};

} // namespace controls_test
