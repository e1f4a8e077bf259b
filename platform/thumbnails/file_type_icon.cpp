#include "platform/thumbnails/file_type_icon.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>

namespace thumbnails {
namespace {

QColor AccentOf(MediaKind kind)
{
    switch (kind) {
    case MediaKind::Audio: return QColor(0x3a, 0xb0, 0x9e);
    case MediaKind::Video: return QColor(0x4a, 0x78, 0xd0);
    case MediaKind::Photo: return QColor(0xc0, 0x8a, 0x3a);
    case MediaKind::Other: break;
    }
    return QColor(0x80, 0x88, 0x94);
}

QPainterPath PageOutline(const QRectF &page, qreal fold)
{
    QPainterPath path;
    path.moveTo(page.topLeft());
    path.lineTo(page.right() - fold, page.top());
    path.lineTo(page.right(), page.top() + fold);
    path.lineTo(page.bottomRight());
    path.lineTo(page.bottomLeft());
    path.closeSubpath();
    return path;
}

void DrawGlyph(QPainter &p, MediaKind kind, const QRectF &area, const QColor &accent)
{
    p.setPen(Qt::NoPen);
    p.setBrush(accent);
    const qreal u = std::min(area.width(), area.height()) / 6.0;
    const QPointF c = area.center();
    if (kind == MediaKind::Video) {
        QPolygonF triangle{{c.x() - 1.5 * u, c.y() - 2 * u}, {c.x() + 2 * u, c.y()}, {c.x() - 1.5 * u, c.y() + 2 * u}};
        p.drawPolygon(triangle);
    } else if (kind == MediaKind::Audio) {
        p.drawEllipse(QPointF(c.x() - 1.2 * u, c.y() + 1.5 * u), 0.9 * u, 0.7 * u);
        p.drawEllipse(QPointF(c.x() + 1.4 * u, c.y() + 1.1 * u), 0.9 * u, 0.7 * u);
        p.setPen(QPen(accent, std::max<qreal>(1.0, u / 3)));
        p.drawLine(QPointF(c.x() - 0.35 * u, c.y() + 1.5 * u), QPointF(c.x() - 0.35 * u, c.y() - 2 * u));
        p.drawLine(QPointF(c.x() + 2.25 * u, c.y() + 1.1 * u), QPointF(c.x() + 2.25 * u, c.y() - 2.4 * u));
        p.drawLine(QPointF(c.x() - 0.35 * u, c.y() - 2 * u), QPointF(c.x() + 2.25 * u, c.y() - 2.4 * u));
    } else if (kind == MediaKind::Photo) {
        p.drawEllipse(QPointF(c.x() + 1.3 * u, c.y() - 1.2 * u), 0.7 * u, 0.7 * u);
        QPolygonF hills{{c.x() - 2.5 * u, c.y() + 2 * u}, {c.x() - 0.6 * u, c.y() - 0.8 * u},
                        {c.x() + 0.6 * u, c.y() + 0.8 * u}, {c.x() + 1.4 * u, c.y()}, {c.x() + 2.5 * u, c.y() + 2 * u}};
        p.drawPolygon(hills);
    }
}
} // namespace

QImage DrawFileTypeIcon(MediaKind kind, QSize size)
{
    QImage image(size.isEmpty() ? QSize(1, 1) : size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal h = image.height() * 0.92;
    const qreal w = std::min<qreal>(image.width() * 0.9, h * 0.78);
    const QRectF page((image.width() - w) / 2, (image.height() - h) / 2, w, h);
    const qreal fold = w / 4;
    const QColor accent = AccentOf(kind);
    p.setPen(QPen(QColor(0x9a, 0xa4, 0xb2), 1));
    p.setBrush(QColor(0xe8, 0xec, 0xf1));
    p.drawPath(PageOutline(page, fold));
    p.setBrush(QColor(0xc4, 0xcc, 0xd6));
    p.drawPolygon(QPolygonF{{page.right() - fold, page.top()}, {page.right() - fold, page.top() + fold},
                            {page.right(), page.top() + fold}});
    p.setPen(Qt::NoPen);
    p.setBrush(accent);
    p.drawRect(QRectF(page.left(), page.bottom() - h / 7, w, h / 7));
    DrawGlyph(p, kind, QRectF(page.left(), page.top() + fold, w, h - fold - h / 7), accent);
    return image;
}

} // namespace thumbnails
