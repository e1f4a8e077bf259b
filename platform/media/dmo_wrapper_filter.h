#pragma once
// The DMO wrapper: a filter without pins until Init gives it a decoder object
// (the Windows Media video or audio decoder), then with pins "in0" and "out0".
// Like the platform's decoder objects, each decodes its whole family: the real
// decoder is chosen from the stream's caps when the input pin connects
//   video: avdec_wmv1, avdec_wmv2, avdec_wmv3, avdec_vc1
//   audio: avdec_wmav1, avdec_wmav2, avdec_wmapro, avdec_wmalossless
// and a stream none of them takes is refused at that connection, with a
// diagnostic naming its caps.
#include "platform/media/filter.h"

#include <QString>
#include <memory>
#include <vector>

namespace media {

class DmoWrapperFilter final : public Filter, public IDMOWrapperFilter {
public:
    static std::shared_ptr<DmoWrapperFilter> Create(HRESULT *hr);
    HRESULT Init(const Guid &clsidDMO, const Guid &catDMO) override;
    HRESULT PrepareInputPin(const std::shared_ptr<Pin> &pin, const GstCaps *offered) override;
    // The factory of the decoder chosen for the stream; empty before.
    QString DecoderName() const;

private:
    DmoWrapperFilter();
    HRESULT UseDecoder(const char *factory);

    std::vector<const char *> family_;
    GstElement *queue_ = nullptr;
    GstElement *decoder_ = nullptr;
    std::shared_ptr<Pin> output_;
};

} // namespace media
