#include "platform/process/instance_lock.h"

#include <QDir>
#include <QFile>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace process {
namespace {

// A folder only this user can enter; refuses one owned by somebody else, since
// another user could otherwise hold our lock and keep the program from starting.
bool EnsurePrivateFolder(const QByteArray &path)
{
    if (mkdir(path.constData(), 0700) != 0 && errno != EEXIST)
        return false;
    struct stat st {};
    if (lstat(path.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != geteuid())
        return false;
    return true;
}

} // namespace

QString InstanceLock::RuntimeFolder()
{
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir(QString::fromLocal8Bit(runtime)).exists())
        return QString::fromLocal8Bit(runtime) + QStringLiteral("/Talvora");
    return QStringLiteral("/tmp/talvora-%1").arg(geteuid());
}

std::unique_ptr<InstanceLock> InstanceLock::TryAcquire(const QString &name)
{
    const QString folder = RuntimeFolder();
    if (!EnsurePrivateFolder(QFile::encodeName(folder)))
        return nullptr;
    const QString path = folder + QLatin1Char('/') + name;
    const int fd = open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return nullptr;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        return nullptr;
    }
    return std::unique_ptr<InstanceLock>(new InstanceLock(fd, path));
}

InstanceLock::~InstanceLock()
{
    flock(fd_, LOCK_UN);
    close(fd_);
}

} // namespace process
