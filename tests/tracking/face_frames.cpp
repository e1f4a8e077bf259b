#include "tests/tracking/face_frames.h"

#include <QDir>
#include <QFile>
#include <QPainter>
#include <QProcess>

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
    Frame f{name, QImage(kFrame, QImage::Format_RGB32), {}};
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

} // namespace

QString PictureFolder(QString *why)
{
    const QString folder = QStringLiteral(TALVORA_FIXTURE_ROOT "/faces");
    if (QFile::exists(folder + "/astronaut.png") && QFile::exists(folder + "/coffee.png"))
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
