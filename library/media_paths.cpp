#include "library/media_paths.h"

#include "platform/shell/local_clock.h"

namespace library {

QString MediaPaths::ModeFolder(int mode) const
{
    switch (mode) {
    case 0: return audioSoloFolder;
    case 1: return audioConferenceFolder;
    case 2: return videoFolder;
    case 3: return tVideoFolder;
    case 4: return photoFolder;
    default: return {};
    }
}

QString MakeCaptureFileName(const QString &folder, const QString &extension)
{
    const QDateTime now = shell::LocalClock::Now();
    const QDate d = now.date();
    const QTime t = now.time();
    const QString stamp = QString::asprintf("%d%02d%02d-%02d%02d%02d", d.year(), d.month(), d.day(), t.hour(),
                                            t.minute(), t.second());
    return folder + stamp + extension;
}

} // namespace library
