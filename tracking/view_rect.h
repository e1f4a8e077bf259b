#pragma once
// View rectangles and the two rules that move them: Fit shapes a face box to a
// view's aspect inside the frame, Step moves a shown rectangle one pixel per
// side toward its target.
#include <cstdint>

struct ViewRect {
    std::int32_t left = 0, top = 0, width = 0, height = 0;
    bool operator==(const ViewRect &) const = default;
};

// Grows target to the aspect of reference (only its width and height count),
// around the target's centre, then moves it inside a frame of frameWidth x
// frameHeight. Integer arithmetic truncating toward zero. Beyond that: a
// target without area becomes the whole frame, a reference without area
// leaves the shape as it is, and a target larger than the frame is cut to
// it, so the result always lies inside a non-empty frame.
void Fit(ViewRect *target, const ViewRect &reference, std::int32_t frameWidth, std::int32_t frameHeight);

// Moves each of left, top, width and height one toward target. True when any moved.
bool Step(ViewRect *current, const ViewRect &target);
