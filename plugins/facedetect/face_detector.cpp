#include "plugins/facedetect/face_detector.h"

#include <opencv2/core/utility.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>

namespace facedetect {
namespace {

// Larger frames than any camera mode the program uses are refused, so a
// hostile size cannot make the detector allocate or read without bound.
constexpr std::int32_t kMaxSide = 4096;

std::size_t Stride(std::int32_t width) { return ((static_cast<std::size_t>(width) * 24 + 31) / 32) * 4; }

cv::Rect Scaled(const cv::Rect &r, double by)
{
    return {cvRound(r.x * by), cvRound(r.y * by), cvRound(r.width * by), cvRound(r.height * by)};
}

} // namespace

std::string FaceDetector::CascadePath(const char *file) { return std::string(TALVORA_CASCADE_DIR) + "/" + file; }

DetectorSettings FaceDetector::Chosen()
{
    DetectorSettings s;
    s.cascadeFile = CascadePath("haarcascade_frontalface_alt2.xml");
    s.scaleFactor = 1.2;
    s.minNeighbors = 3;
    s.minSize = 24;
    s.frameScale = 1.0;
    s.fullScanEvery = 8;
    return s;
}

FaceDetector::FaceDetector(std::int32_t width, std::int32_t height, DetectorSettings settings)
    : settings_(std::move(settings))
{
    if (width > 0 && height != 0 && width <= kMaxSide && std::abs(height) <= kMaxSide) {
        width_ = width;
        height_ = height;
    }
    // One thread: the machine's other core belongs to the video and the window.
    cv::setNumThreads(1);
    try {
        loaded_ = cascade_.load(settings_.cascadeFile);
    } catch (const cv::Exception &) {
        loaded_ = false;
    }
}

std::size_t FaceDetector::FrameBytes() const { return Stride(width_) * static_cast<std::size_t>(std::abs(height_)); }

int FaceDetector::Detect(const unsigned char *frame)
{
    faces_.clear();
    if (!frame || !loaded_ || width_ == 0)
        return 0;
    const int rows = std::abs(height_);
    const cv::Mat bgr(rows, width_, CV_8UC3, const_cast<unsigned char *>(frame), Stride(width_));
    cv::cvtColor(bgr, grey_, cv::COLOR_BGR2GRAY);
    // A positive height means bottom row first; faces are searched upright.
    if (height_ > 0)
        cv::flip(grey_, grey_, 0);

    std::vector<cv::Rect> found;
    if (!SearchNearPrevious(grey_, &found)) {
        found = ScanWhole(grey_);
        sinceFullScan_ = 0;
    }
    previous_ = found;
    std::sort(found.begin(), found.end(), [](const cv::Rect &a, const cv::Rect &b) { return a.x < b.x; });
    for (const cv::Rect &r : found)
        faces_.push_back({r.x, r.y, r.width, r.height});
    return static_cast<int>(faces_.size());
}

std::vector<cv::Rect> FaceDetector::ScanWhole(const cv::Mat &grey)
{
    std::vector<cv::Rect> faces;
    const double scale = settings_.frameScale;
    cv::Mat small;
    if (scale != 1.0)
        cv::resize(grey, small, cv::Size(), scale, scale, cv::INTER_AREA);
    const cv::Mat &img = scale != 1.0 ? small : grey;
    const int minSide = std::max(1, cvRound(settings_.minSize * scale));
    cascade_.detectMultiScale(img, faces, settings_.scaleFactor, settings_.minNeighbors, 0,
                              cv::Size(minSide, minSide));
    if (scale != 1.0)
        for (cv::Rect &r : faces)
            r = Scaled(r, 1.0 / scale) & cv::Rect(0, 0, grey.cols, grey.rows);
    return faces;
}

// Looks for each face of the previous frame in a window around it, at sizes
// close to its own. Succeeds only when every face is found once again; any
// doubt goes to a whole-frame scan, so the count is never guessed.
bool FaceDetector::SearchNearPrevious(const cv::Mat &grey, std::vector<cv::Rect> *found)
{
    if (settings_.fullScanEvery <= 0 || previous_.empty() || ++sinceFullScan_ >= settings_.fullScanEvery)
        return false;
    const cv::Rect frame(0, 0, grey.cols, grey.rows);
    for (const cv::Rect &face : previous_) {
        const int margin = face.width / 2;
        const cv::Rect window =
            cv::Rect(face.x - margin, face.y - margin, face.width + 2 * margin, face.height + 2 * margin) & frame;
        std::vector<cv::Rect> hits;
        const int minSide = std::max(settings_.minSize, face.width * 3 / 4);
        const int maxSide = face.width * 4 / 3 + 1;
        if (window.width < minSide || window.height < minSide)
            return false;
        cascade_.detectMultiScale(grey(window), hits, settings_.scaleFactor, settings_.minNeighbors, 0,
                                  cv::Size(minSide, minSide), cv::Size(maxSide, maxSide));
        if (hits.size() != 1)
            return false;
        found->push_back(hits[0] + window.tl());
    }
    return true;
}

} // namespace facedetect
