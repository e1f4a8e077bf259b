#pragma once
// The filter graph: one GstPipeline holding the filters' bins. Implements the
// graph builder, media control, media event and media seeking interfaces, so
// QueryInterface on the graph yields each of them.
//
// Threads: build, control and seeking calls come from one thread (the
// dialog's). GStreamer's threads only touch the graph's event queue: a bus
// message becomes an event (EC_COMPLETE on end of stream, EC_ERRORABORT with
// the code in param1 on an error, which also goes to the diagnostics channel),
// and the notify target gets a queued GraphNotifyEvent.
#include "platform/media/filter.h"
#include "platform/media/interfaces.h"

#include <gst/gst.h>
#include <memory>

namespace media {

class Graph final : public IGraphBuilder,
                    public IMediaControl,
                    public IMediaEventEx,
                    public IMediaSeeking,
                    public std::enable_shared_from_this<Graph> {
public:
    // Use CreateInstance(CLSID_FilterGraph, ...) or Graph::Create().
    static std::shared_ptr<Graph> Create();
    ~Graph() override;

    // IGraphBuilder
    HRESULT AddFilter(const std::shared_ptr<IBaseFilter> &filter, const QString &name) override;
    HRESULT RemoveFilter(const std::shared_ptr<IBaseFilter> &filter) override;
    HRESULT FindFilterByName(const QString &name, std::shared_ptr<IBaseFilter> *out) override;
    HRESULT EnumFilters(std::vector<std::shared_ptr<IBaseFilter>> *out) override;
    HRESULT Connect(const std::shared_ptr<IPin> &out, const std::shared_ptr<IPin> &in) override;
    HRESULT Disconnect(const std::shared_ptr<IPin> &pin) override;
    HRESULT RenderFile(const QString &path, const QString &playList = {}) override;

    // IMediaControl
    HRESULT Run() override;
    HRESULT Pause() override;
    HRESULT Stop() override;
    HRESULT GetState(LONG msTimeout, OAFilterState *state) override;

    // IMediaEventEx
    HRESULT GetEvent(LONG *eventCode, LONG_PTR *param1, LONG_PTR *param2, LONG msTimeout) override;
    HRESULT FreeEventParams(LONG eventCode, LONG_PTR param1, LONG_PTR param2) override;
    HRESULT SetNotifyWindow(QObject *target, LONG message, LONG_PTR instanceData) override;

    // IMediaSeeking
    HRESULT SetTimeFormat(const Guid &format) override;
    HRESULT GetCurrentPosition(LONGLONG *position) override;
    HRESULT GetDuration(LONGLONG *duration) override;
    HRESULT SetPositions(LONGLONG *current, DWORD currentFlags, LONGLONG *stop, DWORD stopFlags) override;

    // The pipeline (owned by the graph).
    GstElement *Pipeline() const;
    // The error that stopped the streams since the graph last started
    // ("element: message"); empty when none.
    QString LastError() const;
    // How long Stop waits for a file writer to finish (default 4 s).
    void SetDrainTimeoutMs(int ms);

private:
    Graph();
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace media
