#pragma once
// The graph's notification (the framework's posted window message): a QEvent
// sent to the target given to SetNotifyWindow, on the target's thread, each
// time an event is queued. Handle it in the target's event() or customEvent():
//
//   if (e->type() == media::GraphNotifyEvent::Type()) {
//       auto *n = static_cast<media::GraphNotifyEvent *>(e);
//       if (n->Message() == media::WM_GRAPHNOTIFY) player.HandleEvents();
//   }
#include "platform/media/media_types.h"

#include <QEvent>

namespace media {

class GraphNotifyEvent : public QEvent {
public:
    GraphNotifyEvent(LONG message, LONG_PTR instanceData);
    static QEvent::Type Type();
    LONG Message() const { return message_; }
    LONG_PTR InstanceData() const { return instanceData_; }

private:
    LONG message_;
    LONG_PTR instanceData_;
};

} // namespace media
