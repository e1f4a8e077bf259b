#pragma once
// Helpers of the media layer tests: live test sources wrapped as capture
// filters, and waiting while the Qt event loop runs.
#include "tests/support/test_environment.h"
#include "platform/media/factory.h"
#include "platform/media/graph.h"
#include "platform/media/source_filter.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <functional>

namespace mediatest {

// A live 320x240 30 fps camera showing a videotestsrc pattern.
inline std::shared_ptr<media::Filter> MakeTestCamera(const char *pattern = "smpte",
    const char *format = "video/x-raw,width=320,height=240,framerate=30/1")
{
    GstElement *src = gst_element_factory_make("videotestsrc", nullptr);
    g_object_set(src, "is-live", TRUE, nullptr);
    gst_util_set_object_arg(G_OBJECT(src), "pattern", pattern);
    media::SourceOptions options;
    options.kind = media::SourceKind::Video;
    options.currentFormat = QString::fromLatin1(format);
    return media::MakeSourceFilter(src, options);
}

// A live sine microphone.
inline std::shared_ptr<media::Filter> MakeTestMicrophone()
{
    GstElement *src = gst_element_factory_make("audiotestsrc", nullptr);
    g_object_set(src, "is-live", TRUE, nullptr);
    media::SourceOptions options;
    options.kind = media::SourceKind::Audio;
    return media::MakeSourceFilter(src, options);
}

// Runs the event loop until done() or ms pass; returns done().
inline bool WaitUntil(const std::function<bool()> &done, int ms = 3000) { return testenv::PumpUntil(done, ms); }

// Starts a graph and waits (bounded) until it really runs: a loaded machine
// may take a while to start the sources, and a recording's length counts
// from there, not from the call.
inline bool RunUntilRunning(media::Graph &graph, int ms = 5000)
{
    if (graph.Run() != S_OK)
        return false;
    media::OAFilterState state = media::State_Stopped;
    return graph.GetState(static_cast<media::LONG>(ms * testenv::TimeFactor()), &state) == S_OK
        && state == media::State_Running;
}

inline std::shared_ptr<media::Graph> NewGraph()
{
    std::shared_ptr<media::Graph> graph;
    media::CoCreateInstance(media::CLSID_FilterGraph, &graph);
    return graph;
}

template <class T>
std::shared_ptr<T> Create(const media::Guid &clsid)
{
    std::shared_ptr<T> object;
    media::CoCreateInstance(clsid, &object);
    return object;
}

inline std::shared_ptr<media::Pin> PinAt(const std::shared_ptr<media::Filter> &filter, size_t index)
{
    std::vector<std::shared_ptr<media::Pin>> pins;
    filter->EnumPins(&pins);
    return index < pins.size() ? pins[index] : nullptr;
}

} // namespace mediatest
