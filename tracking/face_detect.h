#pragma once
// CFaceDetect: the bound face-detection library and its three entry points.
#include <cstdint>
#include <memory>

namespace dynlib { class DynamicLibrary; }
class QWidget;

class CFaceDetect {
public:
    using InitFn = std::int32_t (*)(std::int32_t width, std::int32_t height);
    using DetectFn = std::int32_t (*)(unsigned char *frame);
    using GetObjectFn = std::int32_t (*)(std::int32_t index, std::int32_t *left, std::int32_t *top,
                                         std::int32_t *width, std::int32_t *height);

    // The library file as this platform names it.
    static constexpr const char *kLibraryFile = "libfacedetect.so";

    virtual ~CFaceDetect();

    // Loads the library and looks the entries up; without it shows the
    // information box and leaves the entries empty. True when it loaded.
    bool Bind(QWidget *owner);
    // All three entries present: the tracking loop may run.
    bool IsComplete() const { return initEntry && detectEntry && objectEntry; }

    InitFn initEntry = nullptr;
    DetectFn detectEntry = nullptr;
    GetObjectFn objectEntry = nullptr;
    std::shared_ptr<dynlib::DynamicLibrary> module;
};
