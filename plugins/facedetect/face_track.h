#pragma once
// FaceTrack: one face followed from call to call. It keeps where the cascade
// last saw the face, a steadied box for the caller (camera noise moves the
// raw box by several pixels; a real move must still move the box), and how
// far the face is on its way to being counted.
#include <opencv2/core.hpp>

#include <array>

namespace facedetect {

class FaceTrack {
public:
    FaceTrack(int id, const cv::Rect &seen);

    // The cascade found the face again at raw.
    void Seen(const cv::Rect &raw);
    // The cascade missed it but its picture is still there, centred at centre.
    void Held(const cv::Point &centre);
    // Nothing changed where the face is: it is where it was.
    void Unchanged();
    // Passed the second check: counted from now on.
    void Confirm() { counted_ = true; }

    // Where to look next: the last box moved on by the last motion.
    cv::Rect Predicted() const;
    const cv::Rect &Raw() const { return raw_; }
    // The steadied box, square as the cascade reports faces.
    cv::Rect Box() const;
    int Id() const { return id_; }
    double CentreX() const { return cx_; }
    int Sightings() const { return sightings_; }
    int Misses() const { return misses_; }
    int Unsearched() const { return unsearched_; }
    bool Counted() const { return counted_; }

    // The face as last seen, for finding it when the cascade misses it.
    cv::Mat patch;
    // The scale it is searched at, as a power of 0.8; -1 before the first search.
    int searchLevel = -1;

private:
    void Steady(const cv::Rect &raw);

    int id_;
    cv::Rect raw_;
    cv::Point motion_;
    double cx_ = 0, cy_ = 0, width_ = 0;
    std::array<int, 5> widths_{}; // the last raw widths, for their median
    int widthCount_ = 0;
    int sightings_ = 1;
    int misses_ = 0;
    int unsearched_ = 0;
    bool counted_ = false;
};

} // namespace facedetect
