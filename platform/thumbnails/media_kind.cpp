#include "platform/thumbnails/media_kind.h"

namespace thumbnails {

MediaKind KindOfName(const QString &fileName)
{
    const QString tail = fileName.right(3);
    if (tail.compare(QLatin1String("wma"), Qt::CaseInsensitive) == 0)
        return MediaKind::Audio;
    if (tail.compare(QLatin1String("wmv"), Qt::CaseInsensitive) == 0)
        return MediaKind::Video;
    if (tail.compare(QLatin1String("jpg"), Qt::CaseInsensitive) == 0)
        return MediaKind::Photo;
    return MediaKind::Other;
}

} // namespace thumbnails
