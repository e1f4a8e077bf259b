#include "platform/media/factory.h"

#include "platform/diag/diagnostics.h"
#include "platform/media/asf_reader.h"
#include "platform/media/asf_writer.h"
#include "platform/media/capture_graph_builder.h"
#include "platform/media/dmo_wrapper_filter.h"
#include "platform/media/graph.h"
#include "platform/media/gst_util.h"
#include "platform/media/infinite_tee.h"
#include "platform/media/sample_grabber.h"
#include "platform/media/simple_filters.h"
#include "platform/media/video_renderer.h"

#include <mutex>
#include <unordered_map>

namespace media {
namespace {

template <class T>
ClassFactory FilterFactory()
{
    return [](std::shared_ptr<IUnknown> *out) {
        HRESULT hr = S_OK;
        auto object = T::Create(&hr);
        if (Failed(hr))
            return hr;
        *out = object;
        return S_OK;
    };
}

struct Table {
    std::mutex mutex;
    std::unordered_map<Guid, ClassFactory, GuidHash> classes;
    ElementFactory micInput = [] { return MakeElement("pulsesrc"); };

    Table()
    {
        classes[CLSID_FilterGraph] = [](std::shared_ptr<IUnknown> *out) {
            *out = Graph::Create();
            return S_OK;
        };
        classes[CLSID_CaptureGraphBuilder2] = [](std::shared_ptr<IUnknown> *out) {
            *out = std::make_shared<CaptureGraphBuilder>();
            return S_OK;
        };
        classes[CLSID_SampleGrabber] = FilterFactory<SampleGrabber>();
        classes[CLSID_InfTee] = FilterFactory<InfiniteTee>();
        classes[CLSID_Colour] = FilterFactory<ColourConverter>();
        classes[CLSID_VideoRenderer] = FilterFactory<VideoRenderer>();
        classes[CLSID_DSoundRender] = FilterFactory<AudioRenderer>();
        classes[CLSID_WMAsfWriter] = FilterFactory<AsfWriter>();
        classes[CLSID_WMAsfReader] = FilterFactory<AsfReader>();
        classes[CLSID_DMOWrapperFilter] = FilterFactory<DmoWrapperFilter>();
        classes[CLSID_MicArraySource] = [this](std::shared_ptr<IUnknown> *out) {
            ElementFactory input;
            {
                std::lock_guard lock(mutex);
                input = micInput;
            }
            HRESULT hr = S_OK;
            auto filter = MicArraySource::Create(&hr, input ? input() : nullptr);
            if (Failed(hr))
                return hr;
            *out = filter;
            return S_OK;
        };
    }
};

Table &TheTable()
{
    static Table table;
    return table;
}

} // namespace

HRESULT CreateInstance(const Guid &clsid, std::shared_ptr<IUnknown> *out)
{
    if (!out)
        return E_POINTER;
    out->reset();
    ClassFactory factory;
    {
        Table &table = TheTable();
        std::lock_guard lock(table.mutex);
        auto it = table.classes.find(clsid);
        if (it != table.classes.end())
            factory = it->second;
    }
    if (!factory) {
        diag::OutputDebugString(QStringLiteral("media: class %1 is not registered").arg(clsid.ToString()));
        return REGDB_E_CLASSNOTREG;
    }
    const HRESULT hr = factory(out);
    if (Failed(hr))
        out->reset();
    return hr;
}

void RegisterClassFactory(const Guid &clsid, ClassFactory factory)
{
    Table &table = TheTable();
    std::lock_guard lock(table.mutex);
    table.classes[clsid] = std::move(factory);
}

void SetMicArrayInputFactory(ElementFactory factory)
{
    Table &table = TheTable();
    std::lock_guard lock(table.mutex);
    table.micInput = factory ? std::move(factory) : ElementFactory([] { return MakeElement("pulsesrc"); });
}

} // namespace media
