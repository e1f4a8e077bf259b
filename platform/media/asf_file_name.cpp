#include "platform/media/asf_file_name.h"

namespace media {

HRESULT ReportAsfFile(const QString &current, QString *fileName, AM_MEDIA_TYPE *mt)
{
    if (!fileName)
        return E_POINTER;
    if (current.isEmpty())
        return E_FAIL;
    *fileName = current;
    if (mt) {
        *mt = AM_MEDIA_TYPE();
        mt->majortype = MEDIATYPE_Stream;
        mt->subtype = MEDIASUBTYPE_Asf;
    }
    return S_OK;
}

} // namespace media
