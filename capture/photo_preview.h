#pragma once
// PhotoPreview: the live camera picture of photo mode.
// Not built yet: the preview graph comes with the video-capture work; until
// then starting reports E_NOTIMPL and nothing is shown.
#include "platform/status/hresult.h"

#include <QString>

class QWidget;

class PhotoPreview {
public:
    PhotoPreview() = default;
    virtual ~PhotoPreview() { ReleaseGraph(); }
    PhotoPreview(const PhotoPreview &) = delete;
    PhotoPreview &operator=(const PhotoPreview &) = delete;

    HRESULT StartPhotoPreview(QWidget *host);
    HRESULT PausePreview();
    HRESULT ResumePreview();
    void ReleaseGraph();
    HRESULT TakeSnapshot(const QString &folder);
};
