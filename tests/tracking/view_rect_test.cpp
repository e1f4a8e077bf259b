// Fit and Step: the arithmetic that shapes and moves the views.
#include "tracking/view_rect.h"

#include <gtest/gtest.h>

namespace {
const ViewRect kWholeDest{0, 0, 336, 252}; // 4:3, a = 133
const ViewRect kSideDest{0, 0, 168, 252};  // 2:3, a = 66
}

TEST(Fit, GrowsAroundTheCentreToTheReferenceAspect)
{
    // Wider reference than the box: the width grows, centred.
    ViewRect t{100, 60, 40, 40};
    Fit(&t, kWholeDest, 320, 240);
    EXPECT_EQ(t, (ViewRect{94, 60, 53, 40})); // w = 40*133/100 = 53, left -= 13/2
    // Narrower reference: the height grows, centred.
    t = {100, 60, 40, 40};
    Fit(&t, kSideDest, 320, 240);
    EXPECT_EQ(t, (ViewRect{100, 50, 40, 60})); // h = 40*100/66 = 60, top -= 20/2
    // Same aspect: the else branch recomputes the height from the width.
    t = {0, 0, 320, 240};
    Fit(&t, kWholeDest, 320, 240);
    EXPECT_EQ(t, (ViewRect{0, 0, 320, 240}));
    // Only the reference's size counts, not where it is.
    t = {100, 60, 40, 40};
    Fit(&t, ViewRect{600, 600, 336, 252}, 320, 240);
    EXPECT_EQ(t, (ViewRect{94, 60, 53, 40}));
}

TEST(Fit, KeepsTheRectangleInsideTheFrameAtEveryEdge)
{
    ViewRect t{2, 100, 40, 40}; // grows left past 0
    Fit(&t, kWholeDest, 320, 240);
    EXPECT_EQ(t, (ViewRect{0, 100, 53, 40}));
    t = {100, 3, 40, 40}; // grows above 0
    Fit(&t, kSideDest, 320, 240);
    EXPECT_EQ(t, (ViewRect{100, 0, 40, 60}));
    t = {280, 100, 40, 40}; // grows past the right edge: ends at it
    Fit(&t, kWholeDest, 320, 240);
    EXPECT_EQ(t, (ViewRect{267, 100, 53, 40}));
    t = {100, 200, 40, 40}; // past the bottom: ends at it
    Fit(&t, kSideDest, 320, 240);
    EXPECT_EQ(t, (ViewRect{100, 180, 40, 60}));
}

// Sizes the arithmetic cannot take: no division by zero, no overflow, and
// always a non-empty rectangle inside the frame.
TEST(Fit, DegenerateAndHostileSizesStayInsideTheFrame)
{
    auto inside = [](const ViewRect &r, int w, int h) {
        return r.left >= 0 && r.top >= 0 && r.width >= 1 && r.height >= 1 && r.left + r.width <= w
            && r.top + r.height <= h;
    };
    ViewRect t{50, 50, 0, 40}; // no width: the whole frame
    Fit(&t, kWholeDest, 320, 240);
    EXPECT_EQ(t, (ViewRect{0, 0, 320, 240}));
    t = {50, 50, 40, 40};
    Fit(&t, ViewRect{0, 0, 0, 0}, 320, 240); // reference without area: shape kept
    EXPECT_EQ(t, (ViewRect{50, 50, 40, 40}));
    t = {50, 50, 40, 40};
    Fit(&t, ViewRect{0, 0, 1, 500}, 320, 240); // aspect rounds to 0
    EXPECT_TRUE(inside(t, 320, 240));
    t = {0, 0, 320, 240}; // the no-face target on a smaller camera
    Fit(&t, kWholeDest, 176, 144);
    EXPECT_EQ(t, (ViewRect{0, 0, 176, 144}));
    for (ViewRect bad : {ViewRect{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}, ViewRect{INT32_MAX, 5, 10, 10},
                         ViewRect{-900, -900, 5000, 3}, ViewRect{10, 10, -20, 30}}) {
        for (const ViewRect &ref : {kWholeDest, kSideDest}) {
            Fit(&bad, ref, 320, 240);
            EXPECT_TRUE(inside(bad, 320, 240)) << bad.left << "," << bad.top << "," << bad.width << "," << bad.height;
        }
    }
}

TEST(Step, MovesEachSideOnePixelTowardTheTargetAndSaysSo)
{
    ViewRect r{10, 10, 100, 100};
    EXPECT_TRUE(Step(&r, ViewRect{0, 20, 100, 90}));
    EXPECT_EQ(r, (ViewRect{9, 11, 100, 99}));
    // One value off is still a change; equal is none.
    r = {0, 0, 320, 240};
    EXPECT_TRUE(Step(&r, ViewRect{0, 0, 320, 241}));
    EXPECT_EQ(r, (ViewRect{0, 0, 320, 241}));
    EXPECT_FALSE(Step(&r, ViewRect{0, 0, 320, 241}));
    // A full journey takes as many steps as the largest difference.
    r = {0, 0, 320, 240};
    const ViewRect target{94, 60, 53, 40};
    int steps = 0;
    while (Step(&r, target))
        ++steps;
    EXPECT_EQ(steps, 267);
    EXPECT_EQ(r, target);
}
