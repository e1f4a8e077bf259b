#pragma once
// The infinite tee: one input pin "Input" and always exactly one free output
// pin ("Output1", "Output2", ...); each connection requests a tee pad (behind
// its own queue) and offers the next output.
#include "platform/media/filter.h"

#include <memory>

namespace media {

class InfiniteTee final : public Filter {
public:
    static std::shared_ptr<InfiniteTee> Create(HRESULT *hr);
    ~InfiniteTee() override;

    HRESULT PrepareOutputPin(const std::shared_ptr<Pin> &pin) override;
    void OnPinConnected(const std::shared_ptr<Pin> &pin) override;

private:
    InfiniteTee();
    void OfferNextOutput();
    GstElement *tee_ = nullptr;
    int outputs_ = 0;
};

} // namespace media
