#pragma once
// The DMO wrapper: a filter without pins until Init gives it a decoder object
// (WMV: avdec_wmv2, WMA: avdec_wmav2) with pins "in0" and "out0".
#include "platform/media/filter.h"

#include <memory>

namespace media {

class DmoWrapperFilter final : public Filter, public IDMOWrapperFilter {
public:
    static std::shared_ptr<DmoWrapperFilter> Create(HRESULT *hr);
    HRESULT Init(const Guid &clsidDMO, const Guid &catDMO) override;

private:
    DmoWrapperFilter();
    bool initialised_ = false;
};

} // namespace media
