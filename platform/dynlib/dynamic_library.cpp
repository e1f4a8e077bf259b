#include "platform/dynlib/dynamic_library.h"

#include "platform/diag/diagnostics.h"
#include "platform/shell/shell.h"

#include <QFile>
#include <QFileInfo>
#include <dlfcn.h>

namespace dynlib {

QString DynamicLibrary::ProductFolder()
{
    const auto programFiles = shell::ProgramFilesFolder();
    return programFiles ? *programFiles + QStringLiteral("/Talvora") : QString();
}

std::shared_ptr<DynamicLibrary> DynamicLibrary::Load(const QString &fileName)
{
    if (fileName.isEmpty())
        return nullptr;
    QStringList candidates;
    if (fileName.contains(QLatin1Char('/'))) {
        candidates << fileName;
    } else {
        const QString product = ProductFolder();
        if (!product.isEmpty())
            candidates << product + QLatin1Char('/') + fileName;
        // A bare name makes dlopen use the system search path, never the
        // working directory (unless LD_LIBRARY_PATH is set to include it).
        candidates << fileName;
    }
    for (const QString &candidate : candidates) {
        if (candidate.contains(QLatin1Char('/')) && !QFileInfo::exists(candidate))
            continue;
        if (void *handle = dlopen(QFile::encodeName(candidate).constData(), RTLD_NOW | RTLD_LOCAL))
            return std::shared_ptr<DynamicLibrary>(new DynamicLibrary(handle, candidate));
        diag::OutputDebugString(QStringLiteral("dlopen %1: %2").arg(candidate, QString::fromLocal8Bit(dlerror())));
    }
    return nullptr;
}

DynamicLibrary::~DynamicLibrary() { dlclose(handle_); }

void *DynamicLibrary::Symbol(const char *name) const
{
    dlerror();
    return dlsym(handle_, name);
}

} // namespace dynlib
