#pragma once
// The capture graph builder: writer creation, stream rendering between
// filters and the stream-format interface of a capture pin.
#include "platform/media/interfaces.h"

#include <memory>

namespace media {

class CaptureGraphBuilder final : public ICaptureGraphBuilder2 {
public:
    HRESULT SetFiltergraph(const std::shared_ptr<IGraphBuilder> &graph) override;
    HRESULT GetFiltergraph(std::shared_ptr<IGraphBuilder> *graph) override;
    HRESULT SetOutputFileName(const Guid &type, const QString &fileName, std::shared_ptr<IBaseFilter> *writer,
        std::shared_ptr<IFileSinkFilter> *sink) override;
    HRESULT RenderStream(const Guid *category, const Guid *type, const std::shared_ptr<IBaseFilter> &source,
        const std::shared_ptr<IBaseFilter> &intermediate, const std::shared_ptr<IBaseFilter> &sink) override;
    HRESULT FindInterface(const Guid *category, const Guid *type, const std::shared_ptr<IBaseFilter> &filter,
        std::shared_ptr<IAMStreamConfig> *out) override;

private:
    std::shared_ptr<IGraphBuilder> graph_;
};

} // namespace media
