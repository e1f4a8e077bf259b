#include "audio/mic_array_status.h"

#include "platform/diag/diagnostics.h"
#include "platform/dynlib/dynamic_library.h"


bool LoadMicArrayStatus(std::shared_ptr<void> &moduleSlot, bool &status)
{
    auto library = dynlib::DynamicLibrary::Load(QString::fromLatin1(kMicArrayLibraryFile));
    moduleSlot = library;
    if (!library) {
        diag::OutputDebugString(QStringLiteral("[ReDizeVud] LoadLibrary fail!."));
        return false;
    }
    using StatusFn = int (*)();
    auto getStatus = library->Function<StatusFn>("GetMicArrayStatus");
    if (!getStatus) {
        // The loader has no error number of its own; report the one a missing
        // export always has (ERROR_PROC_NOT_FOUND).
        constexpr int kProcNotFound = 127;
        diag::OutputDebugString(diag::Format("[ReDizeVud] GetProcAddress fail!. %d", kProcNotFound));
        return false;
    }
    status = static_cast<unsigned char>(getStatus() & 0xFF) != 0;
    return true;
}
