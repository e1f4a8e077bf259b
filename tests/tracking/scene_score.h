#pragma once
// ScoreScene: a detector library run over a MovingScene the way the tracking
// loop calls it (init once, then one detect per frame, then the boxes of a
// count of one or two), and what a person watching the views would notice.
#include "tests/tracking/face_frames.h"
#include "tracking/face_detect.h"

#include <map>
#include <vector>

namespace faceframes {

struct SceneScore {
    int frames = 0;
    int countsRight = 0;
    int overCounts = 0;  // frames with more faces counted than there were
    int underCounts = 0; // frames with fewer
    std::map<QString, int> wrongByPhase;
    // The call (from 1) on which a face that came into view was first
    // counted: the first person, the second person, the face further away; 0: never.
    int firstCountedStart = 0, firstCountedSecond = 0, firstCountedFar = 0;
    int swaps = 0;     // frames of two faces whose face 0 is not the left person
    int misplaced = 0; // boxes of rightly counted frames that miss their face (overlap under 0.4)
    double stillWidthSd = 0; // the box width of the still face, after its first 4 calls
    double stillLeftSd = 0;  // its left edge
    double twoWidthSd = 0;   // the larger of the two still faces' box widths
    std::vector<double> callMs; // thread CPU time of each detect call
};

SceneScore ScoreScene(const std::vector<Frame> &scene, CFaceDetect::InitFn init, CFaceDetect::DetectFn detect,
                      CFaceDetect::GetObjectFn object);
double Percentile(std::vector<double> values, double p);

} // namespace faceframes
