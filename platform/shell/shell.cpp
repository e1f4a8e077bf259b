#include "platform/shell/shell.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUrl>
#include <mutex>

namespace shell {
namespace {
std::mutex g_hookMutex;
OpenHook g_openHook;

QString ExecutableDir()
{
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath().section(QLatin1Char('/'), 0, -2);
}
} // namespace

QString DocumentsFolder()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QString home = QDir::homePath();
    if (folder.isEmpty())
        folder = home + QStringLiteral("/Documents");
    if (!QDir().mkpath(folder))
        folder = home;
    while (folder.size() > 1 && folder.endsWith(QLatin1Char('/')))
        folder.chop(1);
    return folder;
}

std::optional<QString> ProgramFilesFolder()
{
    const QByteArray overridden = qgetenv("TALVORA_PROGRAM_FILES");
    if (!overridden.isEmpty())
        return QDir::cleanPath(QString::fromLocal8Bit(overridden));
    const QString exeDir = ExecutableDir();
    if (exeDir.isEmpty())
        return std::nullopt;
    return QDir::cleanPath(exeDir + QStringLiteral("/../lib"));
}

bool OpenWithDefaultHandler(const QString &path)
{
    {
        std::lock_guard lock(g_hookMutex);
        if (g_openHook)
            return g_openHook(path);
    }
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void SetOpenHook(OpenHook hook)
{
    std::lock_guard lock(g_hookMutex);
    g_openHook = std::move(hook);
}

} // namespace shell
