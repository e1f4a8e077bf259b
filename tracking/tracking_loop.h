#pragma once
// TrackingLoop: one run of the face-tracking loop on one engine. Every 250 ms
// (while no view moves) it detects faces in the newest frame; every 20 ms
// (while one does) it moves the views' source rectangles a pixel per side.
// One face zooms the whole view (on its 9th sighting), two faces split into
// the left and right views (on their 2nd), anything else returns to the full
// frame (on its 21st). Runs on its own thread and never touches a widget.
#include "tracking/face_detect.h"
#include "tracking/tracking_engine.h"
#include "tracking/tracking_state.h"
#include "tracking/tracking_wake.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <vector>

// What a loop shares with the dialog that starts and stops it.
struct TrackingLink {
    std::atomic<bool> &run;      // one flag for both loops; the loop ends when it falls
    std::atomic<bool> &finished; // this loop's own: set once it has left its loop
    media::BITMAPINFOHEADER &streamHeader;
    std::int32_t &detectorInitialised;
    // The frame size the detector was initialised with (it reads frames of that size).
    std::int32_t &detectorWidth;
    std::int32_t &detectorHeight;
    // Cuts the loop's pauses short on a stop, and tells the stopper it ended.
    TrackingWake *wake = nullptr;
};

struct TrackingTimings {
    std::chrono::milliseconds detectPause{250};
    std::chrono::milliseconds animatePause{20};
    std::chrono::milliseconds sizeRetryPause{50};
    int sizeRetries = 50;
};

class TrackingLoop {
public:
    TrackingLoop(TrackingEngine &engine, const CFaceDetect &detector, TrackingLink link, TrackingTimings timings = {});

    // Start, body until the run flag falls, end. Sets the finished flag last.
    void Run();

    static constexpr ViewRect kNoFaceTarget{0, 0, 320, 240};

private:
    bool Start();
    void ReadStreamFormat();
    template <class Duration>
    void Pause(Duration pause);
    bool WaitForImageSize(media::LONG *size);
    void DetectionPass();
    void OneFace();
    void TwoFaces();
    void NoFace();
    bool AnimationStep(int faces);
    void SwitchLayout(int wanted);
    ViewRect Object(int index);
    ViewRect ReadSource(ViewRole role);

    TrackingEngine &engine_;
    const CFaceDetect &detector_;
    TrackingLink link_;
    TrackingTimings timings_;
    TrackingState state_;
    int layout_ = 1;
    bool moving_ = false;
    int lastFaceCount_ = 0;
    int oneCount_ = 0, twoCount_ = 0, noneCount_ = 0;
    std::vector<unsigned char> buffer_;
};
