#pragma once
// The small graph utilities every capture and playback graph is built with.
// Each returns a status code; see Succeeded() for when a step counts as done.
#include "platform/media/interfaces.h"

#include <memory>

class QWidget;

// Creates the capture graph builder, then the filter graph, and binds them.
// E_POINTER without out places; when the graph cannot be created the builder
// is released and the creation code returned.
HRESULT CreateCaptureGraph(std::shared_ptr<media::IGraphBuilder> *graph,
    std::shared_ptr<media::ICaptureGraphBuilder2> *builder);

// Creates the filter of class clsid and adds it to graph under name; on
// success *filter holds it (a repeated name gives VFW_S_DUPLICATE_NAME).
HRESULT AddFilterByClsid(const std::shared_ptr<media::IGraphBuilder> &graph, const media::Guid &clsid,
    const QString &name, std::shared_ptr<media::IBaseFilter> *filter);

// First pin of that direction, in pin order, that is not connected; E_FAIL when none.
HRESULT FindFreePin(const std::shared_ptr<media::IBaseFilter> &filter, media::PIN_DIRECTION direction,
    std::shared_ptr<media::IPin> *pin);

// Connects out to the first free input pin of downstream (intelligent connect).
HRESULT ConnectPinToFilter(const std::shared_ptr<media::IGraphBuilder> &graph,
    const std::shared_ptr<media::IPin> &out, const std::shared_ptr<media::IBaseFilter> &downstream);

// Connects the first free output pin of upstream to the first free input pin of downstream.
HRESULT ConnectFilters(const std::shared_ptr<media::IGraphBuilder> &graph,
    const std::shared_ptr<media::IBaseFilter> &upstream, const std::shared_ptr<media::IBaseFilter> &downstream);

// Makes renderer's video window a child of host at (left, top) with the
// host's client size, visible, its input drained to host; hands the window out.
HRESULT BindVideoWindow(const std::shared_ptr<media::IBaseFilter> &renderer, QWidget *host, media::LONG left,
    media::LONG top, std::shared_ptr<media::IVideoWindow> *window);

// Takes and frees queued events without waiting until the end of the stream
// (EC_COMPLETE) is taken, which gives true; later events stay queued. False
// when the queue runs dry first or there is no event interface.
bool TakeEventsUntilComplete(const std::shared_ptr<media::IMediaEventEx> &events);
