#include "platform/media/pin.h"

#include "platform/media/filter.h"

namespace media {

Pin::Pin(Filter *owner, PIN_DIRECTION direction, const QString &name, GstPad *pad, const Guid &majorType,
    const Guid &category)
    : owner_(owner), direction_(direction), name_(name), pad_(pad ? GST_PAD(gst_object_ref(pad)) : nullptr),
      majorType_(majorType), category_(category)
{
}

Pin::~Pin()
{
    if (declaredCaps_)
        gst_caps_unref(declaredCaps_);
    if (pad_)
        gst_object_unref(pad_);
}

HRESULT Pin::QueryDirection(PIN_DIRECTION *direction) const
{
    if (!direction)
        return E_POINTER;
    *direction = direction_;
    return S_OK;
}

HRESULT Pin::QueryId(QString *id) const
{
    if (!id)
        return E_POINTER;
    *id = name_;
    return S_OK;
}

HRESULT Pin::ConnectedTo(std::shared_ptr<Pin> *out) const
{
    if (!out)
        return E_POINTER;
    std::lock_guard lock(mutex_);
    *out = peer_.lock();
    return *out ? S_OK : VFW_E_NOT_CONNECTED;
}

bool Pin::IsConnected() const
{
    std::lock_guard lock(mutex_);
    return !peer_.expired();
}

std::shared_ptr<Filter> Pin::OwnerFilter() const
{
    std::lock_guard lock(mutex_);
    return owner_ ? owner_->weak_from_this().lock() : nullptr;
}

void Pin::SetDeclaredCaps(GstCaps *caps)
{
    std::lock_guard lock(mutex_);
    if (declaredCaps_)
        gst_caps_unref(declaredCaps_);
    declaredCaps_ = caps;
}

GstCaps *Pin::QueryCaps() const
{
    {
        std::lock_guard lock(mutex_);
        if (declaredCaps_)
            return gst_caps_ref(declaredCaps_);
    }
    if (!pad_)
        return gst_caps_new_empty();
    return gst_pad_query_caps(pad_, nullptr);
}

void Pin::SetPeer(const std::shared_ptr<Pin> &peer)
{
    std::lock_guard lock(mutex_);
    peer_ = peer;
}

void Pin::ClearPeer()
{
    std::lock_guard lock(mutex_);
    peer_.reset();
}

void Pin::SetOwner(Filter *owner)
{
    std::lock_guard lock(mutex_);
    owner_ = owner;
}

} // namespace media
