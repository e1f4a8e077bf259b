#pragma once
// The still capture of photo mode: the photo preview's buffered frame becomes
// folder + "yyyymmdd-hhmmss.jpg". The frame is written as an uncompressed
// bitmap first, that file is loaded and saved as JPEG at the encoder's default
// quality, and the bitmap is deleted again whatever happened.
#include "platform/media/interfaces.h"

#include <QByteArray>
#include <QString>
#include <chrono>
#include <memory>

namespace imaging {

// Reads grabber's newest frame after a pause of SnapshotWait() and writes the
// JPEG. S_OK when a picture was attempted; the size query's code or
// E_OUTOFMEMORY (" new buffer fail"), the connected-type code
// (" GetConnectedMediaType fail") or VFW_E_INVALIDMEDIATYPE otherwise.
HRESULT TakeSnapshot(const std::shared_ptr<media::ISampleGrabber> &grabber, const QString &folder);

// Index of the first image writer whose MIME type is mime (exact match) in
// QImageWriter::supportedMimeTypes(), with its format name in *format; -1
// when none.
int FindEncoderByMime(const QByteArray &mime, QByteArray *format);

// The 54 bytes in front of the pixels: 14-byte file header and the 40-byte
// information header with zero image size, resolutions and colour counts.
QByteArray BitmapFileHeader(const media::BITMAPINFOHEADER &format, quint32 pixelBytes);

// The pause before the frame is read (500 ms). Tests and benchmarks shorten it.
std::chrono::milliseconds SnapshotWait();
class SnapshotWaitScope {
public:
    explicit SnapshotWaitScope(std::chrono::milliseconds wait);
    ~SnapshotWaitScope();
    SnapshotWaitScope(const SnapshotWaitScope &) = delete;
    SnapshotWaitScope &operator=(const SnapshotWaitScope &) = delete;

private:
    std::chrono::milliseconds previous_;
};

} // namespace imaging
