#include "tests/tracking/scene_score.h"

#include <algorithm>
#include <cmath>
#include <ctime>

namespace faceframes {
namespace {

double ThreadMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

double Sd(const std::vector<double> &v)
{
    if (v.size() < 2)
        return 0;
    double mean = 0, sq = 0;
    for (double x : v)
        mean += x;
    mean /= v.size();
    for (double x : v)
        sq += (x - mean) * (x - mean);
    return std::sqrt(sq / (v.size() - 1));
}

// The first call (from 1) of the run of frames of phase that counts `faces`.
int FirstCounted(const std::vector<Frame> &scene, const std::vector<int> &counts, const QString &phase, int faces)
{
    int call = 0;
    for (std::size_t i = 0; i < scene.size(); ++i) {
        if (scene[i].name != phase)
            continue;
        ++call;
        if (counts[i] == faces)
            return call;
    }
    return 0;
}

} // namespace

double Percentile(std::vector<double> values, double p)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[std::min(values.size() - 1, static_cast<std::size_t>(p * values.size()))];
}

SceneScore ScoreScene(const std::vector<Frame> &scene, CFaceDetect::InitFn init, CFaceDetect::DetectFn detect,
                      CFaceDetect::GetObjectFn object)
{
    SceneScore score;
    init(320, 240);
    std::vector<int> counts;
    std::vector<double> stillWidths, stillLefts, twoWidths[2];
    std::map<QString, int> callOfPhase;
    for (const Frame &frame : scene) {
        auto pixels = BottomUpBgr(frame.image);
        const double t0 = ThreadMs();
        const int n = detect(pixels.data());
        score.callMs.push_back(ThreadMs() - t0);
        counts.push_back(n);
        const int truth = static_cast<int>(frame.faces.size());
        const int call = ++callOfPhase[frame.name];
        ++score.frames;
        score.overCounts += n > truth;
        score.underCounts += n < truth;
        if (n != truth) {
            ++score.wrongByPhase[frame.name];
            continue;
        }
        ++score.countsRight;
        if (n != 1 && n != 2)
            continue; // the loop asks for no box then
        for (int i = 0; i < n; ++i) {
            std::int32_t l = 0, t = 0, w = 0, h = 0;
            object(i, &l, &t, &w, &h);
            const QRect box(l, t, w, h);
            // Faces come left to right: face 0 is the left person.
            score.misplaced += IoU(box, frame.faces[static_cast<std::size_t>(i)]) < 0.4;
            if (frame.name == "two" && i == 0 && IoU(box, frame.faces[0]) < IoU(box, frame.faces[1]))
                ++score.swaps;
            if (call > 4 && frame.name == "still") {
                stillWidths.push_back(w);
                stillLefts.push_back(l);
            }
            if (call > 4 && frame.name == "two")
                twoWidths[i].push_back(w);
        }
    }
    score.firstCountedStart = FirstCounted(scene, counts, "still", 1);
    score.firstCountedSecond = FirstCounted(scene, counts, "two", 2);
    score.firstCountedFar = FirstCounted(scene, counts, "far", 1);
    score.stillWidthSd = Sd(stillWidths);
    score.stillLeftSd = Sd(stillLefts);
    score.twoWidthSd = std::max(Sd(twoWidths[0]), Sd(twoWidths[1]));
    return score;
}

} // namespace faceframes
