// The tracking loop on a scripted detector (a fixture library that replays
// face counts and boxes) and an engine double that logs what the loop does.
#include "platform/diag/diagnostics.h"
#include "platform/dynlib/dynamic_library.h"
#include "tracking/face_detect.h"
#include "tracking/tracking_loop.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>

namespace {

struct Event {
    enum Kind { Image, Set, Bind } kind;
    ViewRole role = ViewRole::Whole;
    ViewRect rect; // Set: the rectangle; Bind: left/top in rect.left/top
};

class FakeEngine final : public TrackingEngine {
public:
    FakeEngine(int width, int height) : width_(width), height_(height) {}
    bool GetBitmapInfoHeader(media::BITMAPINFOHEADER *h) override
    {
        // A stream that has not agreed its format yet has a header of zeros.
        const bool known = unknownHeaders_ == 0;
        unknownHeaders_ = std::max(0, unknownHeaders_ - 1);
        h->biWidth = known ? width_ : 0;
        h->biHeight = known ? height_ : 0;
        return known;
    }
    bool GetImageSize(media::LONG *size) override
    {
        if (sizeFailures_ > 0) {
            --sizeFailures_;
            return false;
        }
        *size = media::DibStride(width_, 24) * height_;
        return true;
    }
    bool GetImage(void *) override { return Log({Event::Image, ViewRole::Whole, {}}); }
    ViewRect SourcePosition(ViewRole) override { return {0, 0, width_, height_}; }
    ViewRect DestinationPosition(ViewRole role) override
    {
        return role == ViewRole::Whole ? ViewRect{0, 0, 336, 252} : ViewRect{0, 0, 168, 252};
    }
    void SetSourcePosition(ViewRole role, const ViewRect &r) override { Log({Event::Set, role, r}); }
    void BindView(ViewRole role, media::LONG left, media::LONG top) override
    {
        Log({Event::Bind, role, {left, top, 0, 0}});
    }
    std::vector<Event> Events()
    {
        std::lock_guard lock(mutex_);
        return events_;
    }
    // The last rectangle set for the view, or the full frame.
    ViewRect Shown(ViewRole role)
    {
        ViewRect shown{0, 0, width_, height_};
        for (const Event &e : Events())
            if (e.kind == Event::Set && e.role == role)
                shown = e.rect;
        return shown;
    }
    int sizeFailures_ = 0;
    int unknownHeaders_ = 0;

private:
    bool Log(Event e)
    {
        std::lock_guard lock(mutex_);
        events_.push_back(e);
        return true;
    }
    int width_, height_;
    std::mutex mutex_;
    std::vector<Event> events_;
};

using AddFn = void (*)(int, std::int32_t, const std::int32_t *, const std::int32_t *);

class TrackingLoopTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        module = dynlib::DynamicLibrary::Load(QStringLiteral(TALVORA_FIXTURE_ROOT "/scripted/Talvora/libfacedetect.so"));
        ASSERT_NE(module, nullptr);
        detector.initEntry = module->Function<CFaceDetect::InitFn>("RCobj_InitFaceDetect");
        detector.detectEntry = module->Function<CFaceDetect::DetectFn>("RCobj_detectfaces");
        detector.objectEntry = module->Function<CFaceDetect::GetObjectFn>("RCobj_getObject");
        add = module->Function<AddFn>("ScriptedAdd");
        detectCalls = module->Function<int (*)()>("ScriptedDetectCalls");
        initCalls = module->Function<int (*)()>("ScriptedInitCalls");
        module->Function<void (*)()>("ScriptedReset")();
    }
    void TearDown() override { detector.initEntry = nullptr, detector.detectEntry = nullptr, detector.objectEntry = nullptr; }

    // Runs the loop until `done` holds (or 20 s pass), then stops it.
    template <class Done>
    bool RunUntil(FakeEngine &engine, Done done)
    {
        run = true;
        TrackingLink link{run, finished, header, initialised, initWidth, initHeight};
        TrackingLoop loop(engine, detector, link, fast);
        std::thread thread([&] { loop.Run(); });
        bool met = false;
        for (int i = 0; i < 4000 && !(met = done()); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        run = false;
        thread.join();
        return met;
    }
    static int ImagesBefore(const std::vector<Event> &events, Event::Kind kind)
    {
        int images = 0;
        for (const Event &e : events) {
            if (e.kind == kind)
                return images;
            images += e.kind == Event::Image;
        }
        return -1;
    }

    std::shared_ptr<dynlib::DynamicLibrary> module;
    CFaceDetect detector;
    AddFn add = nullptr;
    int (*detectCalls)() = nullptr;
    int (*initCalls)() = nullptr;
    std::atomic<bool> run{false}, finished{true};
    media::BITMAPINFOHEADER header{};
    std::int32_t initialised = 0, initWidth = 0, initHeight = 0;
    TrackingTimings fast{std::chrono::milliseconds(2), std::chrono::milliseconds(1), std::chrono::milliseconds(1), 50};
};

const std::int32_t kFace[4] = {100, 60, 40, 40};

} // namespace

TEST_F(TrackingLoopTest, TheNinthSingleFaceZoomsAndNothingIsDetectedWhileMoving)
{
    add(5, 1, kFace, nullptr);
    add(3, 0, nullptr, nullptr); // passes without a face do not restart the count
    add(200, 1, kFace, nullptr);
    FakeEngine engine(320, 240);
    const ViewRect target{94, 60, 53, 40}; // the face fitted to the whole view's 4:3
    ASSERT_TRUE(RunUntil(engine, [&] { return engine.Shown(ViewRole::Whole) == target; }));
    const auto events = engine.Events();
    EXPECT_EQ(ImagesBefore(events, Event::Set), 12);
    EXPECT_EQ(ImagesBefore(events, Event::Bind), -1) << "the whole layout needs no switch";
    // From the first step to the target, no frame was taken: 267 steps, no image.
    int images = 0, sets = 0;
    for (const Event &e : events) {
        if (e.kind == Event::Set && (++sets, e.rect == target))
            break;
        images += sets > 0 && e.kind == Event::Image;
    }
    EXPECT_EQ(images, 0);
    EXPECT_EQ(sets, 266) << "the acting pass makes the first step; the animation passes show the rest";
    EXPECT_EQ(initCalls(), 1);
    EXPECT_TRUE(finished);
}

TEST_F(TrackingLoopTest, TwoFacesSplitOnTheSecondSightingWithFaceZeroOnTheLeft)
{
    const std::int32_t right[4] = {200, 50, 40, 40}, left[4] = {40, 60, 40, 40};
    add(1, 2, right, left); // face 0 is on the right of the picture
    add(1, 3, nullptr, nullptr);
    add(200, 2, right, left);
    FakeEngine engine(320, 240);
    const ViewRect leftView{200, 40, 40, 60}, rightView{40, 50, 40, 60}; // fitted to 2:3
    ASSERT_TRUE(RunUntil(engine, [&] {
        return engine.Shown(ViewRole::Left) == leftView && engine.Shown(ViewRole::Right) == rightView;
    }));
    const auto events = engine.Events();
    EXPECT_EQ(ImagesBefore(events, Event::Bind), 3);
    std::vector<std::tuple<ViewRole, int>> binds;
    for (const Event &e : events)
        if (e.kind == Event::Bind)
            binds.emplace_back(e.role, e.rect.left + e.rect.top);
    const std::vector<std::tuple<ViewRole, int>> split{
        {ViewRole::Left, 0}, {ViewRole::Right, 0}, {ViewRole::Whole, 1200}};
    EXPECT_EQ(binds, split);
}

TEST_F(TrackingLoopTest, TwentyOneEmptyPassesReturnEveryViewToTheFullFrame)
{
    const std::int32_t a[4] = {20, 40, 60, 60}, b[4] = {220, 40, 60, 60};
    add(9, 1, kFace, nullptr); // zoom
    add(2, 2, a, b);           // split
    add(200, 0, nullptr, nullptr);
    FakeEngine engine(320, 240);
    const ViewRect full{0, 0, 320, 240};
    // Wait for the split, then for the return.
    ASSERT_TRUE(RunUntil(engine, [&] {
        int binds = 0;
        for (const Event &e : engine.Events())
            binds += e.kind == Event::Bind;
        return binds == 6 && engine.Shown(ViewRole::Whole) == full && engine.Shown(ViewRole::Left) == full
            && engine.Shown(ViewRole::Right) == full;
    }));
    // The return came on the 21st empty pass after the split had settled.
    const auto events = engine.Events();
    int images = 0, binds = 0, imagesAtSplit = 0;
    for (const Event &e : events) {
        images += e.kind == Event::Image;
        if (e.kind == Event::Bind && ++binds == 3)
            imagesAtSplit = images;
        if (e.kind == Event::Bind && binds == 4) {
            EXPECT_EQ(e.role, ViewRole::Left);
            EXPECT_EQ(e.rect.left, 600);
            break;
        }
    }
    EXPECT_EQ(imagesAtSplit, 11);
    EXPECT_EQ(images - imagesAtSplit, 21);
}

TEST_F(TrackingLoopTest, CrowdedAndNegativeCountsCountAsNoFace)
{
    add(9, 1, kFace, nullptr);
    add(10, 3, nullptr, nullptr);
    add(11, -1, nullptr, nullptr);
    add(200, 5, nullptr, nullptr);
    FakeEngine engine(320, 240);
    ASSERT_TRUE(RunUntil(engine, [&] { return detectCalls() >= 9 + 21 + 2; }));
    // The zoom moves after pass 9; then nothing until the 21st other count.
    int images = 0, setsBetween = 0;
    std::vector<ViewRole> firstReturnStep;
    for (const Event &e : engine.Events()) {
        images += e.kind == Event::Image;
        setsBetween += e.kind == Event::Set && images > 9 && images < 30;
        if (e.kind == Event::Set && images == 30 && firstReturnStep.size() < 3)
            firstReturnStep.push_back(e.role);
    }
    EXPECT_EQ(setsBetween, 0);
    EXPECT_EQ(firstReturnStep, (std::vector<ViewRole>{ViewRole::Left, ViewRole::Right, ViewRole::Whole}));
    EXPECT_EQ(engine.Shown(ViewRole::Whole), (ViewRect{0, 0, 320, 240}));
}

// A 640 x 480 stream after the detector was set up for 320 x 240: no second
// init, and every rectangle shown lies inside the frame.
TEST_F(TrackingLoopTest, ALaterStreamOfAnotherSizeKeepsTheFirstInitAndStaysInside)
{
    const std::int32_t huge[4] = {500, 400, 400, 400};
    add(200, 1, huge, nullptr);
    FakeEngine first(320, 240);
    ASSERT_TRUE(RunUntil(first, [&] { return detectCalls() >= 10; }));
    FakeEngine second(640, 480);
    ASSERT_TRUE(RunUntil(second, [&] { return detectCalls() >= 22 && !second.Events().empty(); }));
    EXPECT_EQ(initCalls(), 1);
    EXPECT_EQ(initWidth, 320);
    for (const Event &e : second.Events())
        if (e.kind == Event::Set) {
            EXPECT_GE(e.rect.left, 0);
            EXPECT_GE(e.rect.top, 0);
            EXPECT_LE(e.rect.left + e.rect.width, 640);
            EXPECT_LE(e.rect.top + e.rect.height, 480);
        }
}

TEST_F(TrackingLoopTest, WithoutAnImageSizeTheLoopGivesUpAfterFiftyPauses)
{
    diag::CaptureScope debug;
    FakeEngine engine(320, 240);
    engine.sizeFailures_ = 1000;
    run = true;
    TrackingLink link{run, finished, header, initialised, initWidth, initHeight};
    TrackingLoop(engine, detector, link, fast).Run();
    EXPECT_TRUE(finished);
    EXPECT_EQ(debug.Lines().count(QStringLiteral("GetImageSize faill")), 50);
    EXPECT_EQ(detectCalls(), 0);
    // A size that comes after a few tries is taken.
    debug.Clear();
    FakeEngine late(320, 240);
    late.sizeFailures_ = 3;
    ASSERT_TRUE(RunUntil(late, [&] { return detectCalls() >= 1; }));
    EXPECT_EQ(debug.Lines().count(QStringLiteral("GetImageSize faill")), 3);
}

// The camera's format is not known yet when the loop starts: the detector is
// set up once the frame size is, never for 0 x 0.
TEST_F(TrackingLoopTest, ADetectorIsSetUpForTheFrameSizeOnceTheStreamHasOne)
{
    add(200, 1, kFace, nullptr);
    FakeEngine engine(320, 240);
    engine.unknownHeaders_ = 1;
    engine.sizeFailures_ = 3;
    // The ninth sighting zooms onto the face, inside the real frame.
    ASSERT_TRUE(RunUntil(engine, [&] { return engine.Shown(ViewRole::Whole).width < 320; }));
    EXPECT_EQ(initCalls(), 1);
    EXPECT_EQ(module->Function<std::int32_t (*)()>("ScriptedInitWidth")(), 320);
    EXPECT_EQ(module->Function<std::int32_t (*)()>("ScriptedInitHeight")(), 240);
    EXPECT_EQ(initWidth, 320);
    EXPECT_EQ(header.biWidth, 320);
    const ViewRect shown = engine.Shown(ViewRole::Whole);
    EXPECT_GT(shown.width, 0);
    EXPECT_LE(shown.left + shown.width, 320);

    // A stream that never tells its size: nothing is set up and the loop ends, saying why.
    module->Function<void (*)()>("ScriptedReset")();
    initialised = 0;
    diag::CaptureScope debug;
    FakeEngine never(320, 240);
    never.unknownHeaders_ = 1000;
    run = true;
    TrackingLink link{run, finished, header, initialised, initWidth, initHeight};
    TrackingLoop(never, detector, link, fast).Run();
    EXPECT_TRUE(finished);
    EXPECT_EQ(initCalls(), 0);
    EXPECT_EQ(detectCalls(), 0);
    EXPECT_EQ(initialised, 0);
    EXPECT_TRUE(debug.Contains(QStringLiteral("tracking: the stream has no frame size; no faces are looked for")));
}
