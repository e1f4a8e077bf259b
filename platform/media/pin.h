#pragma once
// A filter's connection point. A pin with a pad is a ghost pad of its filter's
// bin; a pin without one (for example an input line of a microphone that only
// carries IAMAudioInputMixer) is listed but cannot be connected.
#include "platform/media/interfaces.h"

#include <QString>
#include <gst/gst.h>
#include <memory>
#include <mutex>

namespace media {

class Graph;

class Pin : public virtual IUnknown, public std::enable_shared_from_this<Pin> {
public:
    // pad: a ghost pad already added to owner's bin (the pin holds a reference),
    // or null for a pin that cannot be connected. majorType/category describe
    // what flows (GUID_NULL: anything).
    Pin(Filter *owner, PIN_DIRECTION direction, const QString &name, GstPad *pad,
        const Guid &majorType = GUID_NULL, const Guid &category = GUID_NULL);
    ~Pin() override;
    Pin(const Pin &) = delete;
    Pin &operator=(const Pin &) = delete;

    PIN_DIRECTION Direction() const { return direction_; }
    HRESULT QueryDirection(PIN_DIRECTION *direction) const;
    QString Name() const { return name_; }
    HRESULT QueryId(QString *id) const;
    // The pin at the other end; VFW_E_NOT_CONNECTED (and *out null) if none.
    HRESULT ConnectedTo(std::shared_ptr<Pin> *out) const;
    bool IsConnected() const;
    // The filter this pin belongs to (null once the filter is gone).
    std::shared_ptr<Filter> OwnerFilter() const;
    Guid MajorType() const { return majorType_; }
    Guid Category() const { return category_; }

    // ---- used by the graph and by filters ----
    GstPad *Pad() const { return pad_; }
    // Caps known before the pipeline runs (e.g. a file's stream); null: ask the pad.
    void SetDeclaredCaps(GstCaps *caps); // takes ownership
    // What may flow through this pin now (new reference, never null).
    GstCaps *QueryCaps() const;
    void SetPeer(const std::shared_ptr<Pin> &peer);
    void ClearPeer();
    void SetOwner(Filter *owner);

private:
    Filter *owner_;
    const PIN_DIRECTION direction_;
    const QString name_;
    GstPad *pad_;
    const Guid majorType_;
    const Guid category_;
    GstCaps *declaredCaps_ = nullptr;
    mutable std::mutex mutex_;
    std::weak_ptr<Pin> peer_;
};

} // namespace media
