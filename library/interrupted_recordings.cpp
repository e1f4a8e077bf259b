#include "library/interrupted_recordings.h"

#include "platform/diag/thread_handoff.h"
#include "platform/media/asf_remuxer.h"
#include "platform/media/recording_marker.h"
#include "platform/media/recording_status.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>
#include <pthread.h>

namespace library {
namespace {
constexpr int kRepairTimeoutMs = 30000;

// The file this process is writing right now; its marker is no sign of trouble.
bool BeingWritten(const QString &marker, const QString &file)
{
    if (!media::MarkerIsOurs(marker))
        return false;
    const media::RecordingStatus now = media::CurrentRecording();
    return now.writing && QFileInfo(now.file) == QFileInfo(file);
}

// Room for the remuxed copy beside the original, and some to spare.
bool RoomToRepair(const QFileInfo &file)
{
    const QStorageInfo volume(file.absolutePath());
    return !volume.isValid() || volume.bytesAvailable() > file.size() + 16 * 1024 * 1024;
}
} // namespace

InterruptedRecordings::InterruptedRecordings(QObject *parent) : QObject(parent) {}

InterruptedRecordings::~InterruptedRecordings()
{
    if (worker_.joinable())
        worker_.join();
}

QStringList InterruptedRecordings::FindMarked(const QStringList &folders)
{
    QStringList files;
    for (const QString &folder : folders) {
        const QDir dir(folder);
        const QStringList markers = dir.entryList({QStringLiteral("*.recording")}, QDir::Files | QDir::Hidden);
        for (const QString &name : markers) {
            const QString marker = dir.absoluteFilePath(name);
            QString file;
            if (media::IsRecordingMarker(marker, &file) && !BeingWritten(marker, file))
                files << file;
        }
    }
    return files;
}

int InterruptedRecordings::RepairMarked(const QStringList &folders)
{
    int repaired = 0;
    for (const QString &file : FindMarked(folders)) {
        const QFileInfo info(file);
        if (!info.exists()) {
            media::RemoveRecordingMarker(file);
            continue;
        }
        if (!RoomToRepair(info))
            continue;
        if (media::RepairAsfFile(file, kRepairTimeoutMs) == media::RepairResult::Repaired)
            ++repaired;
        media::RemoveRecordingMarker(file);
    }
    return repaired;
}

void InterruptedRecordings::RepairInBackground(const QStringList &folders)
{
    {
        std::lock_guard lock(mutex_);
        for (const QString &f : folders)
            if (!pending_.contains(f))
                pending_ << f;
        if (busy_)
            return;
        busy_ = true;
    }
    if (worker_.joinable())
        worker_.join(); // the last pass has ended; only its thread is left
    worker_ = std::thread([this] { Work(); });
}

void InterruptedRecordings::Work()
{
    pthread_setname_np(pthread_self(), "talvora-repair");
    int repaired = 0;
    for (;;) {
        QStringList folders;
        {
            std::lock_guard lock(mutex_);
            folders.swap(pending_);
            if (folders.isEmpty()) {
                busy_ = false;
                break;
            }
        }
        repaired += RepairMarked(folders);
    }
    QMetaObject::invokeMethod(this, diag::QueuedCall([this, repaired] { Q_EMIT Done(repaired); }),
                              Qt::QueuedConnection);
}

} // namespace library
