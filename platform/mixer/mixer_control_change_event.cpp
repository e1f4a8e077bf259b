#include "platform/mixer/mixer_control_change_event.h"

namespace mixer {

MixerControlChangeEvent::MixerControlChangeEvent(std::uint64_t mixer, std::uint32_t controlId)
    : QEvent(Type()), mixer_(mixer), controlId_(controlId)
{
}

QEvent::Type MixerControlChangeEvent::Type()
{
    static const QEvent::Type type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

} // namespace mixer
