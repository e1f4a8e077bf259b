#include "platform/media/recording_keeper.h"

#include "platform/diag/diagnostics.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace media {
namespace {
constexpr qint64 kCopyChunk = 1 << 20;
}

RecordingKeeper::~RecordingKeeper() { Release(); }

bool RecordingKeeper::Hold(const QString &file)
{
    Release();
    fd_ = ::open(QFile::encodeName(file).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd_ < 0) {
        diag::OutputDebugString(QStringLiteral("media: cannot hold the file '%1'").arg(file));
        return false;
    }
    file_ = file;
    return true;
}

bool RecordingKeeper::Lost() const
{
    struct stat held {};
    if (fd_ < 0 || ::fstat(fd_, &held) != 0)
        return false;
    if (held.st_nlink == 0)
        return true;
    struct stat named {};
    if (::stat(QFile::encodeName(file_).constData(), &named) != 0)
        return true;
    return named.st_dev != held.st_dev || named.st_ino != held.st_ino;
}

bool RecordingKeeper::PutBack() const
{
    if (fd_ < 0 || !QDir().mkpath(QFileInfo(file_).absolutePath()))
        return false;
    QFile held;
    if (!held.open(fd_, QIODevice::ReadOnly, QFileDevice::DontCloseHandle) || !held.seek(0))
        return false;
    QSaveFile copy(file_);
    if (!copy.open(QIODevice::WriteOnly))
        return false;
    while (!held.atEnd()) {
        const QByteArray chunk = held.read(kCopyChunk);
        if (chunk.isEmpty() || copy.write(chunk) != chunk.size()) {
            copy.cancelWriting();
            break;
        }
    }
    const bool kept = copy.commit();
    if (!kept)
        diag::OutputDebugString(QStringLiteral("media: cannot put '%1' back: %2").arg(file_, copy.errorString()));
    return kept;
}

void RecordingKeeper::Release()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    file_.clear();
}

} // namespace media
