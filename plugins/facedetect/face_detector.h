#pragma once
// FaceDetector: counts faces in camera frames (bottom-up BGR24 rows padded to
// 4 bytes, the frame format the engines hand out) and reports their boxes
// top-down in frame pixels, numbered from left to right.
#include <opencv2/objdetect.hpp>

#include <cstdint>
#include <string>
#include <vector>

namespace facedetect {

struct Box {
    std::int32_t left = 0, top = 0, width = 0, height = 0;
};

struct DetectorSettings {
    std::string cascadeFile;  // full path of the cascade
    double scaleFactor = 1.2; // pyramid step of the scan
    int minNeighbors = 3;     // overlapping hits a face needs
    int minSize = 24;         // smallest face searched, in frame pixels
    double frameScale = 1.0;  // scan on the frame scaled by this (0.5: half size)
    // Search first around the faces of the previous frame, at their scales,
    // and scan the whole frame only every fullScanEvery frames or when a
    // face is not found again. 0 scans the whole frame every time.
    int fullScanEvery = 0;
};

class FaceDetector {
public:
    // What the plugin ships: chosen by bench/face_detect_bench.
    static DetectorSettings Chosen();
    static std::string CascadePath(const char *file);

    FaceDetector(std::int32_t width, std::int32_t height, DetectorSettings settings = Chosen());

    // False when the cascade file is missing or unreadable: every Detect is 0.
    bool Loaded() const { return loaded_; }
    // Faces in the frame; 0 for a null frame or an unusable size.
    int Detect(const unsigned char *frame);
    const std::vector<Box> &Faces() const { return faces_; }
    // The number of bytes Detect reads from a frame.
    std::size_t FrameBytes() const;

private:
    std::vector<cv::Rect> ScanWhole(const cv::Mat &grey);
    bool SearchNearPrevious(const cv::Mat &grey, std::vector<cv::Rect> *found);

    DetectorSettings settings_;
    cv::CascadeClassifier cascade_;
    bool loaded_ = false;
    std::int32_t width_ = 0, height_ = 0;
    int sinceFullScan_ = 0;
    std::vector<cv::Rect> previous_;
    std::vector<Box> faces_;
    cv::Mat grey_;
};

} // namespace facedetect
