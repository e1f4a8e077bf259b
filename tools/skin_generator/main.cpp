// Draws the skin bitmaps (one PNG per resource id) and the Qt resource file
// that embeds them. Usage: talvora_skin_generator <out-dir> <out-qrc>
//
// The controls copy their faces opaquely, so every face that sits on the
// window is drawn over the piece of background it covers: the generator
// knows where the window puts each control and cuts the faces from the
// composed window.
#include <QDir>
#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QTextStream>
#include <cmath>
#include <functional>
#include <map>

namespace {

// ---------------------------------------------------------------- palette --
const QColor kInk(0xe8, 0xed, 0xf4);       // glyphs on dark buttons
const QColor kInkDim(0x9a, 0xa6, 0xb8);    // secondary text on dark
const QColor kSlate(0x2c, 0x3a, 0x52);     // glyphs on light tiles
const QColor kAccent(0x3b, 0x82, 0xf6);    // selection / pressed
const QColor kAccentDeep(0x1d, 0x5b, 0xd8);
const QColor kRecord(0xef, 0x44, 0x44);
const QColor kRecordDeep(0xb9, 0x1c, 0x1c);
const QColor kPanel(0x1b, 0x20, 0x29);
const QColor kPanelEdge(0x2f, 0x37, 0x45);

constexpr int kWindowWidth = 628;
constexpr int kWindowHeight = 447;

enum class Kind { Background, ModeTile, Transport, Round, Mute, Menu, Backdrop, Spare, Audio, Logo };

struct Face {
    int width;
    int height;
    QPoint at;   // where the window places the control
    Kind kind;
    int glyph;   // which pictogram (per kind)
    bool pressed;
};

enum Glyph {
    Person, Group, Camera, CameraFace, PhotoCamera,
    Backward, Stop, Record, Play, Forward,
    Minus, Plus, Speaker, SpeakerMuted, Webcam, Share, None
};

// Resource id -> face. The window's layout depends on these sizes.
const std::map<int, Face> &Faces()
{
    static const std::map<int, Face> faces = {
        {140, {628, 447, {0, 0}, Kind::Background, None, false}},
        {300, {64, 46, {215, 10}, Kind::ModeTile, Person, false}},
        {301, {64, 46, {285, 10}, Kind::ModeTile, Group, false}},
        {302, {64, 46, {355, 10}, Kind::ModeTile, Camera, false}},
        {303, {64, 46, {425, 10}, Kind::ModeTile, CameraFace, false}},
        {155, {64, 46, {495, 10}, Kind::ModeTile, PhotoCamera, false}},
        {162, {64, 46, {215, 10}, Kind::ModeTile, Person, true}},
        {148, {64, 46, {285, 10}, Kind::ModeTile, Group, true}},
        {166, {64, 46, {355, 10}, Kind::ModeTile, Camera, true}},
        {168, {64, 46, {425, 10}, Kind::ModeTile, CameraFace, true}},
        {156, {64, 46, {495, 10}, Kind::ModeTile, PhotoCamera, true}},
        {146, {28, 28, {170, 375}, Kind::Transport, Backward, false}},
        {164, {28, 28, {200, 375}, Kind::Transport, Stop, false}},
        {160, {28, 28, {230, 375}, Kind::Transport, Record, false}},
        {158, {28, 28, {260, 375}, Kind::Transport, Play, false}},
        {178, {28, 28, {290, 375}, Kind::Transport, Forward, false}},
        {145, {28, 28, {170, 375}, Kind::Transport, Backward, true}},
        {163, {28, 28, {200, 375}, Kind::Transport, Stop, true}},
        {159, {28, 28, {230, 375}, Kind::Transport, Record, true}},
        {210, {28, 28, {260, 375}, Kind::Transport, Play, true}},
        {179, {28, 28, {290, 375}, Kind::Transport, Forward, true}},
        {150, {20, 20, {360, 375}, Kind::Round, Minus, false}},
        {149, {20, 20, {360, 375}, Kind::Round, Minus, true}},
        {154, {20, 20, {470, 375}, Kind::Round, Plus, false}},
        {153, {20, 20, {470, 375}, Kind::Round, Plus, true}},
        {170, {24, 24, {335, 375}, Kind::Mute, Speaker, false}},
        {208, {24, 24, {335, 375}, Kind::Mute, SpeakerMuted, true}},
        {207, {90, 20, {380, 375}, Kind::Spare, None, false}},
        {186, {90, 20, {380, 375}, Kind::Spare, None, false}}, // loaded with the others, shown nowhere
        {139, {170, 42, {160, 368}, Kind::Backdrop, None, false}},
        {141, {44, 40, {510, 365}, Kind::Menu, Webcam, false}},
        {177, {44, 40, {510, 365}, Kind::Menu, Webcam, true}},
        {143, {44, 40, {560, 365}, Kind::Menu, Share, false}},
        {144, {44, 40, {560, 365}, Kind::Menu, Share, true}},
        {169, {336, 252, {160, 80}, Kind::Audio, None, false}},
        {209, {150, 70, {33, 5}, Kind::Logo, None, false}}, // clear of the video area at y 80
    };
    return faces;
}

QFont UiFont(qreal pixelSize, int weight = QFont::Normal)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(int(pixelSize));
    font.setWeight(QFont::Weight(weight));
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

QPainterPath Rounded(const QRectF &r, qreal radius)
{
    QPainterPath path;
    path.addRoundedRect(r, radius, radius);
    return path;
}

// A soft rim along the upper part of a rounded shape (light from above).
void TopRim(QPainter &p, const QRectF &r, qreal radius, const QColor &colour, qreal width = 1)
{
    p.save();
    p.setClipRect(QRectF(r.left(), r.top(), r.width(), r.height() * 0.45));
    p.setPen(QPen(colour, width));
    p.setBrush(Qt::NoBrush);
    p.drawPath(Rounded(r.adjusted(1.5, 1.5, -1.5, -1.5), std::max(0.0, radius - 1.5)));
    p.restore();
}

// A panel sunk into the window: soft drop shadow, dark fill, hairline edge
// with a lighter top.
void DrawPanel(QPainter &p, const QRectF &r, qreal radius, const QColor &fill = kPanel)
{
    for (int i = 3; i >= 1; --i) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 0, 0, 22 * (4 - i)));
        p.drawPath(Rounded(r.adjusted(-i, -i + 1, i, i + 1), radius + i));
    }
    QLinearGradient fillGradient(r.topLeft(), r.bottomLeft());
    fillGradient.setColorAt(0, fill.lighter(112));
    fillGradient.setColorAt(1, fill);
    p.setBrush(fillGradient);
    p.setPen(QPen(kPanelEdge, 1));
    p.drawPath(Rounded(r.adjusted(0.5, 0.5, -0.5, -0.5), radius));
    TopRim(p, r, radius, QColor(255, 255, 255, 16));
}

// ------------------------------------------------------------- pictograms --
// Each pictogram is drawn in a box of side s centred on c.

void GlyphPerson(QPainter &p, QPointF c, qreal s, const QColor &ink)
{
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    p.drawEllipse(QPointF(c.x(), c.y() - s * 0.2), s * 0.19, s * 0.19);
    QPainterPath body;
    const QRectF shoulders(c.x() - s * 0.34, c.y() + s * 0.04, s * 0.68, s * 0.62);
    body.moveTo(shoulders.left(), c.y() + s * 0.42);
    body.arcTo(shoulders, 180, -180);
    body.closeSubpath();
    p.drawPath(body);
}

void GlyphGroup(QPainter &p, QPointF c, qreal s, const QColor &ink)
{
    QColor side = ink;
    side.setAlphaF(0.55);
    GlyphPerson(p, QPointF(c.x() - s * 0.3, c.y() + s * 0.04), s * 0.72, side);
    GlyphPerson(p, QPointF(c.x() + s * 0.3, c.y() + s * 0.04), s * 0.72, side);
    GlyphPerson(p, c, s * 0.9, ink);
}

void GlyphCamera(QPainter &p, QPointF c, qreal s, const QColor &ink)
{
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    const QRectF body(c.x() - s * 0.46, c.y() - s * 0.26, s * 0.62, s * 0.52);
    p.drawRoundedRect(body, s * 0.1, s * 0.1);
    QPainterPath lens;
    lens.moveTo(body.right() + s * 0.04, c.y() - s * 0.04);
    lens.lineTo(c.x() + s * 0.46, c.y() - s * 0.22);
    lens.lineTo(c.x() + s * 0.46, c.y() + s * 0.22);
    lens.lineTo(body.right() + s * 0.04, c.y() + s * 0.04);
    lens.closeSubpath();
    p.drawPath(lens);
}

void GlyphCameraFace(QPainter &p, QPointF c, qreal s, const QColor &ink)
{
    // Face-frame corner brackets around a small head: the picture follows
    // the faces it finds.
    const qreal h = s * 0.5;
    QPen pen(ink, std::max(1.6, s * 0.075), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    const qreal arm = s * 0.2;
    for (int sx : {-1, 1})
        for (int sy : {-1, 1}) {
            const QPointF corner(c.x() + sx * h, c.y() + sy * h * 0.86);
            p.drawLine(corner, corner - QPointF(sx * arm, 0));
            p.drawLine(corner, corner - QPointF(0, sy * arm));
        }
    GlyphPerson(p, QPointF(c.x(), c.y() + s * 0.04), s * 0.66, ink);
}

void GlyphPhotoCamera(QPainter &p, QPointF c, qreal s, const QColor &ink, const QColor &hole)
{
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    const QRectF body(c.x() - s * 0.48, c.y() - s * 0.24, s * 0.96, s * 0.6);
    p.drawRoundedRect(body, s * 0.1, s * 0.1);
    p.drawRoundedRect(QRectF(c.x() - s * 0.18, c.y() - s * 0.36, s * 0.36, s * 0.16), s * 0.04, s * 0.04);
    p.setBrush(hole);
    p.drawEllipse(QPointF(c.x(), c.y() + s * 0.06), s * 0.2, s * 0.2);
    p.setBrush(ink);
    p.drawEllipse(QPointF(c.x(), c.y() + s * 0.06), s * 0.11, s * 0.11);
}

void GlyphSkip(QPainter &p, QPointF c, qreal s, const QColor &ink, bool forward)
{
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    const qreal d = forward ? 1 : -1;
    for (int i = 0; i < 2; ++i) {
        const qreal x0 = c.x() + d * (-s * 0.38 + i * s * 0.34);
        QPainterPath tri;
        tri.moveTo(x0, c.y() - s * 0.28);
        tri.lineTo(x0 + d * s * 0.34, c.y());
        tri.lineTo(x0, c.y() + s * 0.28);
        tri.closeSubpath();
        p.drawPath(tri);
    }
    const qreal barX = c.x() + d * s * 0.32;
    p.drawRect(QRectF(barX - (forward ? 0 : s * 0.09), c.y() - s * 0.28, s * 0.09, s * 0.56));
}

void GlyphPlay(QPainter &p, QPointF c, qreal s, const QColor &ink)
{
    p.setPen(QPen(ink, s * 0.06, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(ink);
    QPainterPath tri;
    tri.moveTo(c.x() - s * 0.22, c.y() - s * 0.32);
    tri.lineTo(c.x() + s * 0.34, c.y());
    tri.lineTo(c.x() - s * 0.22, c.y() + s * 0.32);
    tri.closeSubpath();
    p.drawPath(tri);
}

void GlyphStop(QPainter &p, QPointF c, qreal s, const QColor &ink)
{
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    p.drawRoundedRect(QRectF(c.x() - s * 0.27, c.y() - s * 0.27, s * 0.54, s * 0.54), s * 0.07, s * 0.07);
}

void GlyphRecord(QPainter &p, QPointF c, qreal s, const QColor &ink)
{
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    p.drawEllipse(c, s * 0.3, s * 0.3);
}

void GlyphPlusMinus(QPainter &p, QPointF c, qreal s, const QColor &ink, bool plus)
{
    p.setPen(QPen(ink, std::max(1.8, s * 0.13), Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(c.x() - s * 0.28, c.y()), QPointF(c.x() + s * 0.28, c.y()));
    if (plus)
        p.drawLine(QPointF(c.x(), c.y() - s * 0.28), QPointF(c.x(), c.y() + s * 0.28));
}

void GlyphSpeaker(QPainter &p, QPointF c, qreal s, const QColor &ink, bool muted, const QColor &cross)
{
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    QPainterPath cone;
    const qreal x = c.x() - s * 0.42;
    cone.moveTo(x, c.y() - s * 0.12);
    cone.lineTo(x + s * 0.18, c.y() - s * 0.12);
    cone.lineTo(x + s * 0.42, c.y() - s * 0.34);
    cone.lineTo(x + s * 0.42, c.y() + s * 0.34);
    cone.lineTo(x + s * 0.18, c.y() + s * 0.12);
    cone.lineTo(x, c.y() + s * 0.12);
    cone.closeSubpath();
    p.drawPath(cone);
    const qreal w = std::max(1.4, s * 0.08);
    if (muted) {
        p.setPen(QPen(cross, w * 1.2, Qt::SolidLine, Qt::RoundCap));
        const QPointF m(c.x() + s * 0.25, c.y());
        const qreal r = s * 0.15;
        p.drawLine(m + QPointF(-r, -r), m + QPointF(r, r));
        p.drawLine(m + QPointF(-r, r), m + QPointF(r, -r));
        return;
    }
    p.setPen(QPen(ink, w, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    for (qreal r : {s * 0.2, s * 0.36})
        p.drawArc(QRectF(c.x() - r + s * 0.02, c.y() - r, 2 * r, 2 * r), -45 * 16, 90 * 16);
}

void GlyphWebcam(QPainter &p, QPointF c, qreal s, const QColor &ink, const QColor &hole)
{
    // A webcam on its stand with a microphone beside it: the device menu.
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    const QPointF cam(c.x() - s * 0.12, c.y() - s * 0.08);
    p.drawEllipse(cam, s * 0.3, s * 0.3);
    p.setBrush(hole);
    p.drawEllipse(cam, s * 0.16, s * 0.16);
    p.setBrush(ink);
    p.drawEllipse(cam, s * 0.07, s * 0.07);
    p.drawRoundedRect(QRectF(cam.x() - s * 0.05, cam.y() + s * 0.28, s * 0.1, s * 0.12), 1, 1);
    p.drawRoundedRect(QRectF(cam.x() - s * 0.22, cam.y() + s * 0.38, s * 0.44, s * 0.08), 2, 2);
    // microphone
    const QPointF mic(c.x() + s * 0.36, c.y() + s * 0.06);
    p.drawRoundedRect(QRectF(mic.x() - s * 0.07, mic.y() - s * 0.2, s * 0.14, s * 0.26), s * 0.07, s * 0.07);
    p.setPen(QPen(ink, std::max(1.2, s * 0.05), Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(mic.x() - s * 0.12, mic.y() - s * 0.14, s * 0.24, s * 0.26), 200 * 16, 140 * 16);
    p.drawLine(QPointF(mic.x(), mic.y() + s * 0.12), QPointF(mic.x(), mic.y() + s * 0.2));
}

void GlyphShare(QPainter &p, QPointF c, qreal s, const QColor &ink)
{
    // A tray with an arrow leaving it upwards.
    QPen pen(ink, std::max(1.8, s * 0.09), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    QPainterPath tray;
    tray.moveTo(c.x() - s * 0.34, c.y() - s * 0.02);
    tray.lineTo(c.x() - s * 0.34, c.y() + s * 0.34);
    tray.lineTo(c.x() + s * 0.34, c.y() + s * 0.34);
    tray.lineTo(c.x() + s * 0.34, c.y() - s * 0.02);
    p.drawPath(tray);
    p.drawLine(QPointF(c.x(), c.y() + s * 0.16), QPointF(c.x(), c.y() - s * 0.4));
    QPainterPath head;
    head.moveTo(c.x() - s * 0.17, c.y() - s * 0.23);
    head.lineTo(c.x(), c.y() - s * 0.4);
    head.lineTo(c.x() + s * 0.17, c.y() - s * 0.23);
    p.drawPath(head);
}

void DrawGlyph(QPainter &p, int glyph, QPointF c, qreal s, const QColor &ink, const QColor &hole)
{
    switch (glyph) {
    case Person: GlyphPerson(p, c, s, ink); break;
    case Group: GlyphGroup(p, c, s, ink); break;
    case Camera: GlyphCamera(p, c, s, ink); break;
    case CameraFace: GlyphCameraFace(p, c, s, ink); break;
    case PhotoCamera: GlyphPhotoCamera(p, c, s, ink, hole); break;
    case Backward: GlyphSkip(p, c, s, ink, false); break;
    case Forward: GlyphSkip(p, c, s, ink, true); break;
    case Stop: GlyphStop(p, c, s, ink); break;
    case Record: GlyphRecord(p, c, s, ink); break;
    case Play: GlyphPlay(p, c, s, ink); break;
    case Minus: GlyphPlusMinus(p, c, s, ink, false); break;
    case Plus: GlyphPlusMinus(p, c, s, ink, true); break;
    case Speaker: GlyphSpeaker(p, c, s, ink, false, ink); break;
    case SpeakerMuted: GlyphSpeaker(p, c, s, ink, true, hole); break;
    case Webcam: GlyphWebcam(p, c, s, ink, hole); break;
    case Share: GlyphShare(p, c, s, ink); break;
    default: break;
    }
}

// ---------------------------------------------------------------- buttons --

// A raised dark button, or the accent-filled pressed one (shifted down a
// pixel with an inner shadow, so it reads as pushed in).
void DrawDarkButton(QPainter &p, const QRectF &r, qreal radius, bool pressed, const QColor &accent)
{
    if (!pressed) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 0, 0, 90));
        p.drawPath(Rounded(r.adjusted(0, 1, 0, 1), radius));
        QLinearGradient g(r.topLeft(), r.bottomLeft());
        g.setColorAt(0, QColor(0x3a, 0x43, 0x53));
        g.setColorAt(1, QColor(0x25, 0x2b, 0x36));
        p.setBrush(g);
        p.setPen(QPen(QColor(0x48, 0x52, 0x64), 1));
        p.drawPath(Rounded(r.adjusted(0.5, 0.5, -0.5, -0.5), radius));
        TopRim(p, r, radius, QColor(255, 255, 255, 34));
        return;
    }
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, accent.darker(125));
    g.setColorAt(0.35, accent);
    g.setColorAt(1, accent.lighter(115));
    p.setBrush(g);
    p.setPen(QPen(accent.darker(160), 1));
    p.drawPath(Rounded(r.adjusted(0.5, 0.5, -0.5, -0.5), radius));
    TopRim(p, r, radius, QColor(0, 0, 0, 80), 1.5);
}

void DrawModeTile(QPainter &p, const QRectF &r, int glyph, bool pressed)
{
    const qreal radius = 10;
    const QRectF tile = r.adjusted(1, 1, -1, -2);
    if (!pressed) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x10, 0x20, 0x40, 40));
        p.drawPath(Rounded(tile.translated(0, 1.5), radius));
        QLinearGradient g(tile.topLeft(), tile.bottomLeft());
        g.setColorAt(0, QColor(0xff, 0xff, 0xff));
        g.setColorAt(1, QColor(0xe6, 0xeb, 0xf2));
        p.setBrush(g);
        p.setPen(QPen(QColor(0xb4, 0xc0, 0xd0), 1));
        p.drawPath(Rounded(tile.adjusted(0.5, 0.5, -0.5, -0.5), radius));
        DrawGlyph(p, glyph, tile.center(), 26, kSlate, QColor(0xf4, 0xf6, 0xf9));
        return;
    }
    const QRectF down = tile.translated(0, 1);
    QLinearGradient g(down.topLeft(), down.bottomLeft());
    g.setColorAt(0, kAccentDeep);
    g.setColorAt(1, kAccent);
    p.setPen(QPen(kAccentDeep.darker(140), 1));
    p.setBrush(g);
    p.drawPath(Rounded(down.adjusted(0.5, 0.5, -0.5, -0.5), radius));
    // inner shadow along the top edge
    p.save();
    p.setClipPath(Rounded(down.adjusted(1, 1, -1, -1), radius - 1));
    for (int i = 0; i < 4; ++i) {
        p.setPen(QPen(QColor(0, 0, 0, 60 - i * 15), 1));
        p.drawLine(QPointF(down.left(), down.top() + 1.5 + i), QPointF(down.right(), down.top() + 1.5 + i));
    }
    p.restore();
    DrawGlyph(p, glyph, down.center(), 26, Qt::white, kAccentDeep);
}

// ------------------------------------------------------------- the window --

void DrawWindowBackground(QPainter &p)
{
    QLinearGradient base(0, 0, 0, kWindowHeight);
    base.setColorAt(0, QColor(0x23, 0x29, 0x33));
    base.setColorAt(1, QColor(0x11, 0x14, 0x1a));
    p.fillRect(QRect(0, 0, kWindowWidth, kWindowHeight), base);
    QRadialGradient glow(QPointF(120, 40), 420);
    glow.setColorAt(0, QColor(0x3b, 0x82, 0xf6, 34));
    glow.setColorAt(1, QColor(0x3b, 0x82, 0xf6, 0));
    p.fillRect(QRect(0, 0, kWindowWidth, kWindowHeight), glow);

    // Library list, video area and the right-hand column.
    DrawPanel(p, QRectF(6, 111, 149, 289), 10);
    DrawPanel(p, QRectF(155, 77, 346, 260), 8, QColor(0x0e, 0x11, 0x16));
    DrawPanel(p, QRectF(507, 88, 113, 240), 10);
    // a quiet recording-light ornament in the right column
    const QPointF lamp(563, 140);
    QRadialGradient lampGlow(lamp, 40);
    lampGlow.setColorAt(0, QColor(0x3b, 0x82, 0xf6, 60));
    lampGlow.setColorAt(1, QColor(0x3b, 0x82, 0xf6, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(lampGlow);
    p.drawEllipse(lamp, 40, 40);
    p.setBrush(QColor(0x2a, 0x32, 0x40));
    p.drawEllipse(lamp, 17, 17);
    p.setBrush(QColor(0x3b, 0x82, 0xf6));
    p.drawEllipse(lamp, 6, 6);
    // level-meter bars, decoration only
    for (int i = 0; i < 9; ++i) {
        const qreal h = 18 + 38 * std::fabs(std::sin(i * 0.9 + 0.6));
        QLinearGradient bar(0, 300 - h, 0, 300);
        bar.setColorAt(0, QColor(0x3b, 0x82, 0xf6, 150));
        bar.setColorAt(1, QColor(0x3b, 0x82, 0xf6, 40));
        p.setBrush(bar);
        p.drawRoundedRect(QRectF(522 + i * 9.5, 300 - h, 5, h), 2.5, 2.5);
    }

    // Mode dock: a light bar so the blue mode captions under the buttons read.
    const QRectF dock(205, 2, 366, 74);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 70));
    p.drawPath(Rounded(dock.translated(0, 2), 14));
    QLinearGradient dockFill(dock.topLeft(), dock.bottomLeft());
    dockFill.setColorAt(0, QColor(0xee, 0xf2, 0xf7));
    dockFill.setColorAt(1, QColor(0xd3, 0xdb, 0xe6));
    p.setBrush(dockFill);
    p.setPen(QPen(QColor(0x9a, 0xa8, 0xbb), 1));
    p.drawPath(Rounded(dock.adjusted(0.5, 0.5, -0.5, -0.5), 14));

    // Transport bar with the position slider, transport, volume and menus.
    DrawPanel(p, QRectF(154, 336, 460, 78), 12);
    // the volume cluster's recess
    p.setPen(QPen(QColor(0x0b, 0x0d, 0x12), 1));
    p.setBrush(QColor(0x15, 0x19, 0x20));
    p.drawPath(Rounded(QRectF(332.5, 370.5, 162, 30), 15));
}

void DrawBackdrop(QPainter &p, const QRectF &r)
{
    p.setPen(QPen(QColor(0x0b, 0x0d, 0x12), 1));
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, QColor(0x12, 0x15, 0x1b));
    g.setColorAt(1, QColor(0x1a, 0x1f, 0x27));
    p.setBrush(g);
    p.drawPath(Rounded(r.adjusted(0.5, 0.5, -0.5, -0.5), 21));
    p.setPen(QPen(QColor(255, 255, 255, 20), 1));
    p.setBrush(Qt::NoBrush);
    p.drawLine(QPointF(r.left() + 20, r.bottom() - 0.5), QPointF(r.right() - 20, r.bottom() - 0.5));
}

void DrawAudioPicture(QPainter &p, const QRectF &r)
{
    QLinearGradient g(r.topLeft(), r.bottomRight());
    g.setColorAt(0, QColor(0x16, 0x1c, 0x27));
    g.setColorAt(1, QColor(0x0c, 0x0f, 0x15));
    p.fillRect(r, g);
    const QPointF c = r.center() - QPointF(0, 10);
    QRadialGradient halo(c, 120);
    halo.setColorAt(0, QColor(0x3b, 0x82, 0xf6, 70));
    halo.setColorAt(1, QColor(0x3b, 0x82, 0xf6, 0));
    p.fillRect(r, halo);

    // waveform across the picture
    p.setPen(Qt::NoPen);
    const int bars = 46;
    for (int i = 0; i < bars; ++i) {
        const qreal x = r.left() + 12 + i * (r.width() - 24) / bars;
        const qreal t = double(i) / (bars - 1);
        const qreal env = std::exp(-std::pow((t - 0.5) * 3.2, 2));
        const qreal amp = 6 + 58 * env * (0.55 + 0.45 * std::fabs(std::sin(i * 1.7)));
        QColor bar = kAccent;
        bar.setAlpha(int(70 + 120 * env));
        p.setBrush(bar);
        p.drawRoundedRect(QRectF(x, c.y() - amp, 3.5, 2 * amp), 1.75, 1.75);
    }

    // microphone disc
    p.setBrush(QColor(0x0f, 0x13, 0x1a));
    p.setPen(QPen(QColor(0x3b, 0x82, 0xf6, 160), 2));
    p.drawEllipse(c, 44, 44);
    p.setPen(Qt::NoPen);
    p.setBrush(kInk);
    p.drawRoundedRect(QRectF(c.x() - 11, c.y() - 28, 22, 36), 11, 11);
    p.setPen(QPen(kInk, 3.2, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(c.x() - 19, c.y() - 14, 38, 32), 180 * 16, 180 * 16);
    p.drawLine(QPointF(c.x(), c.y() + 18), QPointF(c.x(), c.y() + 26));
    p.drawLine(QPointF(c.x() - 9, c.y() + 26), QPointF(c.x() + 9, c.y() + 26));

    p.setFont(UiFont(12, QFont::DemiBold));
    p.setPen(kInkDim);
    p.drawText(QRectF(r.left(), r.bottom() - 44, r.width(), 24), Qt::AlignCenter,
               QStringLiteral("Audio recording"));
}

void DrawLogo(QPainter &p, const QRectF &r)
{
    // Mark: a rounded square with a lens ring and a record dot.
    const QRectF mark(r.left() + 4, r.top() + 16, 38, 38);
    QLinearGradient g(mark.topLeft(), mark.bottomRight());
    g.setColorAt(0, QColor(0x5b, 0x9d, 0xff));
    g.setColorAt(1, kAccentDeep);
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawPath(Rounded(mark, 10));
    p.setPen(QPen(Qt::white, 3));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(mark.center(), 10.5, 10.5);
    p.setPen(Qt::NoPen);
    p.setBrush(kRecord);
    p.drawEllipse(mark.center(), 5, 5);

    p.setPen(kInk);
    p.setFont(UiFont(25, QFont::Bold));
    p.drawText(QRectF(mark.right() + 8, mark.top() - 6, 110, 34), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Talvora"));
    p.setPen(kInkDim);
    p.setFont(UiFont(10));
    p.drawText(QRectF(mark.right() + 9, mark.top() + 26, 110, 16), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("meeting recorder"));
}

QImage ComposeWindow()
{
    QImage window(kWindowWidth, kWindowHeight, QImage::Format_RGB32);
    QPainter p(&window);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    DrawWindowBackground(p);
    return window;
}

// The window with the controls that lie under other controls (the transport
// backdrop under the transport buttons).
QImage ComposeUnderlay(const QImage &window)
{
    QImage underlay = window;
    QPainter p(&underlay);
    p.setRenderHint(QPainter::Antialiasing);
    const Face &backdrop = Faces().at(139);
    DrawBackdrop(p, QRectF(backdrop.at, QSizeF(backdrop.width, backdrop.height)));
    return underlay;
}

QImage Draw(const Face &face, const QImage &window, const QImage &underlay)
{
    const QRect place(face.at, QSize(face.width, face.height));
    if (face.kind == Kind::Background)
        return window;
    QImage image = (face.kind == Kind::Transport ? underlay : window).copy(place);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const QRectF r(0, 0, face.width, face.height);
    switch (face.kind) {
    case Kind::ModeTile:
        DrawModeTile(p, r, face.glyph, face.pressed);
        break;
    case Kind::Transport: {
        const bool record = face.glyph == Record;
        DrawDarkButton(p, r.adjusted(1, 1, -1, -1), 13, face.pressed, record ? kRecord : kAccent);
        const QColor ink = face.pressed ? QColor(Qt::white) : (record ? kRecord : kInk);
        DrawGlyph(p, face.glyph, r.center() + QPointF(0, face.pressed ? 1 : 0), 16, ink, ink);
        break;
    }
    case Kind::Round:
        DrawDarkButton(p, r.adjusted(1, 1, -1, -1), 9, face.pressed, kAccent);
        DrawGlyph(p, face.glyph, r.center() + QPointF(0, face.pressed ? 0.5 : 0), 14, face.pressed ? Qt::white : kInk, kInk);
        break;
    case Kind::Mute:
        DrawDarkButton(p, r.adjusted(1, 1, -1, -1), 11, face.pressed, kRecordDeep);
        DrawGlyph(p, face.glyph, r.center() + QPointF(0, face.pressed ? 0.5 : 0), 17,
                  face.pressed ? QColor(Qt::white) : kInk, QColor(0xff, 0xd0, 0xd0));
        break;
    case Kind::Menu: {
        const QRectF button = r.adjusted(2, 2, -2, -2);
        DrawDarkButton(p, button, 10, face.pressed, kAccent);
        const QColor ink = face.pressed ? QColor(Qt::white) : kInk;
        const QColor hole = face.pressed ? kAccent : QColor(0x2b, 0x32, 0x3e);
        DrawGlyph(p, face.glyph, button.center() + QPointF(0, face.pressed ? 1 : 0), 24, ink, hole);
        break;
    }
    case Kind::Backdrop:
        DrawBackdrop(p, r);
        break;
    case Kind::Spare:
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x2a, 0x31, 0x3d));
        p.drawRoundedRect(QRectF(4, r.center().y() - 2, r.width() - 8, 4), 2, 2);
        break;
    case Kind::Audio:
        DrawAudioPicture(p, r);
        break;
    case Kind::Logo:
        DrawLogo(p, r);
        break;
    case Kind::Background:
        break;
    }
    return image;
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 3)
        return 2;
    const QString outDir = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(outDir);
    QFile qrc(QString::fromLocal8Bit(argv[2]));
    if (!qrc.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return 1;
    const QImage window = ComposeWindow();
    const QImage underlay = ComposeUnderlay(window);
    QTextStream out(&qrc);
    out << "<RCC>\n  <qresource prefix=\"/skin\">\n";
    for (const auto &[id, face] : Faces()) {
        const QString file = QStringLiteral("%1/%2.png").arg(outDir).arg(id);
        if (!Draw(face, window, underlay).save(file))
            return 1;
        out << "    <file alias=\"" << id << ".png\">" << file << "</file>\n";
    }
    out << "  </qresource>\n</RCC>\n";
    return 0;
}
