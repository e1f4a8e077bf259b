#pragma once
// The Windows Media file writer: WMA 2 (avenc_wmav2) and WMV 8 (avenc_wmv2)
// encoders muxed by asfmux into filesink, configured by system profile.
#include "platform/media/filter.h"

#include <memory>

namespace media {

class AsfWriter final : public Filter, public IConfigAsfWriter, public IFileSinkFilter {
public:
    static std::shared_ptr<AsfWriter> Create(HRESULT *hr);
    // What a file of a system profile costs, in bits per second (0 for a profile
    // the writer does not know).
    static int ProfileBitRate(const Guid &profile);
    ~AsfWriter() override;

    HRESULT ConfigureFilterUsingProfileGuid(const Guid &profile) override;
    HRESULT GetCurrentProfileGuid(Guid *profile) override;
    HRESULT SetFileName(const QString &fileName, const AM_MEDIA_TYPE *mt) override;
    HRESULT GetCurFile(QString *fileName, AM_MEDIA_TYPE *mt) override;
    bool WritesFile() const override { return true; }
    // Before the first run: writes the marker beside the file and starts the
    // recording status (level, write failure). After the stop: removes the
    // marker when the muxer finished the file.
    void BeforeRun() override;
    void AfterStop() override;

    struct Impl;

private:
    AsfWriter();
    std::unique_ptr<Impl> d;
};

} // namespace media
