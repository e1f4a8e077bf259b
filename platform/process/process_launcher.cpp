#include "platform/process/process_launcher.h"

#include <QFile>
#include <QProcess>
#include <cerrno>
#include <cstdio>
#include <unistd.h>

namespace process {
namespace {
// Why the program cannot be started, as the system would say it.
int LaunchError(const QString &program)
{
    if (program.isEmpty())
        return ENOENT;
    if (::access(QFile::encodeName(program).constData(), X_OK) != 0)
        return errno;
    return ENOEXEC;
}
} // namespace

bool LaunchProcess(const QString &program)
{
    if (!program.isEmpty() && QProcess::startDetached(program, {}))
        return true;
    std::printf("CreateProcess failed (%d).\n", LaunchError(program));
    std::fflush(stdout);
    return false;
}

} // namespace process
