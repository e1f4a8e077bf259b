#include "platform/media/media_runtime.h"

#include <gst/gst.h>

namespace media {

void InitializeRuntime(int *argc, char ***argv)
{
    if (!gst_is_initialized())
        gst_init(argc, argv);
}

} // namespace media
