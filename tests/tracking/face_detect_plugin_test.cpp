// The shipped libfacedetect.so on frames composed from a real photograph.
#include "platform/dynlib/dynamic_library.h"
#include "tests/tracking/face_frames.h"
#include "tests/tracking/scene_score.h"
#include "tracking/face_detect.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <memory>

namespace {

class FaceDetectPlugin : public ::testing::Test {
protected:
    void SetUp() override
    {
        module = dynlib::DynamicLibrary::Load(QString::fromLatin1(CFaceDetect::kLibraryFile));
        ASSERT_NE(module, nullptr) << "libfacedetect.so is not in the build tree's product folder";
        init = module->Function<CFaceDetect::InitFn>("RCobj_InitFaceDetect");
        detect = module->Function<CFaceDetect::DetectFn>("RCobj_detectfaces");
        object = module->Function<CFaceDetect::GetObjectFn>("RCobj_getObject");
        ASSERT_TRUE(init && detect && object);
    }
    QRect Face(int index)
    {
        std::int32_t l = -1, t = -1, w = -1, h = -1;
        object(index, &l, &t, &w, &h);
        return QRect(l, t, w, h);
    }
    std::shared_ptr<dynlib::DynamicLibrary> module;
    CFaceDetect::InitFn init = nullptr;
    CFaceDetect::DetectFn detect = nullptr;
    CFaceDetect::GetObjectFn object = nullptr;
};

} // namespace

// A camera shows a scene for a while: each frame is detected as a stream of
// passes; after the first few (the detector may track the previous scene)
// every pass must count right and box the faces where they are, top-down.
TEST_F(FaceDetectPlugin, CountsAndBoxesTheFacesOfEveryComposedFrame)
{
    QString why;
    const QString folder = faceframes::PictureFolder(&why);
    if (folder.isEmpty())
        GTEST_SKIP() << why.toStdString();
    const auto set = faceframes::ComposedSet(folder);
    ASSERT_FALSE(set.empty());
    init(320, 240);
    int wrongCounts = 0;
    for (const auto &frame : set) {
        auto pixels = faceframes::BottomUpBgr(frame.image);
        for (int pass = 0; pass < 12; ++pass) {
            const int n = detect(pixels.data());
            if (pass < 8)
                continue;
            wrongCounts += n != static_cast<int>(frame.faces.size());
            EXPECT_EQ(n, static_cast<int>(frame.faces.size())) << frame.name.toStdString() << ", pass " << pass;
            for (int i = 0; i < std::min<int>(n, frame.faces.size()); ++i) {
                const QRect got = Face(i);
                EXPECT_GE(faceframes::IoU(got, frame.faces[i]), 0.5)
                    << frame.name.toStdString() << " face " << i << ": got (" << got.x() << "," << got.y() << ","
                    << got.width() << "," << got.height() << ")";
            }
        }
    }
    EXPECT_EQ(wrongCounts, 0);
}

TEST_F(FaceDetectPlugin, HostileCallsAnswerNothingAndNeverCrash)
{
    // Before any init, and for indexes without a face, outputs stay untouched.
    std::int32_t l = 7, t = 7, w = 7, h = 7;
    std::vector<unsigned char> grey(320 * 240 * 3, 128);
    init(320, 240);
    EXPECT_EQ(detect(grey.data()), 0);
    EXPECT_EQ(detect(nullptr), 0);
    EXPECT_EQ(object(0, &l, &t, &w, &h), 0);
    EXPECT_EQ(object(-1, &l, &t, &w, &h), 0);
    EXPECT_EQ(l + t + w + h, 28);
    EXPECT_EQ(object(0, nullptr, nullptr, nullptr, nullptr), 0);
    // Sizes no camera has: nothing is read from the frame at all.
    for (auto [width, height] : {std::pair{0, 0}, {-5, 240}, {320, 0}, {100000, 100000}}) {
        init(width, height);
        EXPECT_EQ(detect(grey.data()), 0) << width << " x " << height;
    }
    // An odd width pads its rows; a top-down (negative height) frame is read as such.
    std::vector<unsigned char> odd(((161 * 24 + 31) / 32) * 4 * 121, 90);
    init(161, 121);
    EXPECT_EQ(detect(odd.data()), 0);
    init(161, -121);
    EXPECT_EQ(detect(odd.data()), 0);
}

// A camera's view call by call, as the tracking loop sees it every 250 ms:
// what a person watching the views would notice of the detector.
TEST_F(FaceDetectPlugin, FollowsAMovingSceneCountingEachFaceByItsSecondCallWithSteadyBoxes)
{
    QString why;
    const QString folder = faceframes::PictureFolder(&why);
    if (folder.isEmpty())
        GTEST_SKIP() << why.toStdString();
    const auto scene = faceframes::MovingScene(folder);
    ASSERT_FALSE(scene.empty());
    const faceframes::SceneScore score = faceframes::ScoreScene(scene, init, detect, object);
    for (const auto &[phase, wrong] : score.wrongByPhase)
        ADD_FAILURE() << wrong << " wrong count(s) in " << phase.toStdString();
    EXPECT_GE(score.countsRight * 100, score.frames * 99);
    // A face that is not there is never counted: not in the empty room, not
    // after someone left.
    EXPECT_EQ(score.overCounts, 0);
    // A face that comes into view counts by the second call.
    EXPECT_GE(score.firstCountedStart, 1);
    EXPECT_LE(score.firstCountedStart, 2);
    EXPECT_GE(score.firstCountedSecond, 1);
    EXPECT_LE(score.firstCountedSecond, 2);
    EXPECT_GE(score.firstCountedFar, 1);
    EXPECT_LE(score.firstCountedFar, 2);
    // Boxes stay on their faces while they walk, come nearer and sit back,
    // hold still under camera noise, and face 0 stays the left person.
    EXPECT_EQ(score.misplaced, 0);
    EXPECT_LE(score.stillWidthSd, 1.5);
    EXPECT_LE(score.stillLeftSd, 1.5);
    EXPECT_LE(score.twoWidthSd, 1.5);
    EXPECT_EQ(score.swaps, 0);
}

// A face seen once is counted only once a second, different cascade has
// agreed; a face the detector has lost is dropped at once, not kept on an
// old box: a picture of the room where someone sat counts no face.
TEST_F(FaceDetectPlugin, AFaceThatLeavesIsNoLongerCountedOnTheNextCall)
{
    QString why;
    const QString folder = faceframes::PictureFolder(&why);
    if (folder.isEmpty())
        GTEST_SKIP() << why.toStdString();
    const auto scene = faceframes::MovingScene(folder);
    ASSERT_FALSE(scene.empty());
    const auto still = std::find_if(scene.begin(), scene.end(), [](const auto &f) { return f.name == "still"; });
    const auto empty = std::find_if(scene.begin(), scene.end(), [](const auto &f) { return f.name == "empty"; });
    ASSERT_TRUE(still != scene.end() && empty != scene.end());
    init(320, 240);
    auto face = faceframes::BottomUpBgr(still->image), room = faceframes::BottomUpBgr(empty->image);
    for (int call = 0; call < 6; ++call)
        detect(face.data());
    ASSERT_EQ(detect(face.data()), 1);
    EXPECT_EQ(detect(room.data()), 0);
    EXPECT_EQ(detect(room.data()), 0);
    // And back: counted again on the first or second call.
    const int first = detect(face.data());
    EXPECT_EQ(std::max(first, detect(face.data())), 1);
}

// A camera of 640 x 480: the same faces twice as large, boxed in its pixels.
TEST_F(FaceDetectPlugin, ALargerCameraFrameIsCountedAndBoxedInItsOwnPixels)
{
    QString why;
    const QString folder = faceframes::PictureFolder(&why);
    if (folder.isEmpty())
        GTEST_SKIP() << why.toStdString();
    const auto set = faceframes::ComposedSet(folder);
    const auto two = std::find_if(set.begin(), set.end(), [](const auto &f) { return f.faces.size() == 2; });
    ASSERT_NE(two, set.end());
    auto pixels = faceframes::BottomUpBgr(two->image.scaled(640, 480, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    init(640, 480);
    int n = 0;
    for (int call = 0; call < 8 && n != 2; ++call)
        n = detect(pixels.data());
    ASSERT_EQ(n, 2);
    for (int i = 0; i < 2; ++i) {
        const QRect want(two->faces[i].topLeft() * 2, two->faces[i].size() * 2);
        EXPECT_GE(faceframes::IoU(Face(i), want), 0.5) << "face " << i;
    }
}
