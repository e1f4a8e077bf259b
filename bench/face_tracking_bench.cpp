// face_tracking_bench [seconds]: the animation step period of the tracking
// loop, with the real 250 ms / 20 ms timings, on a scripted detector whose
// face jumps between the two sides of the frame so the views keep moving.
// Intervals across a detection pass are left out: only steps in motion count.
#include "platform/dynlib/dynamic_library.h"
#include "tracking/face_detect.h"
#include "tracking/tracking_loop.h"

#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

class TimedEngine final : public TrackingEngine {
public:
    bool GetBitmapInfoHeader(media::BITMAPINFOHEADER *h) override
    {
        h->biWidth = 320;
        h->biHeight = 240;
        return true;
    }
    bool GetImageSize(media::LONG *size) override { return *size = 230400, true; }
    bool GetImage(void *) override
    {
        std::lock_guard lock(mutex);
        stamps.push_back({});
        return true;
    }
    ViewRect SourcePosition(ViewRole) override { return {0, 0, 320, 240}; }
    ViewRect DestinationPosition(ViewRole) override { return {0, 0, 336, 252}; }
    void SetSourcePosition(ViewRole, const ViewRect &) override
    {
        std::lock_guard lock(mutex);
        stamps.push_back(Clock::now());
    }
    void BindView(ViewRole, media::LONG, media::LONG) override {}
    std::mutex mutex;
    std::vector<Clock::time_point> stamps; // default value: a detection pass
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(2, atoi(argv[1])) : 10;
    auto lib = dynlib::DynamicLibrary::Load(QStringLiteral(TALVORA_FIXTURE_ROOT "/scripted/Talvora/libfacedetect.so"));
    if (!lib) {
        std::fprintf(stderr, "scripted detector missing (ninja fixture_facedetect_scripted)\n");
        return 1;
    }
    CFaceDetect detector;
    detector.initEntry = lib->Function<CFaceDetect::InitFn>("RCobj_InitFaceDetect");
    detector.detectEntry = lib->Function<CFaceDetect::DetectFn>("RCobj_detectfaces");
    detector.objectEntry = lib->Function<CFaceDetect::GetObjectFn>("RCobj_getObject");
    auto add = lib->Function<void (*)(int, std::int32_t, const std::int32_t *, const std::int32_t *)>("ScriptedAdd");
    const std::int32_t left[4] = {10, 80, 40, 40}, right[4] = {270, 80, 40, 40};
    for (int i = 0; i < 12; ++i)
        add(9, 1, i % 2 ? right : left, nullptr);

    TimedEngine engine;
    std::atomic<bool> run{true}, finished{true};
    media::BITMAPINFOHEADER header{};
    std::int32_t initialised = 0, w = 0, h = 0;
    TrackingLoop loop(engine, detector, TrackingLink{run, finished, header, initialised, w, h});
    std::thread thread([&] { loop.Run(); });
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    run = false;
    thread.join();

    // One step sets one source (one face): consecutive stamps are step periods.
    std::vector<double> ms;
    for (size_t i = 1; i < engine.stamps.size(); ++i)
        if (engine.stamps[i] != Clock::time_point{} && engine.stamps[i - 1] != Clock::time_point{})
            ms.push_back(std::chrono::duration<double, std::milli>(engine.stamps[i] - engine.stamps[i - 1]).count());
    std::sort(ms.begin(), ms.end());
    if (ms.empty()) {
        std::printf("no animation steps\n");
        return 1;
    }
    std::printf("animation steps over %d s: %zu, period median %.2f ms, p95 %.2f ms, max %.2f ms, later than 40 ms: %ld\n",
                seconds, ms.size(), ms[ms.size() / 2], ms[ms.size() * 95 / 100], ms.back(),
                static_cast<long>(std::count_if(ms.begin(), ms.end(), [](double v) { return v > 40; })));
    return 0;
}
