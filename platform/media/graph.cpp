#include "platform/media/graph.h"

#include "platform/diag/diagnostics.h"
#include "platform/diag/thread_handoff.h"
#include "platform/media/asf_reader.h"
#include "platform/media/dmo_wrapper_filter.h"
#include "platform/media/graph_notify_event.h"
#include "platform/media/gst_util.h"
#include "platform/media/simple_filters.h"
#include "platform/media/video_renderer.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QPointer>
#include <QThread>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>

namespace media {
namespace {

struct Event {
    LONG code;
    LONG_PTR param1;
    LONG_PTR param2;
};

struct Connection {
    std::weak_ptr<Pin> out;
    std::weak_ptr<Pin> in;
    std::vector<GstElement *> converters; // owned by the pipeline
};

// Lives on the thread that asked for notifications; turns a queued call from
// a media thread into a GraphNotifyEvent posted to the target, checked there.
class NotifyRelay : public QObject {
public:
    void Set(QObject *target, LONG message, LONG_PTR data)
    {
        std::lock_guard lock(mutex_);
        target_ = target;
        message_ = message;
        data_ = data;
    }
    void Deliver()
    {
        QPointer<QObject> target;
        LONG message;
        LONG_PTR data;
        {
            std::lock_guard lock(mutex_);
            target = target_;
            message = message_;
            data = data_;
        }
        if (target)
            QCoreApplication::postEvent(target, new GraphNotifyEvent(message, data));
    }

private:
    std::mutex mutex_;
    QPointer<QObject> target_;
    LONG message_ = 0;
    LONG_PTR data_ = 0;
};

GstState CurrentState(GstElement *e, GstState *pending = nullptr)
{
    GstState cur = GST_STATE_NULL, pend = GST_STATE_VOID_PENDING;
    gst_element_get_state(e, &cur, &pend, 0);
    if (pending)
        *pending = pend;
    return cur;
}

bool IsRaw(const GstCaps *caps, const char *media)
{
    CapsPtr raw(gst_caps_from_string(media));
    return gst_caps_can_intersect(caps, raw.get());
}

} // namespace

struct Graph::Impl {
    GstElement *pipeline = nullptr;
    std::vector<std::pair<QString, std::shared_ptr<Filter>>> filters;
    std::vector<Connection> connections;

    std::mutex eventMutex;
    std::condition_variable eventCond;
    std::deque<Event> events;
    bool draining = false;
    bool drained = false;
    bool failed = false; // an error since the last start
    QString lastError;   // what that error said
    bool renderFailed = false; // the last RenderFile failed and said why
    NotifyRelay *relay = nullptr;
    bool notifyOn = false;

    int drainTimeoutMs = 4000;
    std::optional<gint64> pendingSeekNs;
    GstSeekFlags pendingSeekFlags = GST_SEEK_FLAG_FLUSH;

    static GstBusSyncReply OnBusMessage(GstBus *, GstMessage *msg, gpointer data);
    void PushEvent(LONG code, LONG_PTR p1, LONG_PTR p2);
    void OnEos();
    void OnError(GstMessage *msg);

    int IndexOf(const std::shared_ptr<Filter> &f) const
    {
        for (size_t i = 0; i < filters.size(); ++i)
            if (filters[i].second == f)
                return static_cast<int>(i);
        return -1;
    }
    bool NameTaken(const QString &name) const
    {
        for (const auto &entry : filters)
            if (entry.first == name)
                return true;
        return false;
    }
    bool WritesFile() const
    {
        for (const auto &entry : filters)
            if (entry.second->WritesFile())
                return true;
        return false;
    }
    void Drain();
    void WaitForStateChange(int ms) const
    {
        gst_element_get_state(pipeline, nullptr, nullptr, static_cast<GstClockTime>(ms) * GST_MSECOND);
    }
    HRESULT LinkWithConverter(Pin &out, Pin &in, Connection *conn);
    void DropConnection(size_t index);
};

GstBusSyncReply Graph::Impl::OnBusMessage(GstBus *, GstMessage *msg, gpointer data)
{
    auto *self = static_cast<Impl *>(data);
    switch (GST_MESSAGE_TYPE(msg)) {
    case GST_MESSAGE_EOS:
        self->OnEos();
        break;
    case GST_MESSAGE_ERROR:
        DispatchElementMessage(msg);
        self->OnError(msg);
        break;
    case GST_MESSAGE_ELEMENT:
        DispatchElementMessage(msg);
        break;
    case GST_MESSAGE_WARNING: {
        GError *err = nullptr;
        gst_message_parse_warning(msg, &err, nullptr);
        diag::OutputDebugString(QStringLiteral("media: warning from %1: %2")
                                    .arg(QString::fromUtf8(GST_OBJECT_NAME(GST_MESSAGE_SRC(msg))),
                                        QString::fromUtf8(err ? err->message : "")));
        g_clear_error(&err);
        break;
    }
    default:
        break;
    }
    return GST_BUS_DROP;
}

void Graph::Impl::PushEvent(LONG code, LONG_PTR p1, LONG_PTR p2)
{
    std::lock_guard lock(eventMutex);
    events.push_back(Event{code, p1, p2});
    eventCond.notify_all();
    if (relay && notifyOn) {
        NotifyRelay *r = relay;
        QMetaObject::invokeMethod(r, diag::QueuedCall([r] { r->Deliver(); }), Qt::QueuedConnection);
    }
}

void Graph::Impl::OnEos()
{
    {
        std::lock_guard lock(eventMutex);
        if (draining) {
            drained = true;
            eventCond.notify_all();
            return;
        }
    }
    PushEvent(EC_COMPLETE, S_OK, 0);
}

void Graph::Impl::OnError(GstMessage *msg)
{
    GError *err = nullptr;
    gchar *debug = nullptr;
    gst_message_parse_error(msg, &err, &debug);
    const QString what = QStringLiteral("%1: %2").arg(QString::fromUtf8(GST_OBJECT_NAME(GST_MESSAGE_SRC(msg))),
        QString::fromUtf8(err ? err->message : ""));
    diag::OutputDebugString(
        QStringLiteral("media: error from %1 (%2)").arg(what, QString::fromUtf8(debug ? debug : "")));
    g_clear_error(&err);
    g_free(debug);
    {
        std::lock_guard lock(eventMutex);
        if (!failed)
            lastError = what;
        failed = true;
        if (draining) {
            drained = true;
            eventCond.notify_all();
        }
    }
    PushEvent(EC_ERRORABORT, E_FAIL, 0);
}

void Graph::Impl::Drain()
{
    {
        std::lock_guard lock(eventMutex);
        draining = true;
        drained = false;
    }
    // Live sources only push the end of stream while playing.
    if (CurrentState(pipeline) != GST_STATE_PLAYING) {
        gst_element_set_state(pipeline, GST_STATE_PLAYING);
        WaitForStateChange(1000);
    }
    gst_element_send_event(pipeline, gst_event_new_eos());
    std::unique_lock lock(eventMutex);
    const bool done = eventCond.wait_for(lock, std::chrono::milliseconds(drainTimeoutMs), [this] { return drained; });
    draining = false;
    if (!done)
        diag::OutputDebugString(
            QStringLiteral("media: the file writer did not finish within %1 ms; closing the file anyway")
                .arg(drainTimeoutMs));
}

HRESULT Graph::Impl::LinkWithConverter(Pin &out, Pin &in, Connection *conn)
{
    CapsPtr outCaps(out.QueryCaps());
    CapsPtr inCaps(in.QueryCaps());
    if (gst_caps_can_intersect(outCaps.get(), inCaps.get()))
        return gst_pad_link(out.Pad(), in.Pad()) == GST_PAD_LINK_OK ? S_OK : VFW_E_CANNOT_CONNECT;

    std::vector<const char *> chain;
    if (IsRaw(outCaps.get(), "video/x-raw") && IsRaw(inCaps.get(), "video/x-raw"))
        chain = {"videoconvert"};
    else if (IsRaw(outCaps.get(), "audio/x-raw") && IsRaw(inCaps.get(), "audio/x-raw"))
        chain = {"audioconvert", "audioresample"};
    else
        return VFW_E_CANNOT_CONNECT;

    std::vector<GstElement *> made;
    for (const char *factory : chain) {
        GstElement *e = MakeElement(factory);
        if (!e) {
            for (GstElement *m : made) {
                gst_element_set_state(m, GST_STATE_NULL);
                gst_bin_remove(GST_BIN(pipeline), m);
            }
            return REGDB_E_CLASSNOTREG;
        }
        gst_bin_add(GST_BIN(pipeline), e);
        if (!made.empty())
            gst_element_link(made.back(), e);
        made.push_back(e);
    }
    PadPtr first(gst_element_get_static_pad(made.front(), "sink"));
    PadPtr last(gst_element_get_static_pad(made.back(), "src"));
    const bool ok = gst_pad_link(out.Pad(), first.get()) == GST_PAD_LINK_OK
        && gst_pad_link(last.get(), in.Pad()) == GST_PAD_LINK_OK;
    if (!ok) {
        gst_pad_unlink(out.Pad(), first.get());
        for (GstElement *m : made) {
            gst_element_set_state(m, GST_STATE_NULL);
            gst_bin_remove(GST_BIN(pipeline), m);
        }
        return VFW_E_CANNOT_CONNECT;
    }
    for (GstElement *m : made)
        gst_element_sync_state_with_parent(m);
    conn->converters = made;
    return S_OK;
}

void Graph::Impl::DropConnection(size_t index)
{
    Connection conn = connections[index];
    connections.erase(connections.begin() + static_cast<long>(index));
    auto out = conn.out.lock();
    auto in = conn.in.lock();
    if (out && out->Pad()) {
        PadPtr peer(gst_pad_get_peer(out->Pad()));
        if (peer)
            gst_pad_unlink(out->Pad(), peer.get());
    }
    if (in && in->Pad()) {
        PadPtr peer(gst_pad_get_peer(in->Pad()));
        if (peer)
            gst_pad_unlink(peer.get(), in->Pad());
    }
    for (GstElement *m : conn.converters) {
        gst_element_set_state(m, GST_STATE_NULL);
        gst_bin_remove(GST_BIN(pipeline), m);
    }
    for (const auto &pin : {out, in}) {
        if (!pin)
            continue;
        pin->ClearPeer();
        if (auto f = pin->OwnerFilter())
            f->OnPinDisconnected(pin);
    }
}

Graph::Graph() : d(std::make_unique<Impl>())
{
    d->pipeline = gst_pipeline_new(nullptr);
    gst_object_ref_sink(d->pipeline);
    GstBus *bus = gst_element_get_bus(d->pipeline);
    gst_bus_set_sync_handler(bus, &Impl::OnBusMessage, d.get(), nullptr);
    gst_object_unref(bus);
}

std::shared_ptr<Graph> Graph::Create() { return std::shared_ptr<Graph>(new Graph()); }

Graph::~Graph()
{
    Stop();
    GstBus *bus = gst_element_get_bus(d->pipeline);
    gst_bus_set_sync_handler(bus, nullptr, nullptr, nullptr);
    gst_object_unref(bus);
    for (auto &entry : d->filters) {
        std::vector<std::shared_ptr<Pin>> pins;
        entry.second->EnumPins(&pins);
        for (const auto &pin : pins)
            pin->ClearPeer();
        entry.second->SetGraph(nullptr, QString());
    }
    d->filters.clear();
    gst_object_unref(d->pipeline);
    if (d->relay) {
        if (d->relay->thread() == QThread::currentThread())
            delete d->relay;
        else
            d->relay->deleteLater();
    }
}

GstElement *Graph::Pipeline() const { return d->pipeline; }
void Graph::SetDrainTimeoutMs(int ms) { d->drainTimeoutMs = ms; }

QString Graph::LastError() const
{
    std::lock_guard lock(d->eventMutex);
    return d->failed ? d->lastError : QString();
}

HRESULT Graph::AddFilter(const std::shared_ptr<IBaseFilter> &filter, const QString &name)
{
    if (!filter)
        return E_POINTER;
    if (d->IndexOf(filter) >= 0 || GST_OBJECT_PARENT(filter->Element()))
        return E_INVALIDARG;
    QString unique = name.isEmpty() ? QStringLiteral("Filter") : name;
    HRESULT hr = S_OK;
    if (d->NameTaken(unique)) {
        hr = VFW_S_DUPLICATE_NAME;
        for (int n = 1; d->NameTaken(unique); ++n)
            unique = QStringLiteral("%1 %2").arg(name).arg(n, 4, 10, QLatin1Char('0'));
    }
    if (!gst_bin_add(GST_BIN(d->pipeline), filter->Element()))
        return E_FAIL;
    if (CurrentState(d->pipeline) > GST_STATE_NULL)
        gst_element_sync_state_with_parent(filter->Element());
    d->filters.emplace_back(unique, filter);
    filter->SetGraph(shared_from_this(), unique);
    return hr;
}

HRESULT Graph::RemoveFilter(const std::shared_ptr<IBaseFilter> &filter)
{
    if (!filter)
        return E_POINTER;
    const int index = d->IndexOf(filter);
    if (index < 0)
        return VFW_E_NOT_FOUND;
    std::vector<std::shared_ptr<Pin>> pins;
    filter->EnumPins(&pins);
    for (const auto &pin : pins)
        Disconnect(pin);
    gst_element_set_state(filter->Element(), GST_STATE_NULL);
    gst_bin_remove(GST_BIN(d->pipeline), filter->Element());
    d->filters.erase(d->filters.begin() + index);
    filter->SetGraph(nullptr, QString());
    return S_OK;
}

HRESULT Graph::FindFilterByName(const QString &name, std::shared_ptr<IBaseFilter> *out)
{
    if (!out)
        return E_POINTER;
    for (const auto &entry : d->filters) {
        if (entry.first == name) {
            *out = entry.second;
            return S_OK;
        }
    }
    out->reset();
    return VFW_E_NOT_FOUND;
}

HRESULT Graph::EnumFilters(std::vector<std::shared_ptr<IBaseFilter>> *out)
{
    if (!out)
        return E_POINTER;
    out->clear();
    for (const auto &entry : d->filters)
        out->push_back(entry.second);
    return S_OK;
}

HRESULT Graph::Connect(const std::shared_ptr<IPin> &out, const std::shared_ptr<IPin> &in)
{
    if (!out || !in)
        return E_POINTER;
    if (out->Direction() != PINDIR_OUTPUT || in->Direction() != PINDIR_INPUT)
        return E_INVALIDARG;
    auto upstream = out->OwnerFilter();
    auto downstream = in->OwnerFilter();
    if (!upstream || !downstream || d->IndexOf(upstream) < 0 || d->IndexOf(downstream) < 0)
        return VFW_E_NOT_IN_GRAPH;
    if (out->IsConnected() || in->IsConnected())
        return VFW_E_ALREADY_CONNECTED;
    if (!out->Pad() || !in->Pad())
        return VFW_E_CANNOT_CONNECT;
    CapsPtr offered(out->QueryCaps());
    HRESULT hr = downstream->PrepareInputPin(in, offered.get());
    if (Failed(hr))
        return hr;
    if (Failed(hr = upstream->PrepareOutputPin(out)))
        return hr;
    Connection conn{out, in, {}};
    hr = d->LinkWithConverter(*out, *in, &conn);
    if (Failed(hr))
        return hr;
    d->connections.push_back(conn);
    out->SetPeer(in);
    in->SetPeer(out);
    upstream->OnPinConnected(out);
    downstream->OnPinConnected(in);
    return S_OK;
}

HRESULT Graph::Disconnect(const std::shared_ptr<IPin> &pin)
{
    if (!pin)
        return E_POINTER;
    for (size_t i = 0; i < d->connections.size(); ++i) {
        const auto &c = d->connections[i];
        if (c.out.lock() == pin || c.in.lock() == pin) {
            d->DropConnection(i);
            return S_OK;
        }
    }
    return S_FALSE;
}

HRESULT Graph::RenderFile(const QString &path, const QString &)
{
    if (!QFileInfo(path).isFile()) {
        diag::OutputDebugString(QStringLiteral("media: cannot render '%1': no such file").arg(path));
        d->renderFailed = true;
        return VFW_E_NOT_FOUND;
    }
    if (!IsAsfFile(path)) {
        diag::OutputDebugString(QStringLiteral("media: cannot render '%1': not a Windows Media (ASF) file").arg(path));
        d->renderFailed = true;
        return VFW_E_UNKNOWN_FILE_TYPE;
    }
    std::vector<std::shared_ptr<Filter>> added;
    auto add = [&](const std::shared_ptr<Filter> &f, const QString &name) {
        const HRESULT hr = f ? AddFilter(f, name) : E_FAIL;
        if (Succeeded(hr) || hr == VFW_S_DUPLICATE_NAME)
            added.push_back(f);
        return hr;
    };
    // Says which step failed (the step's own line, if any, gave the details)
    // and leaves the graph as it was.
    auto fail = [&](HRESULT hr, const QString &step) {
        diag::OutputDebugString(QStringLiteral("media: cannot render '%1': %2 failed (0x%3)")
                                    .arg(path, step)
                                    .arg(static_cast<unsigned>(hr), 8, 16, QLatin1Char('0')));
        for (const auto &f : added)
            RemoveFilter(f);
        d->renderFailed = true;
        return hr;
    };
    HRESULT hr = S_OK;
    auto reader = AsfReader::Create(&hr);
    if (Failed(hr) || Failed(hr = add(reader, path)))
        return fail(hr, QStringLiteral("adding the file reader"));
    if (Failed(hr = reader->Load(path, nullptr)))
        return fail(hr, QStringLiteral("reading the file"));
    std::vector<std::shared_ptr<Pin>> streams;
    reader->EnumPins(&streams);
    for (const auto &stream : streams) {
        const bool video = stream->MajorType() == MEDIATYPE_Video;
        const QString kind = video ? QStringLiteral("video") : QStringLiteral("sound");
        auto decoder = DmoWrapperFilter::Create(&hr);
        if (Failed(hr))
            return fail(hr, QStringLiteral("making the %1 decoder").arg(kind));
        hr = video ? decoder->Init(CLSID_CWMVDecMediaObject, DMOCATEGORY_VIDEO_DECODER)
                   : decoder->Init(CLSID_CWMADecMediaObject, DMOCATEGORY_AUDIO_DECODER);
        if (Failed(hr) || Failed(hr = add(decoder, video ? QStringLiteral("WMVideo Decoder DMO")
                                                         : QStringLiteral("WMAudio Decoder DMO"))))
            return fail(hr, QStringLiteral("making the %1 decoder").arg(kind));
        std::vector<std::shared_ptr<Pin>> dpins;
        decoder->EnumPins(&dpins);
        if (Failed(hr = Connect(stream, dpins.at(0))))
            return fail(hr, QStringLiteral("connecting the %1 stream to a decoder").arg(kind));
        std::shared_ptr<Filter> last = decoder;
        if (video) {
            auto colour = ColourConverter::Create(&hr);
            if (Failed(hr) || Failed(hr = add(colour, QStringLiteral("Color Space Converter"))))
                return fail(hr, QStringLiteral("making the colour converter"));
            std::vector<std::shared_ptr<Pin>> cpins;
            colour->EnumPins(&cpins);
            if (Failed(hr = Connect(dpins.at(1), cpins.at(0))))
                return fail(hr, QStringLiteral("connecting the video decoder to the colour converter"));
            last = colour;
        }
        std::shared_ptr<Filter> renderer;
        if (video)
            renderer = VideoRenderer::Create(&hr);
        else
            renderer = AudioRenderer::Create(&hr);
        if (Failed(hr) || Failed(hr = add(renderer, video ? QStringLiteral("Video Renderer")
                                                          : QStringLiteral("Default DirectSound Device"))))
            return fail(hr, QStringLiteral("making the %1 renderer").arg(kind));
        std::vector<std::shared_ptr<Pin>> lpins, rpins;
        last->EnumPins(&lpins);
        renderer->EnumPins(&rpins);
        if (Failed(hr = Connect(lpins.at(1), rpins.at(0))))
            return fail(hr, QStringLiteral("connecting the %1 renderer").arg(kind));
    }
    d->renderFailed = false;
    return S_OK;
}

HRESULT Graph::Run()
{
    if (d->filters.empty()) {
        // After a failed RenderFile the reason was given there.
        if (!d->renderFailed)
            diag::OutputDebugString(QStringLiteral("media: Run on a graph without filters"));
        return VFW_E_WRONG_STATE;
    }
    if (CurrentState(d->pipeline) < GST_STATE_PAUSED)
        for (auto &entry : d->filters)
            entry.second->BeforeRun();
    if (d->pendingSeekNs) {
        if (gst_element_set_state(d->pipeline, GST_STATE_PAUSED) != GST_STATE_CHANGE_FAILURE) {
            d->WaitForStateChange(5000);
            gst_element_seek_simple(d->pipeline, GST_FORMAT_TIME, d->pendingSeekFlags, *d->pendingSeekNs);
        }
        d->pendingSeekNs.reset();
    }
    if (gst_element_set_state(d->pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        diag::OutputDebugString(QStringLiteral("media: the graph could not be started"));
        gst_element_set_state(d->pipeline, GST_STATE_NULL);
        return E_FAIL;
    }
    return S_OK;
}

HRESULT Graph::Pause()
{
    if (CurrentState(d->pipeline) < GST_STATE_PAUSED)
        for (auto &entry : d->filters)
            entry.second->BeforeRun();
    if (gst_element_set_state(d->pipeline, GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE) {
        diag::OutputDebugString(QStringLiteral("media: the graph could not be paused"));
        return E_FAIL;
    }
    return S_OK;
}

HRESULT Graph::Stop()
{
    GstState pending = GST_STATE_VOID_PENDING;
    const GstState current = CurrentState(d->pipeline, &pending);
    if (current == GST_STATE_NULL && pending == GST_STATE_VOID_PENDING)
        return S_OK;
    bool failed;
    {
        std::lock_guard lock(d->eventMutex);
        failed = d->failed;
        d->failed = false;
    }
    // After an error the streams no longer flow, so there is nothing to drain.
    if (d->WritesFile() && !failed && (current >= GST_STATE_PAUSED || pending >= GST_STATE_PAUSED))
        d->Drain();
    else if (d->WritesFile() && failed)
        diag::OutputDebugString(QStringLiteral("media: the graph failed while writing; the file is closed as it is"));
    gst_element_set_state(d->pipeline, GST_STATE_NULL);
    for (auto &entry : d->filters)
        entry.second->AfterStop();
    return S_OK;
}

HRESULT Graph::GetState(LONG msTimeout, OAFilterState *state)
{
    if (!state)
        return E_POINTER;
    GstState cur = GST_STATE_NULL, pending = GST_STATE_VOID_PENDING;
    const GstClockTime timeout = msTimeout < 0 ? GST_CLOCK_TIME_NONE : GstClockTime(msTimeout) * GST_MSECOND;
    const GstStateChangeReturn ret = gst_element_get_state(d->pipeline, &cur, &pending, timeout);
    auto map = [](GstState s) {
        return s == GST_STATE_PLAYING ? State_Running : s == GST_STATE_PAUSED ? State_Paused : State_Stopped;
    };
    if (ret == GST_STATE_CHANGE_FAILURE)
        return E_FAIL;
    if (ret == GST_STATE_CHANGE_ASYNC) {
        *state = map(pending);
        return VFW_S_STATE_INTERMEDIATE;
    }
    *state = map(cur);
    return S_OK;
}

HRESULT Graph::GetEvent(LONG *eventCode, LONG_PTR *param1, LONG_PTR *param2, LONG msTimeout)
{
    if (!eventCode || !param1 || !param2)
        return E_POINTER;
    std::unique_lock lock(d->eventMutex);
    auto ready = [this] { return !d->events.empty(); };
    if (msTimeout < 0)
        d->eventCond.wait(lock, ready);
    else if (msTimeout > 0)
        d->eventCond.wait_for(lock, std::chrono::milliseconds(msTimeout), ready);
    if (d->events.empty())
        return E_ABORT;
    const Event e = d->events.front();
    d->events.pop_front();
    *eventCode = e.code;
    *param1 = e.param1;
    *param2 = e.param2;
    return S_OK;
}

HRESULT Graph::FreeEventParams(LONG, LONG_PTR, LONG_PTR) { return S_OK; }

HRESULT Graph::SetNotifyWindow(QObject *target, LONG message, LONG_PTR instanceData)
{
    std::lock_guard lock(d->eventMutex);
    if (!d->relay && target) {
        d->relay = new NotifyRelay;
        if (target->thread() != d->relay->thread())
            d->relay->moveToThread(target->thread());
    }
    if (d->relay)
        d->relay->Set(target, message, instanceData);
    d->notifyOn = target != nullptr;
    return S_OK;
}

HRESULT Graph::SetTimeFormat(const Guid &format)
{
    return format == TIME_FORMAT_MEDIA_TIME ? S_OK : E_INVALIDARG;
}

HRESULT Graph::GetCurrentPosition(LONGLONG *position)
{
    if (!position)
        return E_POINTER;
    if (CurrentState(d->pipeline) < GST_STATE_PAUSED) {
        *position = d->pendingSeekNs ? *d->pendingSeekNs / 100 : 0;
        return S_OK;
    }
    gint64 ns = 0;
    if (!gst_element_query_position(d->pipeline, GST_FORMAT_TIME, &ns))
        return E_FAIL;
    *position = ns / 100;
    return S_OK;
}

HRESULT Graph::GetDuration(LONGLONG *duration)
{
    if (!duration)
        return E_POINTER;
    gint64 ns = 0;
    if (!gst_element_query_duration(d->pipeline, GST_FORMAT_TIME, &ns)) {
        d->WaitForStateChange(2000);
        if (!gst_element_query_duration(d->pipeline, GST_FORMAT_TIME, &ns))
            return E_FAIL;
    }
    *duration = ns / 100;
    return S_OK;
}

HRESULT Graph::SetPositions(LONGLONG *current, DWORD currentFlags, LONGLONG *stop, DWORD stopFlags)
{
    const DWORD how = currentFlags & AM_SEEKING_PositioningBitsMask;
    const DWORD stopHow = stopFlags & AM_SEEKING_PositioningBitsMask;
    if (how == AM_SEEKING_NoPositioning && stopHow == AM_SEEKING_NoPositioning)
        return S_OK;
    if ((how != AM_SEEKING_NoPositioning && !current) || (stopHow != AM_SEEKING_NoPositioning && !stop))
        return E_POINTER;
    if ((how != AM_SEEKING_NoPositioning && how != AM_SEEKING_AbsolutePositioning)
        || (stopHow != AM_SEEKING_NoPositioning && stopHow != AM_SEEKING_AbsolutePositioning))
        return E_NOTIMPL;
    // Key-frame seeks are made accurate too: the ASF demuxer cannot always find
    // the key frame before a position and would then fall back to the start of
    // the file. Decoding from the key frame costs at most a second of frames.
    const int flags = GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE;
    const gint64 startNs = how == AM_SEEKING_AbsolutePositioning ? std::max<LONGLONG>(0, *current) * 100 : 0;
    // A graph still on its way to paused or running (just started) takes the
    // seek once there; kept for the next Run it would be lost.
    if (CurrentState(d->pipeline) < GST_STATE_PAUSED && GST_STATE_TARGET(d->pipeline) >= GST_STATE_PAUSED)
        d->WaitForStateChange(2000);
    if (CurrentState(d->pipeline) < GST_STATE_PAUSED) {
        if (how == AM_SEEKING_AbsolutePositioning) {
            d->pendingSeekNs = startNs;
            d->pendingSeekFlags = static_cast<GstSeekFlags>(flags);
        }
        return S_OK;
    }
    const bool ok = gst_element_seek(d->pipeline, 1.0, GST_FORMAT_TIME, static_cast<GstSeekFlags>(flags),
        how == AM_SEEKING_AbsolutePositioning ? GST_SEEK_TYPE_SET : GST_SEEK_TYPE_NONE, startNs,
        stopHow == AM_SEEKING_AbsolutePositioning ? GST_SEEK_TYPE_SET : GST_SEEK_TYPE_NONE,
        stopHow == AM_SEEKING_AbsolutePositioning ? *stop * 100 : GST_CLOCK_TIME_NONE);
    if (!ok)
        return E_FAIL;
    d->WaitForStateChange(2000);
    return S_OK;
}

} // namespace media
