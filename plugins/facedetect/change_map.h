#pragma once
// ChangeMap: where a frame differs from the one before it, in cells of 8 x 8
// pixels. A face cannot appear where nothing changed, so the search for new
// faces between whole-frame scans is limited to the cells that did.
#include <opencv2/core.hpp>

#include <vector>

namespace facedetect {

class ChangeMap {
public:
    // The box of the cells of grey that changed since the last call, leaving
    // out those inside known; the whole frame on the first call.
    cv::Rect Update(const cv::Mat &grey, const std::vector<cv::Rect> &known);
    // Whether anything changed inside box (frame pixels) on the last Update;
    // true on the first call.
    bool ChangedIn(const cv::Rect &box) const;

private:
    cv::Rect Cells(const cv::Rect &box) const;

    cv::Mat cells_, previous_, changed_, moved_;
    bool first_ = true;
};

} // namespace facedetect
