#include "tracking/view_rect.h"

#include <algorithm>

namespace {

// Intermediate values in 64 bits: a detector may report any 32-bit value.
using Wide = std::int64_t;

std::int32_t Narrow(Wide v)
{
    return static_cast<std::int32_t>(std::clamp<Wide>(v, INT32_MIN, INT32_MAX));
}

bool StepValue(std::int32_t *value, std::int32_t target)
{
    if (*value > target)
        --*value;
    else if (*value < target)
        ++*value;
    else
        return false;
    return true;
}

} // namespace

void Fit(ViewRect *target, const ViewRect &reference, std::int32_t frameWidth, std::int32_t frameHeight)
{
    const Wide W = frameWidth, H = frameHeight;
    // A box without area marks no face: the view heads for the whole frame.
    if (target->width <= 0 || target->height <= 0)
        *target = {0, 0, frameWidth, frameHeight};
    Wide left = target->left, top = target->top, width = target->width, height = target->height;
    if (reference.width > 0 && reference.height > 0 && width > 0 && height > 0) {
        const Wide a = Wide(reference.width) * 100 / reference.height;
        const Wide b = width * 100 / height;
        if (a > b) {
            const Wide w = height * a / 100;
            left -= (w - width) / 2;
            width = w;
        } else if (a > 0) {
            const Wide h = width * 100 / a;
            top -= (h - height) / 2;
            height = h;
        }
    }
    if (W > 0 && H > 0) {
        width = std::clamp<Wide>(width, 1, W);
        height = std::clamp<Wide>(height, 1, H);
    }
    if (top < 0)
        top = 0;
    if (left < 0)
        left = 0;
    if (left + width > W)
        left = W - width;
    if (top + height > H)
        top = H - height;
    *target = {Narrow(left), Narrow(top), Narrow(width), Narrow(height)};
}

bool Step(ViewRect *current, const ViewRect &target)
{
    bool changed = StepValue(&current->left, target.left);
    changed |= StepValue(&current->top, target.top);
    changed |= StepValue(&current->width, target.width);
    changed |= StepValue(&current->height, target.height);
    return changed;
}
