#include "imaging/picture.h"

#include "platform/ui/message_box.h"

#include <QApplication>
#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QPaintDevice>
#include <QPainter>
#include <limits>

namespace {

const QString kCaption = QStringLiteral("CPicture Error");
const QString kNoMemory = QStringLiteral("Can not allocate enough memory\t");
const QString kNoPictureInterface = QStringLiteral("IPicture interface is not supported\t");
constexpr int kScreenDpi = 96;
constexpr int kHimetricPerInch = 2540;
constexpr int kMaxErrorText = 255;
// A photo file larger than this is not read into memory at all.
constexpr qint64 kMaxFileBytes = 256LL * 1024 * 1024;

// a × b / c rounded to the nearest integer, halves away from zero.
std::int32_t MulDiv(std::int32_t a, std::int32_t b, std::int32_t c)
{
    if (c == 0)
        return 0;
    const std::int64_t product = std::int64_t(a) * b;
    const std::int64_t half = std::abs(std::int64_t(c)) / 2;
    const bool negative = (product < 0) != (c < 0);
    const std::int64_t magnitude = (std::abs(product) + half) / std::abs(std::int64_t(c));
    return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

void ShowError(const QString &text)
{
    // The application's main window owns the box.
    ui::ErrorBox(QApplication::activeWindow(), kCaption, text);
}

} // namespace

CPicture::~CPicture() { Clear(); }

void CPicture::Clear()
{
    picture = QImage();
    height = 0;
    dataSize = 0;
    width = 0;
}

QSize CPicture::HimetricSize() const
{
    if (picture.isNull())
        return {};
    return QSize(MulDiv(picture.width(), kHimetricPerInch, kScreenDpi),
                 MulDiv(picture.height(), kHimetricPerInch, kScreenDpi));
}

bool CPicture::LoadFromFile(const QString &path)
{
    if (!picture.isNull())
        Clear();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        ShowError(file.errorString().left(kMaxErrorText));
        dataSize = 0;
        return false;
    }
    const qint64 length = file.size();
    bool result = false;
    if (length > kMaxFileBytes || length > std::numeric_limits<std::int32_t>::max()) {
        ShowError(kNoMemory);
    } else {
        const QByteArray bytes = file.readAll();
        if (!bytes.isEmpty())
            result = LoadFromMemory(static_cast<std::int32_t>(bytes.size()), bytes.constData());
    }
    file.close();
    dataSize = static_cast<std::int32_t>(std::min<qint64>(length, std::numeric_limits<std::int32_t>::max()));
    if (picture.isNull()) {
        height = 0;
        width = 0;
        return false;
    }
    const QSize himetric = HimetricSize();
    height = MulDiv(himetric.height(), kScreenDpi, kHimetricPerInch);
    width = MulDiv(himetric.width(), kScreenDpi, kHimetricPerInch);
    return result;
}

bool CPicture::LoadFromMemory(std::int32_t count, const void *bytes)
{
    picture = QImage();
    if (count <= 0 || !bytes)
        return false;
    if (!QImageReader::supportedImageFormats().contains("jpeg")) {
        ShowError(kNoPictureInterface);
        return false;
    }
    const QByteArray data = QByteArray::fromRawData(static_cast<const char *>(bytes), count);
    QBuffer stream;
    stream.setData(data);
    stream.open(QIODevice::ReadOnly);
    QImageReader reader(&stream);
    // The size comes from the header, before any pixel is decoded.
    const QSize size = reader.size();
    if (size.isValid() && qint64(size.width()) * size.height() > kMaxPixels) {
        ShowError(kNoMemory);
        return false;
    }
    reader.setAllocationLimit(int(kMaxPixels * 4 / (1024 * 1024)) + 1);
    QImage decoded = reader.read();
    if (decoded.isNull())
        return false; // not a picture: no message, nothing held
    picture = decoded.convertToFormat(QImage::Format_RGB32);
    return !picture.isNull();
}

bool CPicture::Draw(QPaintDevice *device, const QRect &rect)
{
    if (!device || picture.isNull())
        return false;
    QPainter painter;
    if (!painter.begin(device)) {
        ShowError(kNoMemory);
        return false;
    }
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRectF(rect), picture);
    return true;
}

bool CPicture::MeasureForDevice(const QPaintDevice *device)
{
    if (!device || picture.isNull()) {
        height = 0;
        width = 0;
        return false;
    }
    const QSize himetric = HimetricSize();
    const bool printing = device->devType() == QInternal::Printer;
    const int dpiX = printing ? kScreenDpi : device->logicalDpiX();
    const int dpiY = printing ? kScreenDpi : device->logicalDpiY();
    height = MulDiv(himetric.height(), dpiY, kHimetricPerInch);
    width = MulDiv(himetric.width(), dpiX, kHimetricPerInch);
    return true;
}
