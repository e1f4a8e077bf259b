#pragma once
// CPicture: a stored photo drawn into the whole view in photo mode.
// Not built yet beyond measuring: loading and drawing come with the picture display.
#include <QRect>
#include <QSize>
#include <QString>
#include <cstdint>

class QPaintDevice;
class QWidget;

class CPicture {
public:
    virtual ~CPicture() = default;
    bool LoadFromFile(const QString &path);
    bool LoadFromMemory(std::int32_t count, const void *bytes);
    // Draws the held picture scaled into rect of device.
    bool Draw(QPaintDevice *device, const QRect &rect);
    // Takes the device's measure for later drawing; with no picture loaded the size is zero.
    bool MeasureForDevice(const QWidget *device);
    QSize Size() const { return size_; }

private:
    QSize size_;
};
