#pragma once
// Holds the file a recording writes by a descriptor of its own, so that the
// recording outlives its name: when the folder is removed while the file is
// written (a file manager, a clean-up script), Linux lets the writing go on
// into a file without a name, which is gone once the last descriptor closes.
// At the end the keeper sees that the name no longer leads to the file, makes
// the folder again and writes the file back under its name from the
// descriptor.
#include <QString>

namespace media {

class RecordingKeeper {
public:
    RecordingKeeper() = default;
    ~RecordingKeeper();
    RecordingKeeper(const RecordingKeeper &) = delete;
    RecordingKeeper &operator=(const RecordingKeeper &) = delete;

    // Opens (creating it when missing) the file about to be written.
    bool Hold(const QString &file);
    bool Holding() const { return fd_ >= 0; }
    // The name no longer leads to the held file (removed, or moved away).
    bool Lost() const;
    // Makes the folder again and writes the held bytes under the name
    // (atomically: a partial copy never takes the name). False when it could not.
    bool PutBack() const;
    void Release();

private:
    int fd_ = -1;
    QString file_;
};

} // namespace media
