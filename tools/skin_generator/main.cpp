// Draws the skin bitmaps (one PNG per resource id) and the Qt resource file
// that embeds them. Usage: talvora_skin_generator <out-dir> <out-qrc>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTextStream>
#include <map>

namespace {

struct Bitmap {
    int width;
    int height;
};

// Resource id -> size. The layout of the window depends on these sizes.
const std::map<int, Bitmap> &Sizes()
{
    static const std::map<int, Bitmap> sizes = {
        {140, {628, 447}},                                                   // background
        {300, {64, 46}}, {301, {64, 46}}, {302, {64, 46}}, {303, {64, 46}}, {155, {64, 46}},
        {162, {64, 46}}, {148, {64, 46}}, {166, {64, 46}}, {168, {64, 46}}, {156, {64, 46}},
        {146, {28, 28}}, {164, {28, 28}}, {160, {28, 28}}, {158, {28, 28}}, {178, {28, 28}},
        {145, {28, 28}}, {163, {28, 28}}, {159, {28, 28}}, {210, {28, 28}}, {179, {28, 28}},
        {150, {20, 20}}, {149, {20, 20}}, {154, {20, 20}}, {153, {20, 20}},
        {170, {24, 24}}, {208, {24, 24}}, {207, {90, 20}},
        {139, {170, 42}},
        {141, {44, 40}}, {177, {44, 40}}, {143, {44, 40}}, {144, {44, 40}},
        {169, {336, 252}}, {209, {150, 100}},
    };
    return sizes;
}

QImage Draw(int id, const Bitmap &b)
{
    QImage image(b.width, b.height, QImage::Format_RGB32);
    image.fill(QColor(0x20, 0x24, 0x2c));
    QPainter p(&image);
    p.setPen(QColor(0x5a, 0x66, 0x7a));
    p.drawRect(0, 0, b.width - 1, b.height - 1);
    Q_UNUSED(id);
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
    QTextStream out(&qrc);
    out << "<RCC>\n  <qresource prefix=\"/skin\">\n";
    for (const auto &[id, size] : Sizes()) {
        const QString file = QStringLiteral("%1/%2.png").arg(outDir).arg(id);
        if (!Draw(id, size).save(file))
            return 1;
        out << "    <file alias=\"" << id << ".png\">" << file << "</file>\n";
    }
    out << "  </qresource>\n</RCC>\n";
    return 0;
}
