#include "platform/media/decoder_preload.h"

#include "platform/media/media_runtime.h"

#include <gst/gst.h>
#include <mutex>
#include <pthread.h>
#include <thread>

namespace media {
namespace {

// Loading libav alone takes over 100 ms on a cold start.
constexpr const char *kPlugins[] = {"asf", "libav", "playback", "typefindfunctions", "pbtypes", "app",
                                    "videoconvertscale", "audioconvert", "audioresample", "autodetect", "pulseaudio"};

class Preload {
public:
    void Start()
    {
        std::call_once(started_, [this] {
            thread_ = std::thread([] {
                pthread_setname_np(pthread_self(), "decoder preload");
                for (const char *name : kPlugins)
                    if (GstPlugin *plugin = gst_plugin_load_by_name(name))
                        gst_object_unref(plugin);
            });
        });
    }
    ~Preload()
    {
        if (thread_.joinable())
            thread_.join();
    }

private:
    std::once_flag started_;
    std::thread thread_;
};

} // namespace

void PreloadDecoders()
{
    if (!EnsureRuntime())
        return;
    static Preload preload;
    preload.Start();
}

} // namespace media
