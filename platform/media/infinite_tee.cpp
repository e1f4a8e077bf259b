#include "platform/media/infinite_tee.h"

#include "platform/media/frame_demand.h"
#include "platform/media/gst_util.h"

namespace media {

InfiniteTee::InfiniteTee() : Filter(CLSID_InfTee) {}

InfiniteTee::~InfiniteTee() = default;

std::shared_ptr<InfiniteTee> InfiniteTee::Create(HRESULT *hr)
{
    auto f = std::shared_ptr<InfiniteTee>(new InfiniteTee());
    f->tee_ = MakeElement("tee");
    if (!f->tee_) {
        *hr = REGDB_E_CLASSNOTREG;
        return nullptr;
    }
    g_object_set(f->tee_, "allow-not-linked", TRUE, nullptr);
    f->AddToBin(f->tee_);
    PadPtr sink(gst_element_get_static_pad(f->tee_, "sink"));
    f->AddPin(PINDIR_INPUT, QStringLiteral("Input"), sink.get());
    f->OfferNextOutput();
    *hr = S_OK;
    return f;
}

void InfiniteTee::OfferNextOutput()
{
    ++outputs_;
    AddPin(PINDIR_OUTPUT, QStringLiteral("Output%1").arg(outputs_), nullptr);
}

HRESULT InfiniteTee::PrepareOutputPin(const std::shared_ptr<Pin> &pin)
{
    GstPad *ghost = pin->Pad();
    if (!ghost)
        return E_UNEXPECTED;
    PadPtr target(gst_ghost_pad_get_target(GST_GHOST_PAD(ghost)));
    if (target)
        return S_OK;
    // Each branch gets its own queue, so one slow branch cannot stall the others.
    GstElement *queue = MakeElement("queue");
    if (!queue)
        return REGDB_E_CLASSNOTREG;
    AddToBin(queue);
    GstPad *teePad = gst_element_request_pad_simple(tee_, "src_%u");
    PadPtr queueSink(gst_element_get_static_pad(queue, "sink"));
    PadPtr queueSrc(gst_element_get_static_pad(queue, "src"));
    const bool ok = teePad && gst_pad_link(teePad, queueSink.get()) == GST_PAD_LINK_OK
        && gst_ghost_pad_set_target(GST_GHOST_PAD(ghost), queueSrc.get());
    if (ok)
        FrameDemand::HonourAt(teePad, ghost);
    if (teePad)
        gst_object_unref(teePad);
    if (!ok)
        return VFW_E_CANNOT_CONNECT;
    gst_element_sync_state_with_parent(queue);
    return S_OK;
}

void InfiniteTee::OnPinConnected(const std::shared_ptr<Pin> &pin)
{
    if (pin->Direction() != PINDIR_OUTPUT)
        return;
    std::vector<std::shared_ptr<Pin>> pins;
    EnumPins(&pins);
    for (const auto &p : pins)
        if (p->Direction() == PINDIR_OUTPUT && !p->IsConnected())
            return;
    OfferNextOutput();
}

} // namespace media
