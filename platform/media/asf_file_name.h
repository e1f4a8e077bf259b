#pragma once
// The current file of an ASF reader or writer, as its file interface reports it.
#include "platform/media/media_types.h"

namespace media {

// Fills fileName (and mt, when given, with the ASF stream type) from the
// file the filter holds; E_FAIL when it holds none.
HRESULT ReportAsfFile(const QString &current, QString *fileName, AM_MEDIA_TYPE *mt);

} // namespace media
