#include "platform/media/recording_marker.h"

#include "platform/diag/diagnostics.h"

#include <QFile>
#include <QSaveFile>
#include <unistd.h>

namespace media {
namespace {
const QString kSuffix = QStringLiteral(".recording");

QByteArray BootId()
{
    QFile f(QStringLiteral("/proc/sys/kernel/random/boot_id"));
    return f.open(QIODevice::ReadOnly) ? f.readAll().trimmed() : QByteArray();
}

QByteArray OwnStamp() { return QByteArray::number(::getpid()) + ' ' + BootId() + '\n'; }
} // namespace

QString RecordingMarkerPath(const QString &file) { return file + kSuffix; }

bool IsRecordingMarker(const QString &markerPath, QString *file)
{
    if (!markerPath.endsWith(kSuffix) || markerPath.size() == kSuffix.size())
        return false;
    if (file)
        *file = markerPath.left(markerPath.size() - kSuffix.size());
    return true;
}

bool WriteRecordingMarker(const QString &file)
{
    QSaveFile marker(RecordingMarkerPath(file));
    if (!marker.open(QIODevice::WriteOnly) || marker.write(OwnStamp()) < 0 || !marker.commit()) {
        diag::OutputDebugString(QStringLiteral("media: cannot write the marker of '%1'").arg(file));
        return false;
    }
    return true;
}

void RemoveRecordingMarker(const QString &file) { QFile::remove(RecordingMarkerPath(file)); }

bool MarkerIsOurs(const QString &markerPath)
{
    QFile f(markerPath);
    return f.open(QIODevice::ReadOnly) && f.read(256) == OwnStamp();
}

} // namespace media
