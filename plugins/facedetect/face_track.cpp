#include "plugins/facedetect/face_track.h"

#include <algorithm>
#include <cmath>

namespace facedetect {
namespace {

// Changes smaller than the band are camera noise and leave the box where it
// is; a larger change moves the box to within the band of the new value, so
// a face that really moves is followed with a lag of at most the band.
double DeadBand(double shown, double measured, double band)
{
    const double d = measured - shown;
    if (std::abs(d) <= band)
        return shown;
    return measured - std::copysign(band, d);
}

double PositionBand(double width) { return std::max(2.0, 0.04 * width); }
double SizeBand(double width) { return std::max(2.0, 0.05 * width); }

} // namespace

FaceTrack::FaceTrack(int id, const cv::Rect &seen)
    : id_(id), raw_(seen), cx_(seen.x + seen.width / 2.0), cy_(seen.y + seen.height / 2.0), width_(seen.width)
{
    widths_[0] = seen.width;
    widthCount_ = 1;
}

void FaceTrack::Seen(const cv::Rect &raw)
{
    const cv::Point before = (raw_.tl() + raw_.br()) / 2, after = (raw.tl() + raw.br()) / 2;
    motion_ = misses_ == 0 ? after - before : cv::Point();
    raw_ = raw;
    misses_ = 0;
    unsearched_ = 0;
    // The box of the scan that found the face is rougher than any fine search
    // after it: the steady box starts again from the first of those.
    if (sightings_++ == 1) {
        widthCount_ = 0;
        cx_ = raw.x + raw.width / 2.0;
        cy_ = raw.y + raw.height / 2.0;
        width_ = raw.width;
    }
    Steady(raw);
}

void FaceTrack::Unchanged()
{
    motion_ = {};
    ++unsearched_;
}

void FaceTrack::Held(const cv::Point &centre)
{
    raw_ = cv::Rect(centre.x - raw_.width / 2, centre.y - raw_.height / 2, raw_.width, raw_.height);
    motion_ = {};
    ++misses_;
    cx_ = DeadBand(cx_, centre.x, PositionBand(width_));
    cy_ = DeadBand(cy_, centre.y, PositionBand(width_));
}

void FaceTrack::Steady(const cv::Rect &raw)
{
    // The median of the last five widths drops the jumps of one or two calls
    // the cascade's scale steps make; what is left goes through the dead band.
    widths_[static_cast<std::size_t>(widthCount_ % 5)] = raw.width;
    ++widthCount_;
    std::array<int, 5> w = widths_;
    const auto n = static_cast<std::ptrdiff_t>(std::min(widthCount_, 5));
    std::nth_element(w.begin(), w.begin() + n / 2, w.begin() + n);
    const double width = w[static_cast<std::size_t>(n / 2)];
    width_ = DeadBand(width_, width, SizeBand(width_));
    cx_ = DeadBand(cx_, raw.x + raw.width / 2.0, PositionBand(width_));
    cy_ = DeadBand(cy_, raw.y + raw.height / 2.0, PositionBand(width_));
}

// At the steadied size, so a raw box that jumped once does not mislead the search.
cv::Rect FaceTrack::Predicted() const
{
    const int side = static_cast<int>(std::lround(width_));
    const cv::Point centre = (raw_.tl() + raw_.br()) / 2 + motion_;
    return {centre.x - side / 2, centre.y - side / 2, side, side};
}

cv::Rect FaceTrack::Box() const
{
    const int side = static_cast<int>(std::lround(width_));
    return {static_cast<int>(std::lround(cx_ - width_ / 2)), static_cast<int>(std::lround(cy_ - width_ / 2)), side,
            side};
}

} // namespace facedetect
