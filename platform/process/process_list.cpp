#include "platform/process/process_list.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace process {
namespace {
constexpr int kCommLength = 15; // the kernel's limit for /proc/PID/comm

QByteArray ReadProcFile(pid_t pid, const char *entry)
{
    QFile file(QStringLiteral("/proc/%1/%2").arg(pid).arg(QLatin1String(entry)));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.read(64 * 1024);
}

bool SameName(const QString &a, const QString &b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

// A script started through its "#!" line: the kernel names the process after
// the script, and the script's path is argv[0] or argv[1] of the interpreter.
bool RunsScript(pid_t pid, const QString &name)
{
    const QString comm = QString::fromLocal8Bit(ReadProcFile(pid, "comm")).trimmed();
    if (comm.isEmpty() || !SameName(comm, name.left(kCommLength)))
        return false;
    const QList<QByteArray> argv = ReadProcFile(pid, "cmdline").split('\0');
    for (int i = 0; i < 2 && i < argv.size(); ++i)
        if (SameName(QFileInfo(QFile::decodeName(argv[i])).fileName(), name))
            return true;
    return false;
}
} // namespace

std::vector<pid_t> ProcessIds()
{
    std::vector<pid_t> ids;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        bool number = false;
        const int id = entry.toInt(&number);
        if (number && id > 0)
            ids.push_back(static_cast<pid_t>(id));
    }
    return ids;
}

QString GetProcessBaseName(pid_t pid)
{
    const QString exe = QFileInfo(QStringLiteral("/proc/%1/exe").arg(pid)).symLinkTarget();
    if (exe.isEmpty())
        return QStringLiteral("<unknown>");
    QString base = QFileInfo(exe).fileName();
    // An executable replaced on disk while it runs reads "name (deleted)".
    base.remove(QStringLiteral(" (deleted)"));
    return base;
}

bool IsProcessRunning(const QString &name)
{
    if (name.isEmpty())
        return false;
    bool running = false;
    for (const pid_t pid : ProcessIds())
        if (SameName(GetProcessBaseName(pid), name) || RunsScript(pid, name))
            running = true;
    return running;
}

} // namespace process
