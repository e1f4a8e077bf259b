#pragma once
// A filter: a GstBin whose ghost pads are its pins. Concrete filters (grabber,
// tee, renderers, writer, reader, sources...) derive from it and add the
// interfaces they offer, so QueryInterface on the filter finds them.
#include "platform/media/interfaces.h"
#include "platform/media/pin.h"

#include <QString>
#include <gst/gst.h>
#include <memory>
#include <vector>

namespace media {

class Graph;

class Filter : public virtual IUnknown, public std::enable_shared_from_this<Filter> {
public:
    // clsid: the class the filter was made from (GUID_NULL for a wrapped source).
    explicit Filter(const Guid &clsid);
    ~Filter() override;
    Filter(const Filter &) = delete;
    Filter &operator=(const Filter &) = delete;

    // Pins in their fixed order.
    HRESULT EnumPins(std::vector<std::shared_ptr<Pin>> *pins) const;
    HRESULT FindPin(const QString &name, std::shared_ptr<Pin> *pin) const;
    HRESULT QueryFilterInfo(FILTER_INFO *info) const;
    HRESULT GetClassID(Guid *clsid) const;
    QString Name() const;
    // The bin (owned by the filter; the graph's pipeline holds it while added).
    GstElement *Element() const { return bin_; }
    std::shared_ptr<Graph> OwnerGraph() const;

    // ---- hooks for the graph ----
    // Before an output pin is linked (the tee requests its pad here).
    virtual HRESULT PrepareOutputPin(const std::shared_ptr<Pin> &pin);
    // Before an input pin is linked, with what the upstream pin offers (a
    // decoder chooses its real decoder here). A failure code refuses the link.
    virtual HRESULT PrepareInputPin(const std::shared_ptr<Pin> &pin, const GstCaps *offered);
    // After a pin was linked / unlinked (the tee offers its next output).
    virtual void OnPinConnected(const std::shared_ptr<Pin> &pin);
    virtual void OnPinDisconnected(const std::shared_ptr<Pin> &pin);
    // A file writer: Stop drains the graph before going to NULL.
    virtual bool WritesFile() const { return false; }
    // Just before the graph leaves the stopped state.
    virtual void BeforeRun() {}
    // Just after the graph went to the stopped state (files are closed).
    virtual void AfterStop() {}
    // Called when the filter joins (graph non-null) or leaves a graph.
    virtual void OnGraphChanged(Graph *graph);
    void SetGraph(const std::shared_ptr<Graph> &graph, const QString &name);

    // ---- for filter implementations ----
    // Adds a ghost pad named after the pin to the bin, aimed at target (may be
    // null and set later), and appends the pin.
    std::shared_ptr<Pin> AddPin(PIN_DIRECTION direction, const QString &name, GstPad *target,
        const Guid &majorType = GUID_NULL, const Guid &category = GUID_NULL);
    // Appends a pin made elsewhere (e.g. a subclass of Pin with an interface).
    void AppendPin(const std::shared_ptr<Pin> &pin);
    // Drops every pin and its ghost pad (pins must be unconnected).
    void RemoveAllPins();
    // Adds elements to the bin (taking their floating reference).
    void AddToBin(GstElement *element);

private:
    const Guid clsid_;
    GstElement *bin_;
    std::vector<std::shared_ptr<Pin>> pins_;
    std::weak_ptr<Graph> graph_;
    QString name_;
};

} // namespace media
