#include "controls/label.h"

#include "platform/shell/shell.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

CLabel::CLabel(QWidget *parent, const QString &text)
    : QLabel(text, parent)
{
    textColour = palette().color(QPalette::WindowText);
    defaultBrush = palette().color(QPalette::Button);
    // The label's own font starts as the window's font.
    fontDescription.font = font();
    RebuildFont();
    setFrameShape(QFrame::NoFrame);
    SetStaticStyle(SS_LEFT);
    blinkTimer.setInterval(kBlinkPeriodMs);
    connect(&blinkTimer, &QTimer::timeout, this, &CLabel::OnTimer);
}

CLabel::~CLabel() = default;

QColor CLabel::FromColorRef(quint32 colorRef)
{
    return QColor(int(colorRef & 0xFF), int((colorRef >> 8) & 0xFF), int((colorRef >> 16) & 0xFF));
}

CLabel &CLabel::SetBackground(const QColor &colour, const QColor &gradientEnd, bool gradientOn)
{
    backgroundColour = colour;
    gradientEndColour = gradientEnd;
    gradient = gradientOn ? 1 : 0;
    ownBrush.reset();
    if (!gradientOn)
        ownBrush = colour;
    Refresh();
    return *this;
}

CLabel &CLabel::SetTextColour(const QColor &colour)
{
    textColour = colour;
    Refresh();
    return *this;
}

CLabel &CLabel::SetLabelText(const QString &text)
{
    setText(text);
    Refresh();
    return *this;
}

CLabel &CLabel::SetBold(bool bold)
{
    fontDescription.font.setWeight(bold ? QFont::Bold : QFont::Normal);
    RebuildFont();
    Refresh();
    return *this;
}

CLabel &CLabel::SetFaceName(const QString &face, int charSet)
{
    fontDescription.charSet = charSet;
    // The face field holds 31 characters and a terminator; longer names are
    // cut there rather than overrunning it.
    fontDescription.font.setFamilies({face.left(31)});
    RebuildFont();
    Refresh();
    return *this;
}

CLabel &CLabel::SetUnderline(bool underline)
{
    fontDescription.font.setUnderline(underline);
    RebuildFont();
    Refresh();
    return *this;
}

CLabel &CLabel::SetItalic(bool italic)
{
    fontDescription.font.setItalic(italic);
    RebuildFont();
    Refresh();
    return *this;
}

CLabel &CLabel::SetPointSize(int points)
{
    // A size of zero or less keeps the current size, as a point font of
    // nothing would.
    if (points > 0)
        fontDescription.font.setPointSize(points);
    RebuildFont();
    Refresh();
    return *this;
}

CLabel &CLabel::SetSunkenEdge(bool on)
{
    sunkenEdge = on;
    UpdateFrameMargins();
    return *this;
}

CLabel &CLabel::SetBorder(bool on)
{
    border = on;
    UpdateFrameMargins();
    return *this;
}

CLabel &CLabel::SetTransparent(bool on)
{
    transparent = on ? 1 : 0;
    Refresh();
    return *this;
}

CLabel &CLabel::SetTextFlash(bool on)
{
    if (timerOn)
        blinkTimer.stop();
    if (on)
        StartBlinking(FlashText);
    else
        flashKind = FlashNone;
    return *this;
}

CLabel &CLabel::SetBackgroundFlash(bool on)
{
    if (timerOn)
        blinkTimer.stop();
    if (on)
        StartBlinking(FlashBackground);
    return *this;
}

CLabel &CLabel::SetLinkMode(bool linkOn, bool notify)
{
    link = linkOn ? 1 : 0;
    linkNotifies = notify ? 1 : 0;
    SetStaticStyle(linkOn ? (style | SS_NOTIFY) : (style & ~SS_NOTIFY));
    return *this;
}

CLabel &CLabel::SetLinkCursor(const std::optional<QCursor> &cursor)
{
    linkCursor = cursor;
    if (linkCursor)
        setCursor(*linkCursor);
    else
        unsetCursor();
    return *this;
}

CLabel &CLabel::SetRaisedText(bool on, int direction)
{
    raisedText = on ? 1 : 0;
    raisedDirection = direction;
    Refresh();
    return *this;
}

CLabel &CLabel::SetRotation(int degrees, bool on)
{
    fontDescription.escapement = degrees * 10;
    fontDescription.orientation = degrees * 10;
    rotated = on ? 1 : 0;
    RebuildFont();
    Refresh();
    return *this;
}

CLabel &CLabel::SetRaisedColour(const QColor &colour)
{
    raisedColour = colour;
    Refresh();
    return *this;
}

void CLabel::SetStaticStyle(int newStyle)
{
    style = newStyle;
    // A static without SS_NOTIFY lets clicks through to the window beneath.
    setAttribute(Qt::WA_TransparentForMouseEvents, (style & SS_NOTIFY) == 0);
    update();
}

int CLabel::TextFormat() const
{
    int format = DT_WORDBREAK;
    switch (style & SS_TYPEMASK) {
    case SS_CENTER:
        format = DT_CENTER | DT_WORDBREAK;
        break;
    case SS_RIGHT:
        format = DT_RIGHT | DT_WORDBREAK;
        break;
    case SS_LEFTNOWORDWRAP:
        format = DT_LEFT;
        break;
    default:
        break;
    }
    if (style & SS_CENTERIMAGE) {
        format = text().contains(QLatin1String("\r\n")) ? DT_CENTER
                                                        : (DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    }
    return format;
}

int CLabel::QtTextFlags(int format)
{
    int flags = Qt::TextShowMnemonic;
    if (format & DT_CENTER)
        flags |= Qt::AlignHCenter;
    else if (format & DT_RIGHT)
        flags |= Qt::AlignRight;
    else
        flags |= Qt::AlignLeft;
    if (format & DT_SINGLELINE) {
        flags |= Qt::TextSingleLine;
        flags |= (format & DT_VCENTER) ? Qt::AlignVCenter : Qt::AlignTop;
    } else {
        flags |= Qt::AlignTop;
    }
    if ((format & DT_WORDBREAK) && !(format & DT_SINGLELINE))
        flags |= Qt::TextWordWrap;
    return flags;
}

void CLabel::OnTimer()
{
    flashPhase = flashPhase ? 0 : 1;
    Refresh();
}

void CLabel::Refresh()
{
    repaint();
    // A transparent label shows the parent's current pixels beneath it.
    if (QWidget *parent = parentWidget())
        parent->update(geometry());
}

void CLabel::RebuildFont()
{
    paintFont = fontDescription.font;
}

void CLabel::UpdateFrameMargins()
{
    const int margin = (border ? 1 : 0) + (sunkenEdge ? 1 : 0);
    setContentsMargins(margin, margin, margin, margin);
    update();
}

void CLabel::StartBlinking(int kind)
{
    flashPhase = 0;
    timerOn = 1;
    blinkTimer.start();
    flashKind = kind;
}

void CLabel::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        if (linkNotifies)
            Q_EMIT LinkNotify(this, kLinkNotifyCode);
        else
            shell::OpenWithDefaultHandler(text()); // a failure is not reported
    }
    QLabel::mousePressEvent(event);
}

void CLabel::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::PaletteChange) {
        defaultBrush = palette().color(QPalette::Button);
        Refresh();
    }
    QLabel::changeEvent(event);
}

void CLabel::DrawFrame(QPainter &painter) const
{
    QRect r = rect();
    if (border) {
        painter.setPen(QPen(palette().color(QPalette::WindowText), 0));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(r.adjusted(0, 0, -1, -1));
        r.adjust(1, 1, -1, -1);
    }
    if (sunkenEdge) {
        // A one-pixel static edge: shadow at the top and left, light at the
        // bottom and right.
        painter.setPen(QPen(palette().color(QPalette::Dark), 0));
        painter.drawLine(r.topLeft(), r.topRight());
        painter.drawLine(r.topLeft(), r.bottomLeft());
        painter.setPen(QPen(palette().color(QPalette::Light), 0));
        painter.drawLine(r.bottomLeft(), r.bottomRight());
        painter.drawLine(r.topRight(), r.bottomRight());
    }
}

void CLabel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    DrawFrame(painter);
    const QRect client = contentsRect();
    if (client.isEmpty())
        return;
    if (transparent) {
        painter.setClipRect(client);
        PaintContent(painter, client, false);
        return;
    }
    // Opaque: paint off-screen, then copy in one piece so nothing flickers.
    const qreal ratio = devicePixelRatioF();
    QImage offscreen(client.size() * ratio, QImage::Format_RGB32);
    offscreen.setDevicePixelRatio(ratio);
    offscreen.fill(Qt::black);
    {
        QPainter off(&offscreen);
        PaintContent(off, QRect(QPoint(0, 0), client.size()), true);
    }
    painter.drawImage(client.topLeft(), offscreen);
}

void CLabel::PaintContent(QPainter &painter, const QRect &client, bool withBackground) const
{
    if (withBackground) {
        if (gradient) {
            // Each band is filled without an outline, over the full height.
            for (const auto &band : label_detail::GradientBands(client, backgroundColour, gradientEndColour)) {
                painter.fillRect(QRect(QPoint(band.left, client.top()), QPoint(band.right - 1, client.bottom())),
                                 band.colour);
            }
        } else {
            painter.fillRect(client, ownBrush.value_or(defaultBrush));
        }
    }

    QColor colour = textColour;
    // During the dark phase of text blinking the text takes the background
    // brush's colour.
    if (flashPhase == 0 && flashKind == FlashText)
        colour = ownBrush.value_or(QColor(0, 0, 0));

    QString content = text();
    content.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    painter.setFont(paintFont);
    painter.setPen(colour);

    if (rotated) {
        // Baseline-centred at the client centre, turned by the escapement.
        painter.save();
        painter.translate(client.left() + client.width() / 2, client.top() + client.height() / 2);
        painter.rotate(-fontDescription.escapement / 10.0);
        const int advance = QFontMetrics(paintFont).horizontalAdvance(content);
        painter.drawText(QPointF(-advance / 2.0, 0.0), content);
        painter.restore();
        return;
    }

    const int flags = QtTextFlags(TextFormat());
    painter.drawText(client, flags, content);
    if (raisedText) {
        painter.setPen(raisedColour);
        const int offset = raisedDirection == 0 ? -1 : 1;
        painter.drawText(client.translated(offset, offset), flags, content);
    }
}

namespace label_detail {

std::vector<GradientBand> GradientBands(const QRect &rect, const QColor &a, const QColor &b)
{
    const int width = rect.width();
    const int count = std::min(width, 100);
    const int divisor = count <= 1 ? 1 : count;
    int red = a.red() * 256;
    int green = a.green() * 256;
    int blue = a.blue() * 256;
    const int redStep = (b.red() - a.red()) * 256 / divisor;
    const int greenStep = (b.green() - a.green()) * 256 / divisor;
    const int blueStep = (b.blue() - a.blue()) * 256 / divisor;
    const int bandWidth = width / divisor;

    std::vector<GradientBand> bands;
    int x = rect.left();
    for (int i = 0; i < count; ++i) {
        const int right = (i == count - 1) ? rect.left() + width : x + bandWidth;
        bands.push_back({x, right, QColor(red / 256, green / 256, blue / 256)});
        x = right;
        red += redStep;
        green += greenStep;
        blue += blueStep;
    }
    return bands;
}

} // namespace label_detail
