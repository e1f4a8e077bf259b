#pragma once
// TrackingState: the rectangles one running loop steers, owned by its thread.
#include "tracking/view_rect.h"

struct TrackingState {
    ViewRect frame;
    ViewRect leftCurrent;
    ViewRect leftTarget;
    ViewRect leftDestination;
    ViewRect rightCurrent;
    ViewRect rightTarget;
    ViewRect wholeCurrent;
    ViewRect wholeTarget;
    ViewRect wholeDestination;
};
