#pragma once
// Waiting on the dialog's thread for a graph to start without freezing the
// window: the event loop keeps running (paints, timers, posted calls) while
// the user's input waits until the start is decided, so no click can act on
// a half-built player.
#include <functional>

namespace playback {

// Runs the event loop without user input until done() holds or ms have
// passed; returns done().
bool WaitWhilePainting(int ms, const std::function<bool()> &done);

} // namespace playback
