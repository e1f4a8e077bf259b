#include "platform/devices/pulse_source.h"

#include <pulse/pulseaudio.h>

#include <chrono>
#include <algorithm>
#include <cmath>

namespace devices {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kRequestTimeout = std::chrono::seconds(3);

// One context on a private (non-threaded) main loop; every request is run to
// completion before the call returns, or abandoned at its deadline.
class PulseConnection {
public:
    PulseConnection()
        : loop_(pa_mainloop_new()),
          context_(loop_ ? pa_context_new(pa_mainloop_get_api(loop_), "Talvora") : nullptr)
    {
        if (!context_ || pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
            return;
        const auto deadline = Clock::now() + kRequestTimeout;
        while (Clock::now() < deadline) {
            const pa_context_state_t state = pa_context_get_state(context_);
            if (state == PA_CONTEXT_READY) {
                ready_ = true;
                return;
            }
            if (!PA_CONTEXT_IS_GOOD(state) || !Iterate(deadline))
                return;
        }
    }
    ~PulseConnection()
    {
        if (context_) {
            pa_context_disconnect(context_);
            pa_context_unref(context_);
        }
        if (loop_)
            pa_mainloop_free(loop_);
    }
    PulseConnection(const PulseConnection &) = delete;
    PulseConnection &operator=(const PulseConnection &) = delete;

    bool Ready() const { return ready_ && pa_context_get_state(context_) == PA_CONTEXT_READY; }
    pa_context *Context() const { return context_; }

    // Runs op until it is done; false on time-out or a broken connection.
    bool Await(pa_operation *op)
    {
        if (!op)
            return false;
        const auto deadline = Clock::now() + kRequestTimeout;
        bool done = false;
        while (Clock::now() < deadline && Ready()) {
            if (pa_operation_get_state(op) != PA_OPERATION_RUNNING) {
                done = pa_operation_get_state(op) == PA_OPERATION_DONE;
                break;
            }
            if (!Iterate(deadline))
                break;
        }
        if (pa_operation_get_state(op) == PA_OPERATION_RUNNING)
            pa_operation_cancel(op);
        pa_operation_unref(op);
        return done;
    }

private:
    bool Iterate(Clock::time_point deadline)
    {
        const auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now());
        if (pa_mainloop_prepare(loop_, int(std::max<long long>(0, left.count()))) < 0)
            return false;
        return pa_mainloop_poll(loop_) >= 0 && pa_mainloop_dispatch(loop_) >= 0;
    }

    pa_mainloop *loop_;
    pa_context *context_;
    bool ready_ = false;
};

struct InfoRequest {
    std::optional<PulseSourceInfo> info;
    std::uint8_t channels = 0;
};

void OnSourceInfo(pa_context *, const pa_source_info *i, int eol, void *userdata)
{
    auto *request = static_cast<InfoRequest *>(userdata);
    if (eol || !i)
        return;
    PulseSourceInfo info;
    info.name = QString::fromUtf8(i->name);
    info.description = QString::fromUtf8(i->description ? i->description : i->name);
    info.volumePercent = int(std::lround(double(pa_cvolume_avg(&i->volume)) * 100.0 / PA_VOLUME_NORM));
    info.mute = i->mute != 0;
    for (std::uint32_t p = 0; p < i->n_ports; ++p) {
        const pa_source_port_info *port = i->ports[p];
        info.ports.push_back({QString::fromUtf8(port->name), QString::fromUtf8(port->description),
                              port->available != PA_PORT_AVAILABLE_NO});
    }
    if (i->active_port)
        info.activePort = QString::fromUtf8(i->active_port->name);
    request->channels = i->volume.channels;
    request->info = info;
}

void OnSuccess(pa_context *, int success, void *userdata) { *static_cast<bool *>(userdata) = success != 0; }

class PulseSource : public AudioSourceControl {
public:
    explicit PulseSource(const QString &name) : name_(name.toUtf8()) {}

    std::optional<PulseSourceInfo> Info() override { return Query().info; }

    bool SetVolumePercent(int percent) override
    {
        const InfoRequest current = Query();
        if (!current.info || current.channels == 0)
            return false;
        pa_cvolume volume;
        const double scaled = double(PA_VOLUME_NORM) * std::clamp(percent, 0, 150) / 100.0;
        pa_cvolume_set(&volume, current.channels, pa_volume_t(std::lround(scaled)));
        return Request(pa_context_set_source_volume_by_name(connection_.Context(), name_.constData(),
                                                            &volume, &OnSuccess, &success_));
    }

    bool SetMute(bool mute) override
    {
        return connection_.Ready()
            && Request(pa_context_set_source_mute_by_name(connection_.Context(), name_.constData(),
                                                          mute, &OnSuccess, &success_));
    }

    bool SetPort(const QString &portName) override
    {
        return connection_.Ready()
            && Request(pa_context_set_source_port_by_name(connection_.Context(), name_.constData(),
                                                          portName.toUtf8().constData(), &OnSuccess,
                                                          &success_));
    }

private:
    InfoRequest Query()
    {
        InfoRequest request;
        if (connection_.Ready())
            connection_.Await(pa_context_get_source_info_by_name(connection_.Context(), name_.constData(),
                                                                 &OnSourceInfo, &request));
        return request;
    }

    bool Request(pa_operation *op)
    {
        success_ = false;
        return connection_.Await(op) && success_;
    }

    QByteArray name_;
    PulseConnection connection_;
    bool success_ = false;
};

} // namespace

std::unique_ptr<AudioSourceControl> OpenPulseSource(const QString &sourceName)
{
    return std::make_unique<PulseSource>(sourceName);
}

QString ChooseInputPort(const std::vector<PulsePort> &ports, const QString &activePort,
                        const QString &text)
{
    const PulsePort *firstMatch = nullptr;
    const PulsePort *firstAvailable = nullptr;
    for (const PulsePort &port : ports) {
        if (!port.description.contains(text, Qt::CaseSensitive))
            continue;
        if (port.name == activePort)
            return port.name;
        if (!firstMatch)
            firstMatch = &port;
        if (!firstAvailable && port.available)
            firstAvailable = &port;
    }
    if (firstAvailable)
        return firstAvailable->name;
    return firstMatch ? firstMatch->name : QString();
}

bool PulseReachable()
{
    PulseConnection connection;
    return connection.Ready();
}

} // namespace devices
