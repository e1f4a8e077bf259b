#include "platform/media/recording_status.h"

#include <mutex>

namespace media {
namespace {
std::mutex statusMutex;
RecordingStatus status;
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

} // namespace media
