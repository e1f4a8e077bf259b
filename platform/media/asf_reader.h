#pragma once
// The Windows Media file reader: filesrc + asfdemux, one output pin per stream
// of the loaded file (audio pins first), carrying the compressed stream.
#include "platform/media/filter.h"

#include <memory>

namespace media {

class AsfReader final : public Filter, public IFileSourceFilter {
public:
    static std::shared_ptr<AsfReader> Create(HRESULT *hr);
    ~AsfReader() override;

    HRESULT Load(const QString &fileName, const AM_MEDIA_TYPE *mt) override;
    HRESULT GetCurFile(QString *fileName, AM_MEDIA_TYPE *mt) override;

    struct Impl;

private:
    AsfReader();
    std::shared_ptr<Impl> d;
};

// True when the file starts with the ASF header object's identifier.
bool IsAsfFile(const QString &path);

} // namespace media
