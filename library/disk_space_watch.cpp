#include "library/disk_space_watch.h"

#include "platform/media/recording_status.h"

#include <QStorageInfo>
#include <algorithm>

namespace library {
namespace {
constexpr qint64 kMinimumFloor = 200LL * 1000 * 1000;
constexpr int kPeriodMs = 3000;
} // namespace

DiskSpaceWatch::DiskSpaceWatch(QObject *parent)
    : QObject(parent),
      freeBytes_([](const QString &folder) {
          const QStorageInfo volume(folder);
          return volume.isValid() ? volume.bytesAvailable() : qint64(-1);
      }),
      writeFailed_([] { return media::CurrentRecording().writeFailed; })
{
    timer_.setInterval(kPeriodMs);
    connect(&timer_, &QTimer::timeout, this, &DiskSpaceWatch::Check);
}

qint64 DiskSpaceWatch::Floor(qint64 bitsPerSecond)
{
    return std::max(kMinimumFloor, bitsPerSecond * 60 / 8);
}

bool DiskSpaceWatch::EnoughSpace(const QString &folder, qint64 bitsPerSecond) const
{
    const qint64 free = freeBytes_(folder);
    return free < 0 || free >= Floor(bitsPerSecond);
}

void DiskSpaceWatch::Start(const QString &folder, qint64 bitsPerSecond)
{
    folder_ = folder;
    bitsPerSecond_ = bitsPerSecond;
    timer_.start();
}

void DiskSpaceWatch::Stop() { timer_.stop(); }

void DiskSpaceWatch::Check()
{
    if (!timer_.isActive())
        return;
    const bool failed = writeFailed_();
    if (!failed && EnoughSpace(folder_, bitsPerSecond_))
        return;
    timer_.stop(); // once per recording
    Q_EMIT StopNeeded(failed ? WriteFailed : DiskFull);
}

} // namespace library
