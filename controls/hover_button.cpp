#include "controls/hover_button.h"

#include <QPainter>

// The skin is embedded in a static library, whose resources register only
// when asked for.
static void RegisterSkin()
{
    static const bool registered = [] {
        Q_INIT_RESOURCE(skin);
        return true;
    }();
    (void)registered;
}

namespace {

QImage LoadSkinImage(int id)
{
    RegisterSkin();
    return QImage(QStringLiteral(":/skin/%1.png").arg(id));
}

} // namespace

CHoverButton::CHoverButton(QWidget *parent, const QString &caption)
    : QAbstractButton(parent)
{
    SetCaption(caption);
}

CHoverButton::~CHoverButton() = default;

bool CHoverButton::LoadBitmaps(int normal, int hoverId, int pressed)
{
    return LoadImages(LoadSkinImage(normal), LoadSkinImage(hoverId), LoadSkinImage(pressed));
}

bool CHoverButton::LoadImages(const QImage &normal, const QImage &hoverImage, const QImage &pressed)
{
    if (normal.isNull())
        return false;
    normalBitmap = normal;
    width = normal.width();
    height = normal.height();
    resize(width, height);
    hoverBitmap = hoverImage;
    pressedBitmap = pressed;
    update();
    return true;
}

void CHoverButton::SetDisabledImage(const QImage &image)
{
    disabledBitmap = image;
    update();
}

void CHoverButton::SetLatched(bool on)
{
    latched = on ? 1 : 0;
    repaint();
}

void CHoverButton::SetEnabledFlag(bool on)
{
    enabled = on ? 1 : 0;
    update();
}

void CHoverButton::SetCaption(const QString &caption)
{
    setText(caption);
    setAccessibleName(caption);
}

const QImage &CHoverButton::CurrentFace() const
{
    if (enabled == 0)
        return disabledBitmap;
    if (isDown() || latched != 0)
        return pressedBitmap;
    if (hover != 0)
        return hoverBitmap;
    return normalBitmap;
}

QSize CHoverButton::sizeHint() const
{
    return QSize(width, height);
}

void CHoverButton::paintEvent(QPaintEvent *)
{
    const QImage &face = CurrentFace();
    if (face.isNull())
        return;
    // Copied unscaled at the normal face's size, whatever this face's size.
    QPainter painter(this);
    painter.drawImage(QPoint(0, 0), face, QRect(0, 0, width, height));
}

void CHoverButton::enterEvent(QEnterEvent *event)
{
    hover = 1;
    tracking = 1;
    update();
    QAbstractButton::enterEvent(event);
}

void CHoverButton::leaveEvent(QEvent *event)
{
    tracking = 0;
    hover = 0;
    update();
    QAbstractButton::leaveEvent(event);
}
