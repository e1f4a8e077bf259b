#pragma once
// CPicture: a stored photo, loaded from its file and drawn scaled into a
// rectangle (photo mode's Play draws it into the whole view). The picture's
// own size is kept in HIMETRIC units (0.01 mm), as the picture service gives
// it; pixel sizes are measured from it for a device.
#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>
#include <cstdint>

class QPaintDevice;

class CPicture {
public:
    CPicture() = default;
    virtual ~CPicture();
    CPicture(const CPicture &) = delete;
    CPicture &operator=(const CPicture &) = delete;

    // Releases any held picture, then loads path. False (with the system's
    // text in the error box when the file cannot be opened) when no picture
    // results.
    bool LoadFromFile(const QString &path);
    // Decodes count bytes into the held picture; false when none results.
    bool LoadFromMemory(std::int32_t count, const void *bytes);
    // Draws the held picture scaled into rect of device, upright.
    bool Draw(QPaintDevice *device, const QRect &rect);
    // Measures the held picture in device's pixels (96 per inch on a printer).
    bool MeasureForDevice(const QPaintDevice *device);

    bool HasPicture() const { return !picture.isNull(); }
    QSize Size() const { return QSize(width, height); }
    std::int32_t DataSize() const { return dataSize; }
    // The picture's own size in 0.01 mm.
    QSize HimetricSize() const;

    // Pictures above this many pixels are refused as too large to hold.
    static constexpr qint64 kMaxPixels = 64LL * 1000 * 1000;

private:
    void Clear();

    QImage picture;
    std::int32_t height = 0;
    std::int32_t dataSize = 0;
    std::int32_t width = 0;
};
