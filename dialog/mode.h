#pragma once
// The dialog's two state fields: the mode picked by the mode buttons and what
// the transport is doing in it.

enum Mode : int {
    Solo = 0,
    Conference = 1,
    Video = 2,
    VideoTracing = 3,
    Photo = 4,
};
inline constexpr int kModeCount = 5;

enum Activity : int {
    Playing = 0,
    Recording = 1,
    PlaybackEnded = 2,
    Paused = 3,
    Idle = 4,
};

inline constexpr bool IsAudioMode(int mode) { return mode == Solo || mode == Conference; }
