#include "capture/component_runtime.h"

#include "platform/diag/diagnostics.h"
#include "platform/media/media_runtime.h"

namespace capture {

void InitializeComponentRuntime()
{
    if (!media::EnsureRuntime())
        diag::OutputDebugString(QStringLiteral("CoInitialize fail"));
}

} // namespace capture
