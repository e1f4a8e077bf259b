#pragma once
// Whether a view wants the frames its branch carries. A view out of sight
// drops them anyway; told so by an upstream event, the tee output feeding the
// branch holds them back instead, so the branch's queue thread is not woken
// thirty times a second for nothing. Elements that use frames themselves (the
// grabber) stop the event: their branch keeps flowing whatever the view.
#include <gst/gst.h>

#include <atomic>
#include <functional>
#include <memory>

namespace media {

class FrameDemand {
public:
    // wanted is asked per frame on the tee's streaming thread.
    explicit FrameDemand(std::function<bool()> wanted);

    // A demand retired (its view unlinked or gone) wants every frame again.
    bool Wanted() const;
    void Retire();

    // Sends the demand upstream from a view's input pad; the nearest tee
    // output keeps it. False when nothing upstream took it.
    static bool Announce(GstPad *viewInput, const std::shared_ptr<FrameDemand> &demand);
    // Makes a tee output keep the demand announced to it and hold frames back
    // while that demand wants none; the demand is forgotten when the branch
    // (branchOutput, the pad the branch links to) is unlinked. Announcements
    // never pass a tee output.
    static void HonourAt(GstPad *teeOutput, GstPad *branchOutput);
    // Announcements from downstream stop at this pad.
    static void StopAt(GstPad *pad);

private:
    std::function<bool()> wanted_;
    std::atomic<bool> retired_{false};
};

} // namespace media
