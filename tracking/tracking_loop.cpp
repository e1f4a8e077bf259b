#include "tracking/tracking_loop.h"

#include "platform/diag/diagnostics.h"

#include <algorithm>
#include <cstdlib>
#include <thread>

namespace {

std::size_t DibBytes(std::int32_t width, std::int32_t height)
{
    if (width <= 0 || height == 0)
        return 0;
    return static_cast<std::size_t>(media::DibStride(width, 24)) * static_cast<std::size_t>(std::abs(height));
}

} // namespace

TrackingLoop::TrackingLoop(TrackingEngine &engine, const CFaceDetect &detector, TrackingLink link,
                           TrackingTimings timings)
    : engine_(engine), detector_(detector), link_(link), timings_(timings)
{
}

template <class Duration>
void TrackingLoop::Pause(Duration pause)
{
    if (link_.wake)
        link_.wake->Pause(pause, link_.run);
    else
        std::this_thread::sleep_for(pause);
}

void TrackingLoop::Run()
{
    link_.finished = false;
    if (Start()) {
        while (link_.run) {
            if (moving_) {
                Pause(timings_.animatePause);
                if (link_.run)
                    moving_ = AnimationStep(lastFaceCount_);
            } else {
                Pause(timings_.detectPause);
                if (link_.run)
                    DetectionPass();
            }
        }
    }
    buffer_.clear();
    buffer_.shrink_to_fit();
    link_.finished = true;
    if (link_.wake)
        link_.wake->Notify();
}

bool TrackingLoop::Start()
{
    ReadStreamFormat();
    media::LONG size = 0;
    if (!WaitForImageSize(&size))
        return false;
    // A stream that had not yet agreed its format when the loop started has
    // one now: the detector must not be set up for a frame of 0 x 0.
    if (link_.detectorInitialised == 0)
        ReadStreamFormat();
    if (link_.detectorInitialised == 0) {
        diag::OutputDebugString(QStringLiteral("tracking: the stream has no frame size; no faces are looked for"));
        return false;
    }
    // The detector reads a frame of the size it was initialised with, which a
    // later stream may not have: the buffer holds whichever is larger.
    const std::size_t bytes =
        std::max<std::size_t>(static_cast<std::size_t>(size), DibBytes(link_.detectorWidth, link_.detectorHeight));
    buffer_.assign(bytes, 0);
    return true;
}

// The stream header, the detector (once, for the first known frame size), the
// frame and the views' rectangles.
void TrackingLoop::ReadStreamFormat()
{
    engine_.GetBitmapInfoHeader(&link_.streamHeader);
    const std::int32_t width = link_.streamHeader.biWidth, height = link_.streamHeader.biHeight;
    if (link_.detectorInitialised == 0 && width > 0 && height != 0) {
        detector_.initEntry(width, height);
        link_.detectorWidth = width;
        link_.detectorHeight = height;
        link_.detectorInitialised = 1;
    }
    state_.frame = {0, 0, width, std::abs(height)};
    state_.leftCurrent = state_.leftTarget = ReadSource(ViewRole::Left);
    state_.rightCurrent = state_.rightTarget = ReadSource(ViewRole::Right);
    state_.wholeCurrent = state_.wholeTarget = ReadSource(ViewRole::Whole);
    state_.leftDestination = engine_.DestinationPosition(ViewRole::Left);
    state_.wholeDestination = engine_.DestinationPosition(ViewRole::Whole);
}

bool TrackingLoop::WaitForImageSize(media::LONG *size)
{
    for (int pause = 0; !engine_.GetImageSize(size) || *size <= 0; ++pause) {
        // A stop while the stream has not started yet ends the wait at once.
        if (pause == timings_.sizeRetries || !link_.run)
            return false;
        Pause(timings_.sizeRetryPause);
        diag::OutputDebugString(QStringLiteral("GetImageSize faill"));
    }
    return true;
}

// A renderer that has not seen a frame yet shows the whole frame.
ViewRect TrackingLoop::ReadSource(ViewRole role)
{
    const ViewRect r = engine_.SourcePosition(role);
    return r.width > 0 && r.height > 0 ? r : state_.frame;
}

void TrackingLoop::DetectionPass()
{
    engine_.GetImage(buffer_.data());
    const int n = detector_.detectEntry(buffer_.data());
    lastFaceCount_ = n;
    if (n == 1)
        OneFace();
    else if (n == 2)
        TwoFaces();
    else
        NoFace();
}

void TrackingLoop::OneFace()
{
    if (++oneCount_ <= 8) {
        noneCount_ = 0;
        return;
    }
    SwitchLayout(1);
    state_.wholeTarget = Object(0);
    Fit(&state_.wholeTarget, state_.wholeDestination, state_.frame.width, state_.frame.height);
    moving_ = Step(&state_.wholeCurrent, state_.wholeTarget);
    oneCount_ = twoCount_ = noneCount_ = 0;
}

void TrackingLoop::TwoFaces()
{
    if (++twoCount_ < 2)
        return;
    SwitchLayout(2);
    state_.leftTarget = Object(0);
    state_.rightTarget = Object(1);
    Fit(&state_.rightTarget, state_.leftDestination, state_.frame.width, state_.frame.height);
    Fit(&state_.leftTarget, state_.leftDestination, state_.frame.width, state_.frame.height);
    const bool left = Step(&state_.leftCurrent, state_.leftTarget);
    const bool right = Step(&state_.rightCurrent, state_.rightTarget);
    moving_ = left || right;
    oneCount_ = twoCount_ = noneCount_ = 0;
}

void TrackingLoop::NoFace()
{
    if (++noneCount_ <= 20)
        return;
    SwitchLayout(1);
    state_.wholeTarget = kNoFaceTarget;
    Fit(&state_.wholeTarget, state_.wholeDestination, state_.frame.width, state_.frame.height);
    moving_ = Step(&state_.wholeCurrent, state_.wholeTarget);
    oneCount_ = twoCount_ = noneCount_ = 0;
}

bool TrackingLoop::AnimationStep(int faces)
{
    if (faces == 1) {
        const bool changed = Step(&state_.wholeCurrent, state_.wholeTarget);
        engine_.SetSourcePosition(ViewRole::Whole, state_.wholeCurrent);
        return changed;
    }
    if (faces == 2) {
        const bool left = Step(&state_.leftCurrent, state_.leftTarget);
        const bool right = Step(&state_.rightCurrent, state_.rightTarget);
        engine_.SetSourcePosition(ViewRole::Left, state_.leftCurrent);
        engine_.SetSourcePosition(ViewRole::Right, state_.rightCurrent);
        return left || right;
    }
    const bool left = Step(&state_.leftCurrent, state_.frame);
    const bool right = Step(&state_.rightCurrent, state_.frame);
    const bool whole = Step(&state_.wholeCurrent, state_.frame);
    engine_.SetSourcePosition(ViewRole::Left, state_.leftCurrent);
    engine_.SetSourcePosition(ViewRole::Right, state_.rightCurrent);
    engine_.SetSourcePosition(ViewRole::Whole, state_.wholeCurrent);
    return left || right || whole;
}

void TrackingLoop::SwitchLayout(int wanted)
{
    if (layout_ == wanted)
        return;
    const media::LONG side = wanted == 2 ? 0 : 600;
    const media::LONG whole = wanted == 2 ? 600 : 0;
    engine_.BindView(ViewRole::Left, side, side);
    engine_.BindView(ViewRole::Right, side, side);
    engine_.BindView(ViewRole::Whole, whole, whole);
    layout_ = wanted;
}

// Face index as the detector reports it; an answer it does not give is an empty box.
ViewRect TrackingLoop::Object(int index)
{
    ViewRect r;
    detector_.objectEntry(index, &r.left, &r.top, &r.width, &r.height);
    return r;
}
