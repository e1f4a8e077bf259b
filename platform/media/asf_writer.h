#pragma once
// The Windows Media file writer: WMA 2 (avenc_wmav2) and WMV 8 (avenc_wmv2)
// encoders muxed by asfmux into filesink, configured by system profile.
#include "platform/media/filter.h"

#include <memory>

namespace media {

class AsfWriter final : public Filter, public IConfigAsfWriter, public IFileSinkFilter {
public:
    static std::shared_ptr<AsfWriter> Create(HRESULT *hr);
    ~AsfWriter() override;

    HRESULT ConfigureFilterUsingProfileGuid(const Guid &profile) override;
    HRESULT GetCurrentProfileGuid(Guid *profile) override;
    HRESULT SetFileName(const QString &fileName, const AM_MEDIA_TYPE *mt) override;
    HRESULT GetCurFile(QString *fileName, AM_MEDIA_TYPE *mt) override;
    bool WritesFile() const override { return true; }
    void BeforeRun() override;

    struct Impl;

private:
    AsfWriter();
    std::unique_ptr<Impl> d;
};

} // namespace media
