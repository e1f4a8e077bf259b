#include "platform/media/filter.h"

#include "platform/media/graph.h"

namespace media {

Filter::Filter(const Guid &clsid) : clsid_(clsid), bin_(gst_bin_new(nullptr))
{
    gst_object_ref_sink(bin_);
}

Filter::~Filter()
{
    for (const auto &pin : pins_)
        pin->SetOwner(nullptr);
    if (!GST_OBJECT_PARENT(bin_))
        gst_element_set_state(bin_, GST_STATE_NULL);
    gst_object_unref(bin_);
}

HRESULT Filter::EnumPins(std::vector<std::shared_ptr<Pin>> *pins) const
{
    if (!pins)
        return E_POINTER;
    *pins = pins_;
    return S_OK;
}

HRESULT Filter::FindPin(const QString &name, std::shared_ptr<Pin> *pin) const
{
    if (!pin)
        return E_POINTER;
    for (const auto &p : pins_) {
        if (p->Name() == name) {
            *pin = p;
            return S_OK;
        }
    }
    pin->reset();
    return VFW_E_NOT_FOUND;
}

HRESULT Filter::QueryFilterInfo(FILTER_INFO *info) const
{
    if (!info)
        return E_POINTER;
    info->achName = name_;
    info->pGraph = graph_.lock();
    return S_OK;
}

HRESULT Filter::GetClassID(Guid *clsid) const
{
    if (!clsid)
        return E_POINTER;
    *clsid = clsid_;
    return S_OK;
}

QString Filter::Name() const { return name_; }

std::shared_ptr<Graph> Filter::OwnerGraph() const { return graph_.lock(); }

HRESULT Filter::PrepareOutputPin(const std::shared_ptr<Pin> &) { return S_OK; }
HRESULT Filter::PrepareInputPin(const std::shared_ptr<Pin> &, const GstCaps *) { return S_OK; }
void Filter::OnPinConnected(const std::shared_ptr<Pin> &) {}
void Filter::OnPinDisconnected(const std::shared_ptr<Pin> &) {}
void Filter::OnGraphChanged(Graph *) {}

void Filter::SetGraph(const std::shared_ptr<Graph> &graph, const QString &name)
{
    graph_ = graph;
    name_ = name;
    OnGraphChanged(graph.get());
}

std::shared_ptr<Pin> Filter::AddPin(PIN_DIRECTION direction, const QString &name, GstPad *target,
    const Guid &majorType, const Guid &category)
{
    const QByteArray padName = QByteArray("pin") + QByteArray::number(static_cast<int>(pins_.size()))
        + (direction == PINDIR_INPUT ? "_in" : "_out");
    GstPad *ghost = target ? gst_ghost_pad_new(padName.constData(), target)
                           : gst_ghost_pad_new_no_target(padName.constData(),
                                 direction == PINDIR_INPUT ? GST_PAD_SINK : GST_PAD_SRC);
    if (!ghost)
        return nullptr;
    if (GST_STATE(bin_) > GST_STATE_READY || GST_STATE_PENDING(bin_) > GST_STATE_READY)
        gst_pad_set_active(ghost, TRUE);
    gst_element_add_pad(bin_, ghost);
    auto pin = std::make_shared<Pin>(this, direction, name, ghost, majorType, category);
    pins_.push_back(pin);
    return pin;
}

void Filter::AppendPin(const std::shared_ptr<Pin> &pin)
{
    if (!pin)
        return;
    pin->SetOwner(this);
    pins_.push_back(pin);
}

void Filter::RemoveAllPins()
{
    for (const auto &pin : pins_) {
        pin->SetOwner(nullptr);
        if (pin->Pad() && GST_OBJECT_PARENT(pin->Pad()) == GST_OBJECT(bin_))
            gst_element_remove_pad(bin_, pin->Pad());
    }
    pins_.clear();
}

void Filter::AddToBin(GstElement *element)
{
    if (element)
        gst_bin_add(GST_BIN(bin_), element);
}

} // namespace media
