#pragma once
// What the program may know of the recording being written right now, without
// touching the graph: the microphone's level (refreshed at most 10 times a
// second by the file writer's level meter) and whether writing the file failed.
// Written by the file writer from media threads, read from any thread.
#include <QString>
#include <cstdint>
#include <optional>

namespace media {

struct RecordingStatus {
    bool writing = false;      // a file writer is running
    QString file;              // the file it writes
    double peakDb = -1000.0;   // loudest sample of the last level interval, dBFS
    std::uint64_t levelCount = 0; // level intervals measured since the writer started
    bool writeFailed = false;  // the file sink reported an error (disk full, folder gone)
};

RecordingStatus CurrentRecording();

// For the file writer.
void RecordingStarted(const QString &file);
void RecordingLevel(double peakDb);
void RecordingWriteFailed();
void RecordingEnded(const QString &file);

// The file (or its whole folder, folderGone) was removed while it was written;
// kept tells whether the writer put it back under its name. Taken once, by
// whoever tells the user.
struct FolderRemovedNotice {
    QString file;
    bool folderGone = false;
    bool kept = false;
};
void RecordingFolderRemoved(const QString &file, bool folderGone, bool kept);
std::optional<FolderRemovedNotice> TakeFolderRemovedNotice();

} // namespace media
