#pragma once
// EngineAdapter: a TrackingEngine over any engine that exposes the three views
// as wholeRenderer/leftRenderer/rightRenderer, wholeWindow/..., wholeBasicVideo/...
// and the frame access GetImageSize/GetImage/GetBitmapInfoHeader, so the
// recorder and the player are tracked by one loop without knowing of it.
#include "capture/graph_utils.h"
#include "tracking/tracking_engine.h"

#include <memory>

class QWidget;

template <class Engine>
class EngineAdapter final : public TrackingEngine {
public:
    EngineAdapter(Engine &engine, QWidget *wholeHost, QWidget *leftHost, QWidget *rightHost)
        : engine_(engine), hosts_{wholeHost, leftHost, rightHost}
    {
    }

    bool GetBitmapInfoHeader(media::BITMAPINFOHEADER *header) override { return engine_.GetBitmapInfoHeader(header); }
    bool GetImageSize(media::LONG *size) override { return engine_.GetImageSize(size); }
    bool GetImage(void *buffer) override { return engine_.GetImage(buffer); }

    ViewRect SourcePosition(ViewRole role) override
    {
        ViewRect r;
        if (const auto &basic = Basic(role))
            basic->GetSourcePosition(&r.left, &r.top, &r.width, &r.height);
        return r;
    }
    ViewRect DestinationPosition(ViewRole role) override
    {
        ViewRect r;
        if (const auto &basic = Basic(role))
            basic->GetDestinationPosition(&r.left, &r.top, &r.width, &r.height);
        return r;
    }
    void SetSourcePosition(ViewRole role, const ViewRect &r) override
    {
        if (const auto &basic = Basic(role))
            basic->SetSourcePosition(r.left, r.top, r.width, r.height);
    }
    void BindView(ViewRole role, media::LONG left, media::LONG top) override
    {
        switch (role) {
        case ViewRole::Whole:
            BindVideoWindow(engine_.wholeRenderer, hosts_[0], left, top, &engine_.wholeWindow);
            break;
        case ViewRole::Left:
            BindVideoWindow(engine_.leftRenderer, hosts_[1], left, top, &engine_.leftWindow);
            break;
        case ViewRole::Right:
            BindVideoWindow(engine_.rightRenderer, hosts_[2], left, top, &engine_.rightWindow);
            break;
        }
    }

private:
    const std::shared_ptr<media::IBasicVideo> &Basic(ViewRole role) const
    {
        switch (role) {
        case ViewRole::Left:
            return engine_.leftBasicVideo;
        case ViewRole::Right:
            return engine_.rightBasicVideo;
        default:
            return engine_.wholeBasicVideo;
        }
    }

    Engine &engine_;
    QWidget *hosts_[3];
};
