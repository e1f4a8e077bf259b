#include "platform/media/capture_graph_builder.h"

#include "platform/diag/diagnostics.h"
#include "platform/media/asf_writer.h"
#include "platform/media/factory.h"
#include "platform/media/filter.h"

namespace media {
namespace {

bool Matches(const Pin &pin, const Guid *category, const Guid *type)
{
    if (category && !category->IsNull() && pin.Category() != *category)
        return false;
    if (type && !type->IsNull() && !pin.MajorType().IsNull() && pin.MajorType() != *type)
        return false;
    return true;
}

std::shared_ptr<Pin> FreePin(const std::shared_ptr<Filter> &filter, PIN_DIRECTION direction, const Guid *category,
    const Guid *type)
{
    std::vector<std::shared_ptr<Pin>> pins;
    filter->EnumPins(&pins);
    for (const auto &pin : pins)
        if (pin->Direction() == direction && !pin->IsConnected() && pin->Pad() && Matches(*pin, category, type))
            return pin;
    return nullptr;
}

} // namespace

HRESULT CaptureGraphBuilder::SetFiltergraph(const std::shared_ptr<IGraphBuilder> &graph)
{
    if (!graph)
        return E_POINTER;
    if (graph_)
        return E_UNEXPECTED;
    graph_ = graph;
    return S_OK;
}

HRESULT CaptureGraphBuilder::GetFiltergraph(std::shared_ptr<IGraphBuilder> *graph)
{
    if (!graph)
        return E_POINTER;
    *graph = graph_;
    return graph_ ? S_OK : E_UNEXPECTED;
}

HRESULT CaptureGraphBuilder::SetOutputFileName(const Guid &type, const QString &fileName,
    std::shared_ptr<IBaseFilter> *writer, std::shared_ptr<IFileSinkFilter> *sink)
{
    if (!writer)
        return E_POINTER;
    writer->reset();
    if (sink)
        sink->reset();
    if (type != MEDIASUBTYPE_Asf) {
        diag::OutputDebugString(QStringLiteral("media: no file writer for type %1").arg(type.ToString()));
        return E_INVALIDARG;
    }
    if (!graph_)
        return E_UNEXPECTED;
    HRESULT hr = S_OK;
    auto asf = AsfWriter::Create(&hr);
    if (Failed(hr))
        return hr;
    if (Failed(hr = asf->SetFileName(fileName, nullptr)))
        return hr;
    if (Failed(hr = graph_->AddFilter(asf, QStringLiteral("WM ASF Writer"))))
        return hr;
    *writer = asf;
    if (sink)
        *sink = asf;
    return S_OK;
}

HRESULT CaptureGraphBuilder::RenderStream(const Guid *category, const Guid *type,
    const std::shared_ptr<IBaseFilter> &source, const std::shared_ptr<IBaseFilter> &intermediate,
    const std::shared_ptr<IBaseFilter> &sink)
{
    if (!source)
        return E_POINTER;
    if (!graph_)
        return E_UNEXPECTED;
    std::shared_ptr<Pin> out = FreePin(source, PINDIR_OUTPUT, category, type);
    if (!out)
        return E_FAIL;
    const Guid streamType = type ? *type : out->MajorType();
    HRESULT hr = S_OK;
    if (intermediate) {
        auto in = FreePin(intermediate, PINDIR_INPUT, nullptr, &streamType);
        if (!in)
            return E_FAIL;
        if (Failed(hr = graph_->Connect(out, in)))
            return hr;
        out = FreePin(intermediate, PINDIR_OUTPUT, nullptr, &streamType);
        if (!out)
            return E_FAIL;
    }
    std::shared_ptr<IBaseFilter> target = sink;
    if (!target) {
        const bool video = streamType == MEDIATYPE_Video;
        if (Failed(hr = CoCreateInstance(video ? CLSID_VideoRenderer : CLSID_DSoundRender, &target)))
            return hr;
        if (Failed(hr = graph_->AddFilter(target, video ? QStringLiteral("Video Renderer")
                                                        : QStringLiteral("Audio Renderer"))))
            return hr;
    }
    auto in = FreePin(target, PINDIR_INPUT, nullptr, &streamType);
    if (!in)
        return E_FAIL;
    return graph_->Connect(out, in);
}

HRESULT CaptureGraphBuilder::FindInterface(const Guid *category, const Guid *type,
    const std::shared_ptr<IBaseFilter> &filter, std::shared_ptr<IAMStreamConfig> *out)
{
    if (!filter || !out)
        return E_POINTER;
    out->reset();
    std::vector<std::shared_ptr<Pin>> pins;
    filter->EnumPins(&pins);
    for (const auto &pin : pins)
        if (pin->Direction() == PINDIR_OUTPUT && Matches(*pin, category, type) && Succeeded(QueryInterface(pin, out)))
            return S_OK;
    return QueryInterface(filter, out);
}

} // namespace media
