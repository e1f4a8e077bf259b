#include "platform/media/recording_status.h"

#include <mutex>
#include <utility>

namespace media {
namespace {
std::mutex statusMutex;
RecordingStatus status;
std::optional<FolderRemovedNotice> folderRemoved;
} // namespace

RecordingStatus CurrentRecording()
{
    std::lock_guard lock(statusMutex);
    return status;
}

void RecordingStarted(const QString &file)
{
    std::lock_guard lock(statusMutex);
    status = RecordingStatus{};
    status.writing = true;
    status.file = file;
}

void RecordingLevel(double peakDb)
{
    std::lock_guard lock(statusMutex);
    if (!status.writing)
        return;
    status.peakDb = peakDb;
    ++status.levelCount;
}

void RecordingWriteFailed()
{
    std::lock_guard lock(statusMutex);
    if (status.writing)
        status.writeFailed = true;
}

void RecordingEnded(const QString &file)
{
    std::lock_guard lock(statusMutex);
    // A writer that is not the current one (already replaced) leaves the status alone.
    if (status.file == file)
        status.writing = false;
}

void RecordingFolderRemoved(const QString &file, bool folderGone, bool kept)
{
    std::lock_guard lock(statusMutex);
    folderRemoved = FolderRemovedNotice{file, folderGone, kept};
}

std::optional<FolderRemovedNotice> TakeFolderRemovedNotice()
{
    std::lock_guard lock(statusMutex);
    return std::exchange(folderRemoved, std::nullopt);
}

} // namespace media
