#include "platform/media/media_runtime.h"

#include <gst/gst.h>

namespace media {

void InitializeRuntime(int *argc, char ***argv)
{
    if (!gst_is_initialized())
        gst_init(argc, argv);
}

bool EnsureRuntime()
{
    if (gst_is_initialized())
        return true;
    GError *error = nullptr;
    const bool started = gst_init_check(nullptr, nullptr, &error);
    g_clear_error(&error);
    return started;
}

} // namespace media
