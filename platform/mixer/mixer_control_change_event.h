#pragma once
// The mixer's change notification (the framework's MM_MIXM_CONTROL_CHANGE):
// a QEvent posted to the mixer's notification target, on the target's thread,
// naming the mixer and the control that changed. Handle it in event() or
// customEvent():
//
//   if (e->type() == mixer::MixerControlChangeEvent::Type()) {
//       auto *c = static_cast<mixer::MixerControlChangeEvent *>(e);
//       OnMixerControlChange(c->Mixer(), c->ControlId());
//   }
#include "platform/diag/thread_handoff.h"

#include <QEvent>
#include <cstdint>

namespace mixer {

class MixerControlChangeEvent : public QEvent {
public:
    MixerControlChangeEvent(std::uint64_t mixer, std::uint32_t controlId);
    static QEvent::Type Type();
    // Made on the mixer's thread, read on the target's: Qt's event queue
    // orders the two (see PulseMixer::Impl::Post).
    std::uint64_t Mixer() const
    {
        diag::TakeOver(this);
        return mixer_;
    }
    std::uint32_t ControlId() const
    {
        diag::TakeOver(this);
        return controlId_;
    }

private:
    std::uint64_t mixer_;
    std::uint32_t controlId_;
};

} // namespace mixer
