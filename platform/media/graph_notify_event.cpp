#include "platform/media/graph_notify_event.h"

namespace media {

GraphNotifyEvent::GraphNotifyEvent(LONG message, LONG_PTR instanceData)
    : QEvent(Type()), message_(message), instanceData_(instanceData)
{
}

QEvent::Type GraphNotifyEvent::Type()
{
    static const QEvent::Type type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

} // namespace media
