// face_detect_bench [passes]: time per 320 x 240 frame (grey conversion and
// flip included) and counts right on the composed face set, for the detector
// the plugin ships against the stock cascades and the usual shortcuts. Each
// frame is shown for `passes` detections in a row, as a camera would.
#include "plugins/facedetect/face_detector.h"
#include "tests/tracking/face_frames.h"

#include <QGuiApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>

namespace {

struct Candidate {
    const char *name;
    facedetect::DetectorSettings settings;
};

facedetect::DetectorSettings Haar(const char *file, double scale, int neighbours, int minSize, double frameScale = 1.0,
                                  int fullScanEvery = 0)
{
    facedetect::DetectorSettings s;
    s.cascadeFile = facedetect::FaceDetector::CascadePath(file);
    s.scaleFactor = scale;
    s.minNeighbors = neighbours;
    s.minSize = minSize;
    s.frameScale = frameScale;
    s.fullScanEvery = fullScanEvery;
    return s;
}

double Percentile(std::vector<double> v, double p)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[std::min(v.size() - 1, static_cast<size_t>(p * v.size()))];
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    const int passes = argc > 1 ? std::max(1, atoi(argv[1])) : 12;
    QString why;
    const QString folder = faceframes::PictureFolder(&why);
    const auto set = faceframes::ComposedSet(folder);
    if (set.empty()) {
        std::fprintf(stderr, "no face pictures: %s\n", qPrintable(why));
        return 1;
    }
    facedetect::DetectorSettings lbp = Haar("haarcascade_frontalface_default.xml", 1.1, 3, 24);
    lbp.cascadeFile = std::string(TALVORA_CASCADE_DIR) + "/../lbpcascades/lbpcascade_frontalface_improved.xml";
    const Candidate candidates[] = {
        {"stock Haar default 1.1/3/24, full size", Haar("haarcascade_frontalface_default.xml", 1.1, 3, 24)},
        {"LBP frontalface_improved 1.1/3/24", lbp},
        {"Haar alt2 1.2/3/24, full size", Haar("haarcascade_frontalface_alt2.xml", 1.2, 3, 24)},
        {"Haar alt2 1.2/3/24, half-size frame", Haar("haarcascade_frontalface_alt2.xml", 1.2, 3, 24, 0.5)},
        {"Haar alt2 1.2/3/24, near previous faces, full scan every 4th",
         Haar("haarcascade_frontalface_alt2.xml", 1.2, 3, 24, 1.0, 4)},
        {"shipped (Chosen())", facedetect::FaceDetector::Chosen()},
    };
    std::printf("%d frames x %d passes each, one thread\n", static_cast<int>(set.size()), passes);
    std::printf("%-62s %8s %8s %12s %12s %7s\n", "detector", "median", "p95", "counts right", "first pass", "false");
    for (const Candidate &c : candidates) {
        facedetect::FaceDetector detector(320, 240, c.settings);
        if (!detector.Loaded()) {
            std::printf("%-62s cascade missing\n", c.name);
            continue;
        }
        std::vector<double> ms;
        int right = 0, total = 0, firstRight = 0, falseFaces = 0;
        for (const auto &frame : set) {
            auto pixels = faceframes::BottomUpBgr(frame.image);
            for (int pass = 0; pass < passes; ++pass) {
                const auto t0 = std::chrono::steady_clock::now();
                const int n = detector.Detect(pixels.data());
                ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
                const bool ok = n == static_cast<int>(frame.faces.size());
                right += ok;
                firstRight += ok && pass == 0;
                ++total;
                if (frame.faces.empty())
                    falseFaces += n;
            }
        }
        std::printf("%-62s %6.1fms %6.1fms %5d/%-5d %6d/%-5d %7d\n", c.name, Percentile(ms, 0.5), Percentile(ms, 0.95),
                    right, total, firstRight, static_cast<int>(set.size()), falseFaces);
    }
    return 0;
}
