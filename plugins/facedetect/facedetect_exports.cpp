// The three C entry points the program binds at run time. One caller at a
// time (the tracking thread); the detector is the library's only state.
#include "plugins/facedetect/face_detector.h"

#include <cstdint>
#include <memory>

namespace {
std::unique_ptr<facedetect::FaceDetector> detector;
}

extern "C" {

__attribute__((visibility("default"))) std::int32_t RCobj_InitFaceDetect(std::int32_t width, std::int32_t height)
{
    try {
        detector = std::make_unique<facedetect::FaceDetector>(width, height);
        return detector->Loaded() ? 1 : 0;
    } catch (...) {
        detector.reset();
        return 0;
    }
}

// frame: bottom-up BGR24 rows padded to 4 bytes, of the size given to init.
__attribute__((visibility("default"))) std::int32_t RCobj_detectfaces(unsigned char *frame)
{
    if (!detector)
        return 0;
    try {
        return detector->Detect(frame);
    } catch (...) {
        return 0;
    }
}

// Face index (0 = leftmost) as left, top, width, height, top-down in frame
// pixels. 0 and the outputs untouched when there is no such face.
__attribute__((visibility("default"))) std::int32_t RCobj_getObject(std::int32_t index, std::int32_t *left,
    std::int32_t *top, std::int32_t *width, std::int32_t *height)
{
    if (!detector || !left || !top || !width || !height || index < 0
        || index >= static_cast<std::int32_t>(detector->Faces().size()))
        return 0;
    const facedetect::Box &box = detector->Faces()[static_cast<std::size_t>(index)];
    *left = box.left;
    *top = box.top;
    *width = box.width;
    *height = box.height;
    return 1;
}

} // extern "C"
