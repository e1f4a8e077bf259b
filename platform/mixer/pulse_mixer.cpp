#include "platform/mixer/pulse_mixer.h"

#include "platform/diag/thread_handoff.h"
#include "platform/mixer/mixer_control_change_event.h"

#include <pulse/pulseaudio.h>

#include <QCoreApplication>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <functional>
#include <mutex>

namespace mixer {
namespace {

using namespace std::chrono_literals;

// A local server answers in well under a millisecond; a second means it is stuck.
constexpr auto kRequestBound = 1000ms;
// How soon a lost connection is tried again (server restart, server not up yet).
constexpr pa_usec_t kReconnectDelay = 500 * PA_USEC_PER_MSEC;

static_assert(PulseMixer::kNominalVolume == PA_VOLUME_NORM);

std::atomic<std::uint64_t> nextMixerId{1};

// One request of the caller's thread, filled in on libpulse's thread.
struct Request {
    std::mutex mutex;
    std::condition_variable finishedChanged;
    bool finished = false;
    bool done = false;         // the operation completed (not cancelled)
    bool acknowledged = false; // the server said yes (set requests)
    std::optional<SpeakerLine> line;
    pa_cvolume volume{};
};

void OnOperationState(pa_operation *op, void *userdata)
{
    const pa_operation_state_t state = pa_operation_get_state(op);
    if (state == PA_OPERATION_RUNNING)
        return;
    auto *request = static_cast<Request *>(userdata);
    {
        std::lock_guard lock(request->mutex);
        request->finished = true;
        request->done = state == PA_OPERATION_DONE;
    }
    request->finishedChanged.notify_all();
}

SpeakerLine LineOf(const pa_sink_info &info)
{
    SpeakerLine line;
    line.name = QString::fromUtf8(info.name);
    line.description = QString::fromUtf8(info.description ? info.description : info.name);
    line.hasVolume = info.volume.channels > 0 && pa_cvolume_valid(&info.volume);
    line.volume = line.hasVolume ? pa_cvolume_avg(&info.volume) : 0;
    line.mute = info.mute != 0;
    return line;
}

void OnSinkInfo(pa_context *, const pa_sink_info *info, int eol, void *userdata)
{
    if (eol || !info)
        return;
    auto *request = static_cast<Request *>(userdata);
    std::lock_guard lock(request->mutex);
    request->line = LineOf(*info);
    request->volume = info->volume;
}

void OnSuccess(pa_context *, int success, void *userdata)
{
    auto *request = static_cast<Request *>(userdata);
    std::lock_guard lock(request->mutex);
    request->acknowledged = success != 0;
}

// The channel volumes that give the wanted average with the same balance.
pa_cvolume Rebalanced(const pa_cvolume &current, std::uint32_t average)
{
    pa_cvolume result = current;
    const pa_volume_t now = pa_cvolume_avg(&current);
    for (std::uint8_t ch = 0; ch < current.channels; ++ch) {
        const double scaled = now == 0 ? double(average) : double(current.values[ch]) * average / now;
        result.values[ch] = pa_volume_t(std::min<double>(PA_VOLUME_NORM, std::lround(scaled)));
    }
    return result;
}

} // namespace

struct PulseMixer::Impl {
    QObject *target = nullptr;
    std::uint64_t id = nextMixerId++;
    pa_threaded_mainloop *loop = nullptr;
    // Guarded by the loop's lock.
    pa_context *context = nullptr;
    pa_time_event *retry = nullptr;
    std::atomic<bool> ready{false};

    std::mutex attemptMutex;
    std::condition_variable attemptEnded;
    bool attempted = false;

    // Loop thread only: the default sink as last seen, to tell which control changed.
    bool everReady = false;
    bool notifyNextSnapshot = false;
    bool haveSnapshot = false;
    QString lastSink;
    std::uint32_t lastVolume = 0;
    bool lastMute = false;

    pa_mainloop_api *Api() const { return pa_threaded_mainloop_get_api(loop); }

    void Connect()
    {
        context = pa_context_new(Api(), "Talvora");
        if (!context) {
            Lost();
            return;
        }
        pa_context_set_state_callback(context, &Impl::OnState, this);
        pa_context_set_subscribe_callback(context, &Impl::OnServerEvent, this);
        if (pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
            Lost();
    }

    void DropContext()
    {
        if (!context)
            return;
        pa_context_set_state_callback(context, nullptr, nullptr);
        pa_context_set_subscribe_callback(context, nullptr, nullptr);
        pa_context_disconnect(context);
        pa_context_unref(context);
        context = nullptr;
    }

    void EndAttempt()
    {
        {
            std::lock_guard lock(attemptMutex);
            attempted = true;
        }
        attemptEnded.notify_all();
    }

    void Lost()
    {
        ready = false;
        EndAttempt();
        if (retry)
            return;
        timeval when;
        pa_timeval_add(pa_gettimeofday(&when), kReconnectDelay);
        retry = Api()->time_new(Api(), &when, &Impl::OnRetry, this);
    }

    static void OnRetry(pa_mainloop_api *api, pa_time_event *event, const timeval *, void *userdata)
    {
        auto *self = static_cast<Impl *>(userdata);
        api->time_free(event);
        self->retry = nullptr;
        self->DropContext();
        self->Connect();
    }

    static void OnState(pa_context *c, void *userdata)
    {
        auto *self = static_cast<Impl *>(userdata);
        switch (pa_context_get_state(c)) {
        case PA_CONTEXT_READY: {
            const auto mask = pa_subscription_mask_t(PA_SUBSCRIPTION_MASK_SINK | PA_SUBSCRIPTION_MASK_SERVER);
            if (pa_operation *op = pa_context_subscribe(c, mask, nullptr, nullptr))
                pa_operation_unref(op);
            // After a reconnection the server may be another one: tell the target.
            self->notifyNextSnapshot = self->everReady;
            self->everReady = true;
            self->ready = true;
            self->Refresh(c);
            self->EndAttempt();
            break;
        }
        case PA_CONTEXT_FAILED:
        case PA_CONTEXT_TERMINATED:
            self->Lost();
            break;
        default:
            break;
        }
    }

    static void OnServerEvent(pa_context *c, pa_subscription_event_type_t type, std::uint32_t, void *userdata)
    {
        const auto facility = type & PA_SUBSCRIPTION_EVENT_FACILITY_MASK;
        if (facility == PA_SUBSCRIPTION_EVENT_SINK || facility == PA_SUBSCRIPTION_EVENT_SERVER)
            static_cast<Impl *>(userdata)->Refresh(c);
    }

    void Refresh(pa_context *c)
    {
        if (pa_operation *op = pa_context_get_server_info(c, &Impl::OnServerInfo, this))
            pa_operation_unref(op);
    }

    static void OnServerInfo(pa_context *c, const pa_server_info *info, void *userdata)
    {
        if (!info || !info->default_sink_name)
            return;
        if (pa_operation *op = pa_context_get_sink_info_by_name(c, info->default_sink_name, &Impl::OnSnapshot,
                                                                userdata))
            pa_operation_unref(op);
    }

    static void OnSnapshot(pa_context *, const pa_sink_info *info, int eol, void *userdata)
    {
        if (eol || !info)
            return;
        static_cast<Impl *>(userdata)->Compare(LineOf(*info));
    }

    void Compare(const SpeakerLine &line)
    {
        const bool otherLine = haveSnapshot && line.name != lastSink;
        const bool volumeChanged = haveSnapshot && (otherLine || line.volume != lastVolume);
        const bool muteChanged = (haveSnapshot && (otherLine || line.mute != lastMute)) || notifyNextSnapshot;
        haveSnapshot = true;
        notifyNextSnapshot = false;
        lastSink = line.name;
        lastVolume = line.volume;
        lastMute = line.mute;
        if (volumeChanged)
            Post(kVolumeControlId);
        if (muteChanged)
            Post(kMuteControlId);
    }

    void Post(std::uint32_t control)
    {
        if (!target)
            return;
        auto *event = new MixerControlChangeEvent(id, control);
        diag::HandOver(event); // read on the target's thread
        QCoreApplication::postEvent(target, event);
    }

    // Starts an operation on the loop and waits for it, at most kRequestBound.
    // Never called on the loop's own thread.
    bool Run(Request &request, const std::function<pa_operation *(pa_context *)> &start)
    {
        pa_threaded_mainloop_lock(loop);
        pa_operation *op = nullptr;
        if (context && pa_context_get_state(context) == PA_CONTEXT_READY)
            op = start(context);
        if (op)
            pa_operation_set_state_callback(op, &OnOperationState, &request);
        pa_threaded_mainloop_unlock(loop);
        if (!op)
            return false;
        bool finished;
        {
            std::unique_lock lock(request.mutex);
            finished = request.finishedChanged.wait_for(lock, kRequestBound, [&] { return request.finished; });
        }
        pa_threaded_mainloop_lock(loop);
        if (pa_operation_get_state(op) == PA_OPERATION_RUNNING)
            pa_operation_cancel(op);
        pa_operation_set_state_callback(op, nullptr, nullptr);
        pa_operation_unref(op);
        pa_threaded_mainloop_unlock(loop);
        std::lock_guard lock(request.mutex);
        return finished && request.done;
    }

    bool QueryDefaultSink(Request &request)
    {
        return Run(request, [&](pa_context *c) {
                   return pa_context_get_sink_info_by_name(c, "@DEFAULT_SINK@", &OnSinkInfo, &request);
               })
            && request.line.has_value();
    }
};

PulseMixer::PulseMixer(QObject *notifyTarget) : impl_(std::make_unique<Impl>())
{
    impl_->target = notifyTarget;
    impl_->loop = pa_threaded_mainloop_new();
    if (!impl_->loop) {
        impl_->EndAttempt();
        return;
    }
    pa_threaded_mainloop_set_name(impl_->loop, "talvora-mixer");
    if (pa_threaded_mainloop_start(impl_->loop) < 0) {
        pa_threaded_mainloop_free(impl_->loop);
        impl_->loop = nullptr;
        impl_->EndAttempt();
        return;
    }
    pa_threaded_mainloop_lock(impl_->loop);
    impl_->Connect();
    pa_threaded_mainloop_unlock(impl_->loop);
}

PulseMixer::~PulseMixer()
{
    if (!impl_->loop)
        return;
    pa_threaded_mainloop_lock(impl_->loop);
    if (impl_->retry) {
        impl_->Api()->time_free(impl_->retry);
        impl_->retry = nullptr;
    }
    impl_->DropContext();
    pa_threaded_mainloop_unlock(impl_->loop);
    pa_threaded_mainloop_stop(impl_->loop);
    pa_threaded_mainloop_free(impl_->loop);
}

std::uint64_t PulseMixer::Id() const { return impl_->id; }

bool PulseMixer::WaitConnected(std::chrono::milliseconds bound)
{
    std::unique_lock lock(impl_->attemptMutex);
    impl_->attemptEnded.wait_for(lock, bound, [&] { return impl_->attempted; });
    return impl_->ready;
}

bool PulseMixer::Connected() const { return impl_->ready; }

std::optional<SpeakerLine> PulseMixer::DefaultSink()
{
    if (!impl_->loop)
        return std::nullopt;
    Request request;
    if (!impl_->QueryDefaultSink(request))
        return std::nullopt;
    return request.line;
}

bool PulseMixer::SetDefaultSinkVolume(std::uint32_t volume)
{
    if (!impl_->loop)
        return false;
    Request current;
    if (!impl_->QueryDefaultSink(current) || !current.line->hasVolume)
        return false;
    if (current.line->volume == volume)
        return true;
    const pa_cvolume wanted = Rebalanced(current.volume, volume);
    const QByteArray name = current.line->name.toUtf8();
    Request set;
    return impl_->Run(set, [&](pa_context *c) {
               return pa_context_set_sink_volume_by_name(c, name.constData(), &wanted, &OnSuccess, &set);
           })
        && set.acknowledged;
}

bool PulseMixer::SetDefaultSinkMute(bool mute)
{
    if (!impl_->loop)
        return false;
    Request set;
    return impl_->Run(set, [&](pa_context *c) {
               return pa_context_set_sink_mute_by_name(c, "@DEFAULT_SINK@", mute, &OnSuccess, &set);
           })
        && set.acknowledged;
}

} // namespace mixer
