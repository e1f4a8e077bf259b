#pragma once
// TrackingEngine: what the tracking loop needs of a video engine (the camera
// recorder or the player): the newest frame and the three views' renderers.
// Every call may come from the tracking thread and none may block on the
// dialog's thread.
#include "platform/media/media_types.h"
#include "tracking/view_rect.h"

enum class ViewRole { Whole, Left, Right };

class TrackingEngine {
public:
    virtual ~TrackingEngine() = default;
    virtual bool GetBitmapInfoHeader(media::BITMAPINFOHEADER *header) = 0;
    virtual bool GetImageSize(media::LONG *size) = 0;
    virtual bool GetImage(void *buffer) = 0;
    // An empty rectangle when the view has no renderer.
    virtual ViewRect SourcePosition(ViewRole role) = 0;
    virtual ViewRect DestinationPosition(ViewRole role) = 0;
    virtual void SetSourcePosition(ViewRole role, const ViewRect &rect) = 0;
    // Binds the view's renderer into its host again, its window at (left, top).
    virtual void BindView(ViewRole role, media::LONG left, media::LONG top) = 0;
};
