#include "capture/graph_utils.h"

#include "platform/media/factory.h"
#include "platform/media/filter.h"

#include <QWidget>

using namespace media;

HRESULT CreateCaptureGraph(std::shared_ptr<IGraphBuilder> *graph, std::shared_ptr<ICaptureGraphBuilder2> *builder)
{
    if (!graph || !builder)
        return E_POINTER;
    HRESULT hr = CoCreateInstance(CLSID_CaptureGraphBuilder2, builder);
    if (Failed(hr))
        return hr;
    hr = CoCreateInstance(CLSID_FilterGraph, graph);
    if (Failed(hr)) {
        builder->reset();
        return hr;
    }
    return (*builder)->SetFiltergraph(*graph);
}

HRESULT AddFilterByClsid(const std::shared_ptr<IGraphBuilder> &graph, const Guid &clsid, const QString &name,
    std::shared_ptr<IBaseFilter> *filter)
{
    if (!graph || !filter)
        return E_POINTER;
    std::shared_ptr<IBaseFilter> created;
    HRESULT hr = CoCreateInstance(clsid, &created);
    if (Failed(hr))
        return hr;
    hr = graph->AddFilter(created, name);
    if (Failed(hr))
        return hr;
    *filter = created;
    return hr;
}

HRESULT FindFreePin(const std::shared_ptr<IBaseFilter> &filter, PIN_DIRECTION direction, std::shared_ptr<IPin> *pin)
{
    if (!filter || !pin)
        return E_POINTER;
    std::vector<std::shared_ptr<IPin>> pins;
    HRESULT hr = filter->EnumPins(&pins);
    if (Failed(hr))
        return hr;
    for (const auto &candidate : pins) {
        std::shared_ptr<IPin> peer;
        if (candidate->Direction() == direction && Failed(candidate->ConnectedTo(&peer))) {
            *pin = candidate;
            return S_OK;
        }
    }
    return E_FAIL;
}

HRESULT ConnectPinToFilter(const std::shared_ptr<IGraphBuilder> &graph, const std::shared_ptr<IPin> &out,
    const std::shared_ptr<IBaseFilter> &downstream)
{
    if (!graph || !out || !downstream)
        return E_POINTER;
    std::shared_ptr<IPin> in;
    HRESULT hr = FindFreePin(downstream, PINDIR_INPUT, &in);
    if (Failed(hr))
        return hr;
    return graph->Connect(out, in);
}

HRESULT ConnectFilters(const std::shared_ptr<IGraphBuilder> &graph, const std::shared_ptr<IBaseFilter> &upstream,
    const std::shared_ptr<IBaseFilter> &downstream)
{
    if (!graph || !upstream || !downstream)
        return E_POINTER;
    std::shared_ptr<IPin> out;
    HRESULT hr = FindFreePin(upstream, PINDIR_OUTPUT, &out);
    if (Failed(hr))
        return hr;
    return ConnectPinToFilter(graph, out, downstream);
}

HRESULT BindVideoWindow(const std::shared_ptr<IBaseFilter> &renderer, QWidget *host, LONG left, LONG top,
    std::shared_ptr<IVideoWindow> *window)
{
    if (!window)
        return E_POINTER;
    std::shared_ptr<IVideoWindow> video;
    HRESULT hr = QueryInterface(renderer, &video);
    if (Failed(hr))
        return hr;
    if (Failed(hr = video->put_Owner(host)))
        return hr;
    if (Failed(hr = video->put_WindowStyle(WS_CHILD | WS_CLIPCHILDREN)))
        return hr;
    const QRect client = host ? host->contentsRect() : QRect();
    video->SetWindowPosition(left, top, client.width(), client.height());
    if (Failed(hr = video->put_Visible(OATRUE)))
        return hr;
    hr = video->put_MessageDrain(host);
    *window = video;
    return hr;
}

bool TakeEventsUntilComplete(const std::shared_ptr<media::IMediaEventEx> &events)
{
    if (!events)
        return false;
    media::LONG code = 0;
    media::LONG_PTR param1 = 0, param2 = 0;
    while (Succeeded(events->GetEvent(&code, &param1, &param2, 0))) {
        events->FreeEventParams(code, param1, param2);
        if (code == media::EC_COMPLETE)
            return true;
    }
    return false;
}
