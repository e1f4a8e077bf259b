#include "tests/tracking/face_frames.h"

#include <QDir>
#include <QFile>
#include <QPainter>
#include <QProcess>

#include <algorithm>
#include <cmath>
#include <random>

namespace faceframes {
namespace {

// The astronaut's face in the 512 x 512 picture.
const QRectF kFace(176, 66, 96, 96);
const QSize kFrame(320, 240);

// The crop of the picture drawn into target of a frame, and where its face lands.
QRect Place(QPainter &p, const QImage &src, const QRectF &crop, const QRectF &target, bool mirror = false)
{
    QImage part = src.copy(crop.toRect());
    if (mirror)
        part = part.mirrored(true, false);
    p.drawImage(target, part);
    const double sx = target.width() / crop.width(), sy = target.height() / crop.height();
    const double faceX = mirror ? crop.right() - kFace.right() : kFace.x() - crop.x();
    return QRectF(target.x() + faceX * sx, target.y() + (kFace.y() - crop.y()) * sy, kFace.width() * sx,
                  kFace.height() * sy)
        .toRect();
}

Frame Blank(const QString &name)
{
    Frame f{name, QImage(kFrame, QImage::Format_RGB32), {}, {}};
    f.image.fill(QColor(120, 120, 120));
    return f;
}

QImage Darker(const QImage &in, double factor)
{
    QImage out = in;
    for (int y = 0; y < out.height(); ++y) {
        auto *row = reinterpret_cast<QRgb *>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x)
            row[x] = qRgb(int(qRed(row[x]) * factor), int(qGreen(row[x]) * factor), int(qBlue(row[x]) * factor));
    }
    return out;
}

// A person's picture, the part of it drawn (head and shoulders) and the face in it.
struct Person {
    QImage picture;
    QRectF crop, face;
};

// Draws the person with the face centred at centre and side pixels wide;
// returns the face's box in the frame.
QRect Draw(QPainter &p, const Person &who, QPointF centre, double side)
{
    const double s = side / who.face.width();
    const QPointF faceInCrop = who.face.center() - who.crop.topLeft();
    const QRectF target(centre - faceInCrop * s, who.crop.size() * s);
    p.drawImage(target, who.picture, who.crop);
    return QRectF(centre.x() - side / 2, centre.y() - side / 2, side, side).toRect();
}

// Sensor noise: every channel of every pixel moves by a normal amount.
void AddNoise(QImage *image, std::mt19937 *random, double sigma)
{
    std::normal_distribution<double> noise(0.0, sigma);
    for (int y = 0; y < image->height(); ++y) {
        auto *row = reinterpret_cast<QRgb *>(image->scanLine(y));
        for (int x = 0; x < image->width(); ++x) {
            auto channel = [&](int v) { return std::clamp(int(std::lround(v + noise(*random))), 0, 255); };
            row[x] = qRgb(channel(qRed(row[x])), channel(qGreen(row[x])), channel(qBlue(row[x])));
        }
    }
}

} // namespace

QString PictureFolder(QString *why)
{
    const QString folder = QStringLiteral(TALVORA_FIXTURE_ROOT "/faces");
    if (QFile::exists(folder + "/astronaut.png") && QFile::exists(folder + "/coffee.png")
        && QFile::exists(folder + "/grace_hopper.jpg"))
        return folder;
    QProcess fetch;
    fetch.start(QStringLiteral(TALVORA_SOURCE_ROOT "/tools/face_fixtures.sh"), {folder});
    if (!fetch.waitForFinished(120000) || fetch.exitCode() != 0) {
        *why = QStringLiteral("face pictures unavailable: ") + QString::fromLocal8Bit(fetch.readAllStandardError());
        return {};
    }
    return folder;
}

std::vector<Frame> ComposedSet(const QString &folder)
{
    const QImage astronaut(folder + "/astronaut.png");
    const QImage chelsea(folder + "/chelsea.png");
    const QImage coffee(folder + "/coffee.png");
    if (astronaut.isNull() || chelsea.isNull() || coffee.isNull())
        return {};
    std::vector<Frame> set;
    auto add = [&](const QString &name, auto &&draw) {
        Frame f = Blank(name);
        QPainter p(&f.image);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        draw(p, f);
        p.end();
        set.push_back(f);
    };
    add("one face, 45 px", [&](QPainter &p, Frame &f) {
        f.faces = {Place(p, astronaut, QRectF(0, 0, 512, 512), QRectF(40, 0, 240, 240))};
    });
    add("one face, 80 px", [&](QPainter &p, Frame &f) {
        f.faces = {Place(p, astronaut, QRectF(64, 0, 384, 288), QRectF(0, 0, 320, 240))};
    });
    add("one face, 137 px", [&](QPainter &p, Frame &f) {
        f.faces = {Place(p, astronaut, QRectF(112, 30, 224, 168), QRectF(0, 0, 320, 240))};
    });
    add("one face, right of centre", [&](QPainter &p, Frame &f) {
        f.faces = {Place(p, astronaut, QRectF(0, 0, 512, 512), QRectF(100, 20, 220, 220))};
    });
    add("two faces side by side", [&](QPainter &p, Frame &f) {
        f.faces = {Place(p, astronaut, QRectF(112, 0, 224, 336), QRectF(0, 0, 160, 240)),
                   Place(p, astronaut, QRectF(176, 0, 224, 336), QRectF(160, 0, 160, 240), true)};
    });
    add("two faces, smaller", [&](QPainter &p, Frame &f) {
        f.faces = {Place(p, astronaut, QRectF(64, 0, 384, 576), QRectF(10, 20, 140, 210)),
                   Place(p, astronaut, QRectF(64, 0, 384, 576), QRectF(170, 20, 140, 210))};
    });
    add("no face: cat", [&](QPainter &p, Frame &) { p.drawImage(QRectF(0, 0, 320, 240), chelsea); });
    add("no face: coffee", [&](QPainter &p, Frame &) { p.drawImage(QRectF(0, 0, 320, 240), coffee); });
    add("no face: the suit below the face", [&](QPainter &p, Frame &) {
        p.drawImage(QRectF(0, 0, 320, 240), astronaut.copy(0, 200, 512, 312));
    });
    add("no face: grey", [&](QPainter &, Frame &) {});
    Frame dark = set[1];
    dark.name = "one face, 80 px, darker";
    dark.image = Darker(dark.image, 0.6);
    set.push_back(dark);
    Frame darkTwo = set[4];
    darkTwo.name = "two faces, darker";
    darkTwo.image = Darker(darkTwo.image, 0.6);
    set.push_back(darkTwo);
    return set;
}

std::vector<Frame> MovingScene(const QString &folder)
{
    const QImage room = QImage(folder + "/coffee.png").scaled(kFrame, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const Person astronaut{QImage(folder + "/astronaut.png"), QRectF(136, 30, 176, 210), kFace};
    const Person grace{QImage(folder + "/grace_hopper.jpg"), QRectF(110, 40, 310, 400), QRectF(152, 87, 225, 225)};
    if (room.isNull() || astronaut.picture.isNull() || grace.picture.isNull())
        return {};
    struct Seat {
        int who;
        QPointF centre;
        double side;
    };
    std::mt19937 random(23);
    std::vector<Frame> scene;
    auto add = [&](const QString &phase, const std::vector<Seat> &seats) {
        Frame f{phase, room.convertToFormat(QImage::Format_RGB32), {}, {}};
        QPainter p(&f.image);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        for (const Seat &s : seats) {
            f.faces.push_back(Draw(p, s.who == 0 ? astronaut : grace, s.centre, s.side));
            f.people.push_back(s.who);
        }
        p.end();
        AddNoise(&f.image, &random, 4.0);
        scene.push_back(f);
    };
    auto lerp = [](double a, double b, int i, int n) { return a + (b - a) * i / n; };
    for (int i = 0; i < 24; ++i)
        add("still", {{0, {110, 100}, 72}});
    for (int i = 1; i <= 16; ++i)
        add("walk", {{0, {lerp(110, 190, i, 16), 100}, 72}});
    for (int i = 1; i <= 16; ++i)
        add("near", {{0, {190, lerp(100, 115, i, 16)}, lerp(72, 112, i, 16)}});
    for (int i = 1; i <= 16; ++i)
        add("sit back", {{0, {lerp(190, 90, i, 16), lerp(115, 100, i, 16)}, lerp(112, 64, i, 16)}});
    for (int i = 0; i < 24; ++i)
        add("two", {{0, {90, 100}, 64}, {1, {235, 105}, 66}});
    for (int i = 0; i < 12; ++i)
        add("second left", {{0, {90, 100}, 64}});
    for (int i = 0; i < 20; ++i)
        add("empty", {});
    for (int i = 0; i < 12; ++i)
        add("far", {{1, {170, 90}, 46}});
    return scene;
}

std::vector<unsigned char> BottomUpBgr(const QImage &image)
{
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    const int stride = ((rgb.width() * 24 + 31) / 32) * 4;
    std::vector<unsigned char> out(static_cast<size_t>(stride) * rgb.height(), 0);
    for (int y = 0; y < rgb.height(); ++y) {
        const uchar *src = rgb.constScanLine(rgb.height() - 1 - y);
        unsigned char *dst = out.data() + static_cast<size_t>(y) * stride;
        for (int x = 0; x < rgb.width(); ++x) {
            dst[3 * x] = src[3 * x + 2];
            dst[3 * x + 1] = src[3 * x + 1];
            dst[3 * x + 2] = src[3 * x];
        }
    }
    return out;
}

double IoU(const QRect &a, const QRect &b)
{
    const QRect i = a.intersected(b);
    const double inter = double(i.width()) * i.height();
    const double uni = double(a.width()) * a.height() + double(b.width()) * b.height() - inter;
    return uni > 0 ? inter / uni : 0.0;
}

} // namespace faceframes
