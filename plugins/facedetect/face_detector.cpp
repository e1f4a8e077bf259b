#include "plugins/facedetect/face_detector.h"

#include <opencv2/core/utility.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>

namespace facedetect {
namespace {

// Larger frames than any camera mode the program uses are refused, so a
// hostile size cannot make the detector allocate or read without bound.
constexpr std::int32_t kMaxSide = 4096;
// A known face is searched for on a picture scaled so that it is about this
// wide: every face then costs the same, and the box keeps a pixel's precision
// at the sizes a desk camera sees.
constexpr double kFollowSide = 40.0;
// The patch a face is remembered by, and how alike the picture must still be
// to keep a face the cascade missed for a call (a blink, a turned head).
constexpr int kPatchSide = 24;
constexpr double kHoldCorrelation = 0.7;
constexpr int kMaxHeld = 8;
constexpr int kMaxUnsearched = 3;
// More faces than this in one picture is a crowd: the caller shows the whole view.
constexpr std::size_t kMaxTracks = 6;
// Windows of the second cascade that make a face counted on its first call.
constexpr int kSureAgreement = 6;

std::size_t Stride(std::int32_t width) { return ((static_cast<std::size_t>(width) * 24 + 31) / 32) * 4; }

cv::Rect Scaled(const cv::Rect &r, double by)
{
    return {cvRound(r.x * by), cvRound(r.y * by), cvRound(r.width * by), cvRound(r.height * by)};
}

cv::Rect Grown(const cv::Rect &r, int margin)
{
    return {r.x - margin, r.y - margin, r.width + 2 * margin, r.height + 2 * margin};
}

cv::Point Centre(const cv::Rect &r) { return {r.x + r.width / 2, r.y + r.height / 2}; }

double IoU(const cv::Rect &a, const cv::Rect &b)
{
    const double inter = (a & b).area();
    const double uni = a.area() + b.area() - inter;
    return uni > 0 ? inter / uni : 0.0;
}

bool LoadCascade(cv::CascadeClassifier *cascade, const std::string &file)
{
    try {
        return cascade->load(file);
    } catch (const cv::Exception &) {
        return false;
    }
}

} // namespace

std::string FaceDetector::CascadePath(const char *file) { return std::string(TALVORA_CASCADE_DIR) + "/" + file; }

DetectorSettings FaceDetector::Chosen()
{
    DetectorSettings s;
    s.cascadeFile = CascadePath("haarcascade_frontalface_alt2.xml");
    s.checkCascadeFile = CascadePath("haarcascade_frontalface_default.xml");
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
    loaded_ = LoadCascade(&finder_, settings_.cascadeFile)
        && (settings_.checkCascadeFile.empty() || LoadCascade(&checker_, settings_.checkCascadeFile));
}

std::size_t FaceDetector::FrameBytes() const { return Stride(width_) * static_cast<std::size_t>(std::abs(height_)); }

int FaceDetector::Detect(const unsigned char *frame)
{
    faces_.clear();
    if (!frame || !loaded_ || width_ == 0)
        return 0;
    ToGrey(frame);
    levels_.clear();
    std::vector<cv::Rect> known;
    for (const FaceTrack &t : tracks_)
        known.push_back(Grown(t.Predicted(), t.Raw().width / 2));
    const cv::Rect changed = changes_.Update(grey_, known);
    FollowTracks();
    FindNewFaces(changed);
    ConfirmTracks();
    Order();
    for (int id : order_) {
        const auto t = std::find_if(tracks_.begin(), tracks_.end(), [id](const FaceTrack &f) { return f.Id() == id; });
        const cv::Rect box = t->Box() & cv::Rect(0, 0, grey_.cols, grey_.rows);
        faces_.push_back({box.x, box.y, box.width, box.height});
    }
    return static_cast<int>(faces_.size());
}

void FaceDetector::ToGrey(const unsigned char *frame)
{
    const int rows = std::abs(height_);
    const cv::Mat bgr(rows, width_, CV_8UC3, const_cast<unsigned char *>(frame), Stride(width_));
    cv::cvtColor(bgr, grey_, cv::COLOR_BGR2GRAY);
    // A positive height means bottom row first; faces are searched upright.
    if (height_ > 0)
        cv::flip(grey_, grey_, 0);
}

void FaceDetector::FollowTracks()
{
    tracks_.erase(std::remove_if(tracks_.begin(), tracks_.end(), [this](FaceTrack &t) { return !Follow(t); }),
                  tracks_.end());
    DropDuplicates();
}

// The face is searched at a few fixed scales (powers of 0.8) that keep it
// about kFollowSide wide; a track changes scale only once its face has grown
// or shrunk well past the next one.
double FaceDetector::SearchScale(FaceTrack &track, int side)
{
    const double ideal = std::log(std::min(1.0, kFollowSide / side)) / std::log(0.8);
    if (track.searchLevel < 0 || std::abs(ideal - track.searchLevel) > 0.75)
        track.searchLevel = static_cast<int>(std::lround(ideal));
    return std::pow(0.8, track.searchLevel);
}

// The fine search: around where the face should be, at sizes close to its own.
bool FaceDetector::Follow(FaceTrack &track)
{
    // A counted face in a part of the picture that did not change at all is
    // still there: a person sitting still costs nothing to follow. It is
    // searched again every few calls all the same, for moves too slow to see.
    if (track.Counted() && track.Misses() == 0 && track.Unsearched() < kMaxUnsearched
        && !changes_.ChangedIn(Grown(track.Raw(), track.Raw().width / 4))) {
        track.Unchanged();
        return true;
    }
    const cv::Rect predicted = track.Predicted();
    const int side = predicted.width;
    const cv::Rect window = Grown(predicted, std::max(side / 2, 12)) & cv::Rect(0, 0, grey_.cols, grey_.rows);
    if (window.width < settings_.minSize || window.height < settings_.minSize)
        return false;
    const double scale = SearchScale(track, side);
    cv::Mat area = grey_(window);
    if (scale < 1.0)
        cv::resize(area, area, cv::Size(), scale, scale, cv::INTER_AREA);
    // Sizes around kFollowSide, the same whatever the box: a search that
    // followed the box would let the box creep.
    const int minSide = 26, maxSide = 60;
    std::vector<cv::Rect> hits;
    if (area.cols >= minSide && area.rows >= minSide)
        finder_.detectMultiScale(area, hits, 1.1, 2, 0, cv::Size(minSide, minSide), cv::Size(maxSide, maxSide));
    // The hit most like the face as it was: nearest and of the closest size.
    const auto nearest = std::max_element(hits.begin(), hits.end(), [&](const cv::Rect &a, const cv::Rect &b) {
        return IoU(Scaled(a, 1 / scale) + window.tl(), predicted) < IoU(Scaled(b, 1 / scale) + window.tl(), predicted);
    });
    if (nearest != hits.end()) {
        const cv::Rect raw = Scaled(*nearest, 1 / scale) + window.tl();
        track.Seen(raw);
        track.patch = Patch(raw);
        return true;
    }
    // A face not yet counted that is not found again was a false hit.
    if (!track.Counted() || track.Misses() >= kMaxHeld)
        return false;
    return Hold(track, window);
}

// The cascade missed a counted face: keep it while its own picture is still
// near where it was (a blink, a head turned a little). A face that left takes
// its picture with it.
bool FaceDetector::Hold(FaceTrack &track, const cv::Rect &window)
{
    if (track.patch.empty())
        return false;
    const double scale = double(kPatchSide) / track.Raw().width;
    cv::Mat area;
    cv::resize(grey_(window), area, cv::Size(), scale, scale, cv::INTER_AREA);
    if (area.cols < kPatchSide || area.rows < kPatchSide)
        return false;
    cv::Mat score;
    cv::matchTemplate(area, track.patch, score, cv::TM_CCOEFF_NORMED);
    double best = 0;
    cv::Point at;
    cv::minMaxLoc(score, nullptr, &best, nullptr, &at);
    if (best < kHoldCorrelation)
        return false;
    const cv::Point centre = at + cv::Point(kPatchSide / 2, kPatchSide / 2);
    track.Held(window.tl() + cv::Point(cvRound(centre.x / scale), cvRound(centre.y / scale)));
    return true;
}

// Two tracks that ended on the same face: the counted one stays (the first
// when both are).
void FaceDetector::DropDuplicates()
{
    for (std::size_t i = 0; i < tracks_.size(); ++i)
        for (std::size_t j = i + 1; j < tracks_.size();) {
            if (IoU(tracks_[i].Raw(), tracks_[j].Raw()) < 0.3) {
                ++j;
                continue;
            }
            const bool keepFirst = tracks_[i].Counted() || !tracks_[j].Counted();
            if (!keepFirst)
                std::swap(tracks_[i], tracks_[j]);
            tracks_.erase(tracks_.begin() + static_cast<std::ptrdiff_t>(j));
        }
}

// The search for new faces. Where the frame changed it looks at every size,
// since a face that comes into view changes the picture. Besides, every other
// call it looks over the whole frame for one band of sizes, so a face missed
// on arrival is still found within ten calls, while no single call pays for a
// whole-frame scan. The smallest faces cost more than all others together to
// look for everywhere: only a change finds those under 26 px.
void FaceDetector::FindNewFaces(const cv::Rect &changed)
{
    if (tracks_.size() >= kMaxTracks)
        return;
    const cv::Rect frame(0, 0, grey_.cols, grey_.rows);
    const cv::Rect area = changed.empty() ? cv::Rect() : Grown(changed, grey_.cols / 10) & frame;
    // A change of most of the frame is a new scene: its faces under 36 px
    // come from the bands, on each of the next calls.
    if (area.area() > frame.area() / 2)
        urgentBands_ = 5;
    if (!area.empty())
        ScanForNewFaces(area, urgentBands_ == 5 ? 36 : settings_.minSize, 0);
    if (urgentBands_ == 0 && ++sinceBand_ % 2 != 0)
        return;
    urgentBands_ = std::max(0, urgentBands_ - 1);
    static constexpr int kBands[] = {26, 32, 37, 44, 62, 0};
    const int band = nextBand_++ % 5;
    ScanForNewFaces(frame, std::max(kBands[band], settings_.minSize), kBands[band + 1] - 1);
}

// Faces from minFace to maxFace (0: any) wide in area, each size looked for
// on the frame scaled so that the cascade's window is about 27 to 44 px:
// smaller ones miss faces, larger ones are slid pixel by pixel and cost more.
// Face sizes are those of a 320 px wide frame; a larger frame scales them.
void FaceDetector::ScanForNewFaces(const cv::Rect &area, int minFace, int maxFace)
{
    struct Tier {
        double scale;
        int fromFace;
    };
    static constexpr Tier kTiers[] = {{1.0, 0}, {0.65, 44}, {0.4, 68}, {0.25, 110}, {0.15, 176}};
    const double toFrame = grey_.cols / 320.0;
    for (std::size_t i = 0; i < std::size(kTiers); ++i) {
        const double scale = std::min(1.0, kTiers[i].scale / toFrame);
        const int lo = std::max(minFace, kTiers[i].fromFace);
        const int hi = i + 1 < std::size(kTiers) ? kTiers[i + 1].fromFace - 1 : 0;
        const int top = maxFace > 0 && (hi == 0 || maxFace < hi) ? maxFace : hi;
        if (top > 0 && lo > top)
            continue;
        const cv::Rect part = Scaled(area, scale) & cv::Rect(0, 0, cvRound(grey_.cols * scale), cvRound(grey_.rows * scale));
        const int minSide = std::max(20, cvRound(lo * toFrame * scale));
        if (part.width < minSide || part.height < minSide)
            continue;
        const cv::Mat &level = Level(scale);
        std::vector<cv::Rect> hits;
        const int maxSide = top > 0 ? cvRound(top * toFrame * scale) + 1 : 0;
        finder_.detectMultiScale(level(part), hits, 1.2, 2, 0, cv::Size(minSide, minSide), cv::Size(maxSide, maxSide));
        for (const cv::Rect &hit : hits) {
            const cv::Rect face = Scaled(hit + part.tl(), 1 / scale) & cv::Rect(0, 0, grey_.cols, grey_.rows);
            if (face.width >= settings_.minSize * toFrame && !Known(face) && tracks_.size() < kMaxTracks)
                tracks_.emplace_back(nextId_++, face);
        }
    }
}

// The frame scaled by scale, made once per call.
const cv::Mat &FaceDetector::Level(double scale)
{
    if (scale >= 1.0)
        return grey_;
    const cv::Size size(cvRound(grey_.cols * scale), cvRound(grey_.rows * scale));
    for (cv::Mat &level : levels_)
        if (level.size() == size)
            return level;
    levels_.emplace_back();
    // Linear keeps the edges the cascade looks for sharper than averaging does.
    cv::resize(grey_, levels_.back(), size, 0, 0, cv::INTER_LINEAR);
    return levels_.back();
}

bool FaceDetector::Known(const cv::Rect &face) const
{
    return std::any_of(tracks_.begin(), tracks_.end(), [&](const FaceTrack &t) {
        return IoU(t.Raw(), face) > 0.2 || t.Raw().contains(Centre(face));
    });
}

// A new face is counted once a second cascade agrees: on its first call when
// that one is sure of it, else once it has been found again on a later call.
void FaceDetector::ConfirmTracks()
{
    for (FaceTrack &t : tracks_) {
        if (t.Counted())
            continue;
        const int agreement = SecondOpinion(t);
        if (agreement >= kSureAgreement || (agreement > 0 && t.Sightings() >= settings_.sightingsToCount))
            t.Confirm();
    }
}

// Another cascade, trained apart from the first, looks at the face: how many
// of its windows agree (0: none). A pattern on a wall that fools one rarely
// fools both, and seldom by much.
int FaceDetector::SecondOpinion(const FaceTrack &track)
{
    if (checker_.empty())
        return kSureAgreement;
    const cv::Rect raw = track.Raw();
    const cv::Rect window = Grown(raw, raw.width / 4) & cv::Rect(0, 0, grey_.cols, grey_.rows);
    const double scale = std::min(1.0, kFollowSide / raw.width);
    cv::Mat area = grey_(window);
    if (scale < 1.0)
        cv::resize(area, area, cv::Size(), scale, scale, cv::INTER_AREA);
    const int minSide = std::max(24, cvFloor(raw.width * scale * 0.7));
    const int maxSide = cvCeil(raw.width * scale * 1.4);
    if (area.cols < minSide || area.rows < minSide)
        return 0;
    std::vector<cv::Rect> hits;
    std::vector<int> windows;
    checker_.detectMultiScale(area, hits, windows, 1.1, 1, 0, cv::Size(minSide, minSide), cv::Size(maxSide, maxSide));
    const cv::Rect local = raw - window.tl();
    int best = 0;
    for (std::size_t i = 0; i < hits.size(); ++i)
        if (IoU(Scaled(hits[i], 1 / scale), local) > 0.3)
            best = std::max(best, windows[i]);
    return best;
}

// Faces are numbered from left to right; two faces sitting still keep their
// numbers even when their boxes jitter past each other a little, and swap
// only once one is clearly on the other's side.
void FaceDetector::Order()
{
    std::vector<int> counted;
    for (const FaceTrack &t : tracks_)
        if (t.Counted())
            counted.push_back(t.Id());
    auto track = [this](int id) -> const FaceTrack & {
        return *std::find_if(tracks_.begin(), tracks_.end(), [id](const FaceTrack &f) { return f.Id() == id; });
    };
    std::vector<int> kept;
    for (int id : order_)
        if (std::find(counted.begin(), counted.end(), id) != counted.end())
            kept.push_back(id);
    if (kept.size() != counted.size()) {
        // Someone came or left: number afresh from left to right.
        std::sort(counted.begin(), counted.end(),
                  [&](int a, int b) { return track(a).CentreX() < track(b).CentreX(); });
        order_ = counted;
        return;
    }
    for (std::size_t i = 0; i + 1 < kept.size(); ++i) {
        const FaceTrack &a = track(kept[i]), &b = track(kept[i + 1]);
        if (a.CentreX() > b.CentreX() + (a.Raw().width + b.Raw().width) / 4.0)
            std::swap(kept[i], kept[i + 1]);
    }
    order_ = kept;
}

cv::Mat FaceDetector::Patch(const cv::Rect &face) const
{
    const cv::Rect inside = face & cv::Rect(0, 0, grey_.cols, grey_.rows);
    if (inside.width < face.width / 2 || inside.height < face.height / 2)
        return {};
    cv::Mat patch;
    cv::resize(grey_(face & inside), patch, cv::Size(kPatchSide, kPatchSide), 0, 0, cv::INTER_AREA);
    return patch;
}

} // namespace facedetect
