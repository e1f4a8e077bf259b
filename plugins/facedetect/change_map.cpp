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
    if (previous_.size() != cells_.size()) {
        cells_.copyTo(previous_);
        return whole;
    }
    cv::absdiff(cells_, previous_, changed_);
    cells_.copyTo(previous_);
    cv::threshold(changed_, changed_, kCellChange, 255, cv::THRESH_BINARY);
    const double sx = double(size.width) / grey.cols, sy = double(size.height) / grey.rows;
    for (const cv::Rect &r : known) {
        const cv::Rect cells(cvFloor(r.x * sx), cvFloor(r.y * sy), cvCeil(r.width * sx) + 1,
                             cvCeil(r.height * sy) + 1);
        changed_(cells & cv::Rect(0, 0, size.width, size.height)).setTo(0);
    }
    const cv::Rect box = cv::boundingRect(changed_);
    if (box.empty())
        return {};
    return cv::Rect(cvFloor(box.x / sx), cvFloor(box.y / sy), cvCeil(box.width / sx), cvCeil(box.height / sy)) & whole;
}

} // namespace facedetect
