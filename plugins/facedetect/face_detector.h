#pragma once
// FaceDetector: counts faces in camera frames (bottom-up BGR24 rows padded to
// 4 bytes, the frame format the engines hand out) and reports their boxes
// top-down in frame pixels, numbered from left to right.
//
// Called every 250 ms or so, it follows the faces it knows with a fine search
// near each one (none while nothing there changed), looks for new faces where
// the frame changed and over the whole frame a band of sizes at a time, and
// counts a new face only once a second cascade agrees: at once when it is
// sure, else once the face has been seen again on a later call, so one false
// hit of one cascade never changes the count.
#include "plugins/facedetect/change_map.h"
#include "plugins/facedetect/face_track.h"

#include <opencv2/objdetect.hpp>

#include <cstdint>
#include <list>
#include <string>
#include <vector>

namespace facedetect {

struct Box {
    std::int32_t left = 0, top = 0, width = 0, height = 0;
};

struct DetectorSettings {
    std::string cascadeFile;      // finds and follows faces
    std::string checkCascadeFile; // the second opinion before a face is first counted
    int minSize = 24;             // smallest face, in pixels of a 320 px wide frame
    int sightingsToCount = 2;     // calls a face the second cascade is unsure of must be seen on
};

class FaceDetector {
public:
    // What the plugin ships.
    static DetectorSettings Chosen();
    static std::string CascadePath(const char *file);

    FaceDetector(std::int32_t width, std::int32_t height, DetectorSettings settings = Chosen());

    // False when a cascade file is missing or unreadable: every Detect is 0.
    bool Loaded() const { return loaded_; }
    // Faces in the frame; 0 for a null frame or an unusable size.
    int Detect(const unsigned char *frame);
    const std::vector<Box> &Faces() const { return faces_; }
    // The number of bytes Detect reads from a frame.
    std::size_t FrameBytes() const;

private:
    void ToGrey(const unsigned char *frame);
    void FollowTracks();
    bool Follow(FaceTrack &track);
    static double SearchScale(FaceTrack &track, int side);
    bool Hold(FaceTrack &track, const cv::Rect &window);
    void DropDuplicates();
    void FindNewFaces(const cv::Rect &changed);
    void ScanForNewFaces(const cv::Rect &area, int minFace, int maxFace);
    const cv::Mat &Level(double scale);
    bool Known(const cv::Rect &face) const;
    void ConfirmTracks();
    int SecondOpinion(const FaceTrack &track);
    void Order();
    cv::Mat Patch(const cv::Rect &face) const;

    DetectorSettings settings_;
    cv::CascadeClassifier finder_, checker_;
    bool loaded_ = false;
    std::int32_t width_ = 0, height_ = 0;
    int nextBand_ = 0, sinceBand_ = 0, urgentBands_ = 0;
    ChangeMap changes_;
    std::vector<FaceTrack> tracks_;
    std::vector<int> order_; // ids of the counted faces, in the order reported
    int nextId_ = 0;
    std::vector<Box> faces_;
    cv::Mat grey_;
    std::list<cv::Mat> levels_; // the frame scaled down, as this call needed it
};

} // namespace facedetect
