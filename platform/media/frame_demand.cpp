#include "platform/media/frame_demand.h"

#include <mutex>

namespace media {
namespace {

using DemandPtr = std::shared_ptr<FrameDemand>;

constexpr const char *kEventName = "talvora-frame-demand";

gpointer CopyDemand(gpointer p) { return new DemandPtr(*static_cast<DemandPtr *>(p)); }
void FreeDemand(gpointer p) { delete static_cast<DemandPtr *>(p); }

GType DemandType()
{
    static const GType type = g_boxed_type_register_static("TalvoraFrameDemand", &CopyDemand, &FreeDemand);
    return type;
}

bool IsAnnouncement(GstEvent *event)
{
    return event && GST_EVENT_TYPE(event) == GST_EVENT_CUSTOM_UPSTREAM
        && gst_event_has_name(event, kEventName);
}

// What a tee output was told by the view behind it.
struct TeeOutput {
    std::mutex mutex;
    DemandPtr demand;

    DemandPtr Get()
    {
        std::lock_guard lock(mutex);
        return demand;
    }
    void Set(DemandPtr d)
    {
        std::lock_guard lock(mutex);
        demand = std::move(d);
    }
};

using TeeOutputPtr = std::shared_ptr<TeeOutput>;

void FreeTeeOutput(gpointer p) { delete static_cast<TeeOutputPtr *>(p); }
void FreeTeeOutputClosure(gpointer p, GClosure *) { FreeTeeOutput(p); }

GstPadProbeReturn OnTeeOutput(GstPad *, GstPadProbeInfo *info, gpointer data)
{
    TeeOutput &output = **static_cast<TeeOutputPtr *>(data);
    if (info->type & GST_PAD_PROBE_TYPE_BUFFER) {
        const DemandPtr demand = output.Get();
        return !demand || demand->Wanted() ? GST_PAD_PROBE_OK : GST_PAD_PROBE_DROP;
    }
    GstEvent *event = GST_PAD_PROBE_INFO_EVENT(info);
    if (!IsAnnouncement(event))
        return GST_PAD_PROBE_OK;
    const GValue *value = gst_structure_get_value(gst_event_get_structure(event), "demand");
    const auto *demand = value ? static_cast<const DemandPtr *>(g_value_get_boxed(value)) : nullptr;
    output.Set(demand ? *demand : nullptr);
    return GST_PAD_PROBE_DROP;
}

// The branch was taken off this output: whatever follows wants all frames
// until it says otherwise.
void OnBranchUnlinked(GstPad *, GstPad *, gpointer data) { (*static_cast<TeeOutputPtr *>(data))->Set(nullptr); }

GstPadProbeReturn StopAnnouncement(GstPad *, GstPadProbeInfo *info, gpointer)
{
    return IsAnnouncement(GST_PAD_PROBE_INFO_EVENT(info)) ? GST_PAD_PROBE_DROP : GST_PAD_PROBE_OK;
}

} // namespace

FrameDemand::FrameDemand(std::function<bool()> wanted) : wanted_(std::move(wanted)) {}

bool FrameDemand::Wanted() const { return retired_ || !wanted_ || wanted_(); }

void FrameDemand::Retire() { retired_ = true; }

bool FrameDemand::Announce(GstPad *viewInput, const std::shared_ptr<FrameDemand> &demand)
{
    if (!viewInput || !demand)
        return false;
    GstStructure *s = gst_structure_new(kEventName, "demand", DemandType(), &demand, nullptr);
    return gst_pad_push_event(viewInput, gst_event_new_custom(GST_EVENT_CUSTOM_UPSTREAM, s));
}

void FrameDemand::HonourAt(GstPad *teeOutput, GstPad *branchOutput)
{
    auto output = std::make_shared<TeeOutput>();
    gst_pad_add_probe(teeOutput,
        static_cast<GstPadProbeType>(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_EVENT_UPSTREAM), &OnTeeOutput,
        new TeeOutputPtr(output), &FreeTeeOutput);
    if (branchOutput)
        g_signal_connect_data(branchOutput, "unlinked", G_CALLBACK(&OnBranchUnlinked), new TeeOutputPtr(output),
            &FreeTeeOutputClosure, GConnectFlags(0));
}

void FrameDemand::StopAt(GstPad *pad)
{
    gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_EVENT_UPSTREAM, &StopAnnouncement, nullptr, nullptr);
}

} // namespace media
