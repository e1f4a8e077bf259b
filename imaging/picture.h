#pragma once
// CPicture: a stored photo drawn into the whole view in photo mode.
// Not built yet beyond measuring: loading and drawing come with the picture display.
#include <QSize>

class QWidget;

class CPicture {
public:
    virtual ~CPicture() = default;
    // Takes the device's measure for later drawing; with no picture loaded the size is zero.
    void MeasureForDevice(const QWidget *device);
    QSize Size() const { return size_; }

private:
    QSize size_;
};
