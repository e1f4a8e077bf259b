#include "imaging/snapshot_writer.h"

#include "library/media_paths.h"
#include "platform/diag/diagnostics.h"

#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QSaveFile>
#include <QThread>
#include <QtEndian>
#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <stdexcept>
#include <vector>

using namespace media;

namespace imaging {
namespace {

std::atomic<long long> waitMs{500};

constexpr quint16 kBitmapFileType = 0x4D42; // "BM"
constexpr quint32 kBitmapHeadersSize = 54;

template <class T>
void Put(QByteArray &out, T value)
{
    const T little = qToLittleEndian(value);
    out.append(reinterpret_cast<const char *>(&little), sizeof little);
}

// Deletes the intermediate bitmap on every way out.
class TemporaryFile {
public:
    explicit TemporaryFile(QString path) : path_(std::move(path)) {}
    ~TemporaryFile() { QFile::remove(path_); }
    TemporaryFile(const TemporaryFile &) = delete;
    TemporaryFile &operator=(const TemporaryFile &) = delete;
    const QString &Path() const { return path_; }

private:
    QString path_;
};

bool FrameFillsFormat(const BITMAPINFOHEADER &format, size_t bytes)
{
    if (format.biWidth <= 0 || format.biHeight == 0 || format.biBitCount == 0)
        return false;
    const qint64 needed = qint64(DibStride(format.biWidth, format.biBitCount)) * std::abs(qint64(format.biHeight));
    return qint64(bytes) >= needed;
}

bool WriteBitmap(const QString &path, const BITMAPINFOHEADER &format, const std::vector<char> &pixels)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const QByteArray header = BitmapFileHeader(format, static_cast<quint32>(pixels.size()));
    return file.write(header) == header.size()
        && file.write(pixels.data(), static_cast<qint64>(pixels.size())) == static_cast<qint64>(pixels.size());
}

// Saved through a temporary file so that a failed save never leaves a
// truncated picture (or destroys the one of the same name already there).
void SaveAsJpeg(const QString &bitmapPath, const QString &jpegPath)
{
    QImage image;
    if (!image.load(bitmapPath, "BMP"))
        return;
    QByteArray format;
    if (FindEncoderByMime("image/jpeg", &format) < 0)
        return;
    QSaveFile out(jpegPath);
    if (!out.open(QIODevice::WriteOnly))
        return;
    QImageWriter writer(&out, format);
    if (writer.write(image))
        out.commit();
    else
        out.cancelWriting();
}

} // namespace

QByteArray BitmapFileHeader(const BITMAPINFOHEADER &format, quint32 pixelBytes)
{
    QByteArray out;
    out.reserve(kBitmapHeadersSize);
    Put<quint16>(out, kBitmapFileType);
    Put<quint32>(out, pixelBytes + kBitmapHeadersSize);
    Put<quint16>(out, 0);
    Put<quint16>(out, 0);
    Put<quint32>(out, kBitmapHeadersSize);
    Put<quint32>(out, 40);
    Put<qint32>(out, format.biWidth);
    Put<qint32>(out, format.biHeight);
    Put<quint16>(out, format.biPlanes);
    Put<quint16>(out, format.biBitCount);
    for (int field = 0; field < 6; ++field) // compression, image size, resolutions, colour counts
        Put<quint32>(out, 0);
    return out;
}

int FindEncoderByMime(const QByteArray &mime, QByteArray *format)
{
    const QList<QByteArray> mimes = QImageWriter::supportedMimeTypes();
    for (int index = 0; index < mimes.size(); ++index) {
        if (mimes[index] != mime)
            continue;
        const QList<QByteArray> formats = QImageWriter::imageFormatsForMimeType(mime);
        if (format)
            *format = formats.isEmpty() ? QByteArray() : formats.first();
        return index;
    }
    return -1;
}

HRESULT TakeSnapshot(const std::shared_ptr<ISampleGrabber> &grabber, const QString &folder)
{
    const QString bitmapPath = library::MakeCaptureFileName(folder, QStringLiteral(".bmp"));
    const QString jpegPath = library::MakeCaptureFileName(folder, QStringLiteral(".jpg"));
    QThread::msleep(static_cast<unsigned long>(SnapshotWait().count()));
    // Nothing to read before the photo preview has started.
    if (!grabber)
        return VFW_E_WRONG_STATE;

    LONG size = 0;
    HRESULT hr = grabber->GetCurrentBuffer(&size, nullptr);
    // No frame yet: there is no size to allocate, and no picture to take.
    if (Failed(hr))
        return hr;
    std::vector<char> pixels;
    try {
        pixels.resize(static_cast<size_t>(size));
    } catch (const std::exception &) {
        diag::OutputDebugString(QStringLiteral(" new buffer fail"));
        return hr;
    }
    grabber->GetCurrentBuffer(&size, pixels.data());
    pixels.resize(static_cast<size_t>(std::max<LONG>(size, 0)));

    AM_MEDIA_TYPE mt;
    hr = grabber->GetConnectedMediaType(&mt);
    if (Failed(hr)) {
        diag::OutputDebugString(QStringLiteral(" GetConnectedMediaType fail"));
        return hr;
    }
    const VIDEOINFOHEADER *vih = mt.VideoInfo();
    if (!vih) {
        FreeMediaType(mt);
        return VFW_E_INVALIDMEDIATYPE;
    }
    const BITMAPINFOHEADER format = vih->bmiHeader;
    FreeMediaType(mt);
    // A frame that does not fill its format (it changed between the reads)
    // would make a picture of stale memory; take none.
    if (!FrameFillsFormat(format, pixels.size()))
        return VFW_E_INVALIDMEDIATYPE;

    const TemporaryFile bitmap(bitmapPath);
    if (WriteBitmap(bitmap.Path(), format, pixels))
        SaveAsJpeg(bitmap.Path(), jpegPath);
    return S_OK;
}

std::chrono::milliseconds SnapshotWait() { return std::chrono::milliseconds(waitMs.load()); }

SnapshotWaitScope::SnapshotWaitScope(std::chrono::milliseconds wait) : previous_(SnapshotWait())
{
    waitMs = wait.count();
}

SnapshotWaitScope::~SnapshotWaitScope() { waitMs = previous_.count(); }

} // namespace imaging
