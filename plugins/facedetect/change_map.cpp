#include "plugins/facedetect/change_map.h"

#include <opencv2/imgproc.hpp>

namespace facedetect {
namespace {

constexpr int kCell = 8;
// A cell's mean grey level moves by well under this under camera noise (its
// 64 pixels average the noise out) and by far more when something moves.
constexpr double kCellChange = 6.0;

} // namespace

cv::Rect ChangeMap::Update(const cv::Mat &grey, const std::vector<cv::Rect> &known)
{
    const cv::Size size(std::max(1, grey.cols / kCell), std::max(1, grey.rows / kCell));
    cv::resize(grey, cells_, size, 0, 0, cv::INTER_AREA);
    const cv::Rect whole(0, 0, grey.cols, grey.rows);
    first_ = previous_.size() != cells_.size();
    if (first_) {
        cells_.copyTo(previous_);
        return whole;
    }
    cv::absdiff(cells_, previous_, moved_);
    cells_.copyTo(previous_);
    cv::threshold(moved_, moved_, kCellChange, 255, cv::THRESH_BINARY);
    moved_.copyTo(changed_);
    for (const cv::Rect &r : known)
        changed_(Cells(r)).setTo(0);
    const cv::Rect box = cv::boundingRect(changed_);
    if (box.empty())
        return {};
    return cv::Rect(box.x * kCell, box.y * kCell, box.width * kCell, box.height * kCell) & whole;
}

bool ChangeMap::ChangedIn(const cv::Rect &box) const
{
    if (first_ || moved_.empty())
        return true;
    const cv::Rect cells = Cells(box);
    return cells.empty() || cv::countNonZero(moved_(cells)) > 0;
}

// The cells that hold any part of box.
cv::Rect ChangeMap::Cells(const cv::Rect &box) const
{
    const cv::Rect cells(box.x / kCell, box.y / kCell, (box.x + box.width) / kCell - box.x / kCell + 1,
                         (box.y + box.height) / kCell - box.y / kCell + 1);
    return cells & cv::Rect(0, 0, cells_.cols, cells_.rows);
}

} // namespace facedetect
