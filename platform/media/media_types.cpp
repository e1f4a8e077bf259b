#include "platform/media/media_types.h"

#include <cstring>

namespace media {

VIDEOINFOHEADER *AM_MEDIA_TYPE::VideoInfo()
{
    if (formattype != FORMAT_VideoInfo || format.size() < sizeof(VIDEOINFOHEADER))
        return nullptr;
    return reinterpret_cast<VIDEOINFOHEADER *>(format.data());
}

const VIDEOINFOHEADER *AM_MEDIA_TYPE::VideoInfo() const
{
    return const_cast<AM_MEDIA_TYPE *>(this)->VideoInfo();
}

void AM_MEDIA_TYPE::SetVideoInfo(const VIDEOINFOHEADER &vih)
{
    formattype = FORMAT_VideoInfo;
    format.resize(sizeof(VIDEOINFOHEADER));
    std::memcpy(format.data(), &vih, sizeof(vih));
}

} // namespace media
