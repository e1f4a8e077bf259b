// face_detect_bench [baseline.so [rounds]]: the shipped libfacedetect.so
// against a baseline build of it (for example the plugin of an earlier
// commit), both reached through their three exports as the tracking loop
// reaches them, on a moving scene composed at test time (one detect call per
// frame, as every 250 ms of the loop) and on the composed still frames.
// Prints counts right, time per call (thread CPU time), the call on which a
// face that came into view was first counted, and how much the box of a
// still face moves. Run it pinned to one core: taskset -c 1.
#include "platform/dynlib/dynamic_library.h"
#include "tests/tracking/face_frames.h"
#include "tests/tracking/scene_score.h"

#include <QGuiApplication>
#include <cstdio>
#include <numeric>

namespace {

struct Plugin {
    const char *label;
    std::shared_ptr<dynlib::DynamicLibrary> module;
    CFaceDetect::InitFn init = nullptr;
    CFaceDetect::DetectFn detect = nullptr;
    CFaceDetect::GetObjectFn object = nullptr;
};

bool Bind(Plugin *p, const QString &path)
{
    p->module = dynlib::DynamicLibrary::Load(path);
    if (!p->module)
        return false;
    p->init = p->module->Function<CFaceDetect::InitFn>("RCobj_InitFaceDetect");
    p->detect = p->module->Function<CFaceDetect::DetectFn>("RCobj_detectfaces");
    p->object = p->module->Function<CFaceDetect::GetObjectFn>("RCobj_getObject");
    return p->init && p->detect && p->object;
}

// Each still frame shown for `passes` calls in a row, as a camera would.
int StillFramesRight(const Plugin &p, const std::vector<faceframes::Frame> &set, int passes, int *total)
{
    p.init(320, 240);
    int right = 0;
    for (const auto &frame : set) {
        auto pixels = faceframes::BottomUpBgr(frame.image);
        int wrong = 0, last = 0;
        for (int pass = 0; pass < passes; ++pass, ++*total) {
            last = p.detect(pixels.data());
            wrong += last != static_cast<int>(frame.faces.size());
        }
        right += passes - wrong;
        if (wrong > 0)
            std::printf("  %s: \"%s\" counted wrong on %d of %d calls (last: %d)\n", p.label, qPrintable(frame.name),
                        wrong, passes, last);
    }
    return right;
}

void Row(const char *what, const char *format, double a, double b)
{
    std::printf("%-52s", what);
    std::printf(format, a);
    std::printf(format, b);
    std::printf("\n");
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen"); // frames are drawn off screen only
    QGuiApplication app(argc, argv);
    const QString baselinePath = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    const int rounds = argc > 2 ? std::max(1, atoi(argv[2])) : 3;
    QString why;
    const QString folder = faceframes::PictureFolder(&why);
    const auto scene = faceframes::MovingScene(folder);
    const auto still = faceframes::ComposedSet(folder);
    if (scene.empty() || still.empty()) {
        std::fprintf(stderr, "no face pictures: %s\n", qPrintable(why));
        return 1;
    }
    Plugin shipped{"shipped", nullptr}, baseline{"baseline", nullptr};
    if (!Bind(&shipped, QStringLiteral(TALVORA_PLUGIN_FILE))) {
        std::fprintf(stderr, "cannot load %s\n", TALVORA_PLUGIN_FILE);
        return 1;
    }
    if (baselinePath.isEmpty() || !Bind(&baseline, baselinePath)) {
        std::fprintf(stderr, "usage: face_detect_bench BASELINE.so [rounds] (cannot load '%s')\n",
                     qPrintable(baselinePath));
        return 1;
    }
    std::printf("moving scene: %d calls, %d rounds; still frames: %d x 12 calls\n", static_cast<int>(scene.size()),
                rounds, static_cast<int>(still.size()));
    std::printf("%-52s%14s%14s\n", "", "shipped", "baseline");
    faceframes::SceneScore score[2];
    std::vector<double> ms[2];
    const Plugin *plugins[2] = {&shipped, &baseline};
    for (int round = 0; round < rounds; ++round)
        for (int i = 0; i < 2; ++i) {
            score[i] = faceframes::ScoreScene(scene, plugins[i]->init, plugins[i]->detect, plugins[i]->object);
            ms[i].insert(ms[i].end(), score[i].callMs.begin(), score[i].callMs.end());
        }
    const double n = score[0].frames;
    Row("scene: counts right (%)", "%14.1f", 100.0 * score[0].countsRight / n, 100.0 * score[1].countsRight / n);
    Row("scene: frames counting a face not there", "%14.0f", score[0].overCounts, score[1].overCounts);
    Row("scene: frames missing a face", "%14.0f", score[0].underCounts, score[1].underCounts);
    Row("scene: time per call, median (ms, thread CPU)", "%14.2f", faceframes::Percentile(ms[0], 0.5),
        faceframes::Percentile(ms[1], 0.5));
    Row("scene: time per call, p95 (ms, thread CPU)", "%14.2f", faceframes::Percentile(ms[0], 0.95),
        faceframes::Percentile(ms[1], 0.95));
    auto mean = [](const std::vector<double> &v) { return std::accumulate(v.begin(), v.end(), 0.0) / v.size(); };
    Row("scene: time per call, mean (ms, thread CPU)", "%14.2f", mean(ms[0]), mean(ms[1]));
    Row("scene: time per call, max (ms, thread CPU)", "%14.2f", faceframes::Percentile(ms[0], 1.0),
        faceframes::Percentile(ms[1], 1.0));
    Row("first counted on call: first face", "%14.0f", score[0].firstCountedStart, score[1].firstCountedStart);
    Row("first counted on call: second face stepping in", "%14.0f", score[0].firstCountedSecond,
        score[1].firstCountedSecond);
    Row("first counted on call: face further away", "%14.0f", score[0].firstCountedFar, score[1].firstCountedFar);
    Row("still face: box width SD (px)", "%14.2f", score[0].stillWidthSd, score[1].stillWidthSd);
    Row("still face: box left edge SD (px)", "%14.2f", score[0].stillLeftSd, score[1].stillLeftSd);
    Row("two still faces: box width SD, worse face (px)", "%14.2f", score[0].twoWidthSd, score[1].twoWidthSd);
    Row("two faces: frames with faces 0 and 1 swapped", "%14.0f", score[0].swaps, score[1].swaps);
    Row("boxes off their face (overlap < 0.4)", "%14.0f", score[0].misplaced, score[1].misplaced);
    for (int i = 0; i < 2; ++i)
        for (const auto &[phase, wrong] : score[i].wrongByPhase)
            std::printf("  %s: %d wrong count(s) in \"%s\"\n", plugins[i]->label, wrong, qPrintable(phase));
    int total[2] = {0, 0};
    const int right0 = StillFramesRight(shipped, still, 12, &total[0]);
    const int right1 = StillFramesRight(baseline, still, 12, &total[1]);
    Row("still frames: counts right (%)", "%14.1f", 100.0 * right0 / total[0], 100.0 * right1 / total[1]);
    return 0;
}
