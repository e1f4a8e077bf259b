#include "capture/component_runtime.h"

#include "platform/diag/diagnostics.h"

#include <gst/gst.h>

namespace capture {

void InitializeComponentRuntime()
{
    if (gst_is_initialized())
        return;
    GError *error = nullptr;
    if (!gst_init_check(nullptr, nullptr, &error))
        diag::OutputDebugString(QStringLiteral("CoInitialize fail"));
    g_clear_error(&error);
}

} // namespace capture
