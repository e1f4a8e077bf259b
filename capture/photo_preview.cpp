#include "capture/photo_preview.h"

#include "platform/diag/diagnostics.h"

HRESULT PhotoPreview::StartPhotoPreview(QWidget *)
{
    diag::OutputDebugString(QStringLiteral("PhotoPreview::StartPhotoPreview is not built yet"));
    return E_NOTIMPL;
}

HRESULT PhotoPreview::PausePreview() { return S_OK; }
HRESULT PhotoPreview::ResumePreview() { return E_NOTIMPL; }
void PhotoPreview::ReleaseGraph() {}

HRESULT PhotoPreview::TakeSnapshot(const QString &)
{
    diag::OutputDebugString(QStringLiteral("PhotoPreview::TakeSnapshot is not built yet"));
    return E_NOTIMPL;
}
