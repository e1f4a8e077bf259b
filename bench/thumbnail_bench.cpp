// RefreshThumbnails of 300 captures (100 photos, 100 videos, 100 audio files),
// timed three ways in one run:
//   baseline  one thread, no thumbnail cache (every thumbnail decoded);
//   cold      the default provider (worker pool, cache) on an empty cache;
//   warm      the same again, served from the disk cache (a new provider,
//             as after a restart of the program);
//   session   again with the same provider, from its memory (the refresh
//             after every recording).
// Usage: thumbnail_bench [captures-per-kind]   (default 100)
#include "library/media_library.h"
#include "platform/thumbnails/thumbnail_provider.h"
#include "platform/ui/image_list.h"
#include "platform/ui/list_view.h"
#include "platform/ui/message_box.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QRandomGenerator>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <gst/gst.h>
#include <vector>

namespace {

bool GstLaunch(const QString &description)
{
    QProcess p;
    p.start(QStringLiteral("gst-launch-1.0"),
            QStringList{QStringLiteral("-q")} + description.split(QLatin1Char(' '), Qt::SkipEmptyParts));
    return p.waitForFinished(120000) && p.exitCode() == 0;
}

// One template file per kind, copied under capture names: each copy is its
// own file to the thumbnailer and the cache.
bool MakeCaptures(const QString &folder, int perKind)
{
    const QString video = folder + QStringLiteral("/template.wmv.src");
    const QString audio = folder + QStringLiteral("/template.wma.src");
    const QString photo = folder + QStringLiteral("/template.jpg.src");
    // 5 s of 320x240 camera-like video and 30 s of speech-band audio.
    if (!GstLaunch(QStringLiteral("videotestsrc num-buffers=75 pattern=ball ! video/x-raw,width=320,height=240,"
                                  "framerate=15/1 ! videoconvert ! avenc_wmv2 ! asfmux ! filesink location=")
                   + video)
        || !GstLaunch(QStringLiteral("audiotestsrc num-buffers=300 samplesperbuffer=1600 wave=pink-noise ! "
                                     "audio/x-raw,rate=16000,channels=2 ! audioconvert ! avenc_wmav2 ! asfmux ! "
                                     "filesink location=")
                      + audio))
        return false;
    QImage picture(640, 480, QImage::Format_RGB32);
    auto *rng = QRandomGenerator::global();
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            picture.setPixel(x, y, qRgb(x / 3 + rng->bounded(40), y / 2 + rng->bounded(40), rng->bounded(255)));
    if (!picture.save(photo, "JPEG"))
        return false;
    int second = 0;
    for (int i = 0; i < perKind; ++i) {
        for (const QString &src : {video, audio, photo}) {
            const QString name = QString::asprintf("/20240101-%02d%02d%02d.", second / 3600, second / 60 % 60,
                                                   second % 60)
                + src.section(QLatin1Char('.'), -2, -2);
            ++second;
            if (!QFile::copy(src, folder + name))
                return false;
        }
    }
    return QFile::remove(video) && QFile::remove(audio) && QFile::remove(photo);
}

struct Run {
    const char *label;
    double ms;
    int items;
    double cpuMs; // all threads of the process: a figure less bent by other load
};

double ProcessCpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

Run Time(const char *label, library::MediaLibrary &lib, ui::ListView &view)
{
    const double cpu = ProcessCpuMs();
    QElapsedTimer timer;
    timer.start();
    lib.RefreshThumbnails(2, nullptr);
    return {label, static_cast<double>(timer.nsecsElapsed()) / 1e6, view.GetItemCount(), ProcessCpuMs() - cpu};
}
std::string LoadAverage()
{
    QFile f(QStringLiteral("/proc/loadavg"));
    return f.open(QIODevice::ReadOnly) ? f.readLine().trimmed().toStdString() : std::string("?");
}
} // namespace

int main(int argc, char **argv)
{
    const int perKind = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100;
    QByteArray tmpl = QDir::tempPath().toLocal8Bit() + "/thumbnail-bench-XXXXXX";
    if (!mkdtemp(tmpl.data()))
        return 1;
    const QString root = QString::fromLocal8Bit(tmpl);
    qputenv("XDG_CACHE_HOME", (root + QStringLiteral("/cache")).toLocal8Bit());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    gst_init(&argc, &argv);
    QApplication app(argc, argv);
    ui::RecordingPresenter box;

    const QString folder = root + QStringLiteral("/Video");
    QDir().mkpath(folder);
    std::printf("making %d captures in %s ...\n", 3 * perKind, qPrintable(folder));
    if (!MakeCaptures(folder, perKind)) {
        std::fprintf(stderr, "could not make the captures (gst-launch-1.0 with avenc_wmv2/avenc_wmav2/asfmux needed)\n");
        return 1;
    }

    ui::ListView view;
    view.resize(139, 279);
    ui::ImageList images(87, 65);
    view.SetImageList(&images);
    view.SetIconSpacing(0, 90);
    library::MediaLibrary lib;
    lib.Bind(&view, &images, nullptr);
    lib.modeFolders[2] = folder + QLatin1Char('/');

    std::vector<Run> runs;
    lib.SetThumbnailProvider(std::make_shared<thumbnails::ThumbnailProvider>(
        thumbnails::ThumbnailProvider::Options{.useCache = false, .maxWorkers = 1, .cacheRoot = {}}));
    runs.push_back(Time("baseline: 1 thread, no cache", lib, view));
    lib.SetThumbnailProvider(nullptr); // the default: worker pool + shared cache
    runs.push_back(Time("cold: pool, empty cache     ", lib, view));
    const auto median = [&](const char *label, bool freshProvider) {
        std::vector<Run> all;
        for (int i = 0; i < 5; ++i) {
            if (freshProvider)
                lib.SetThumbnailProvider(nullptr);
            all.push_back(Time(label, lib, view));
        }
        std::sort(all.begin(), all.end(), [](const Run &a, const Run &b) { return a.ms < b.ms; });
        std::printf("  %s runs: min %.1f ms, max %.1f ms\n", label, all.front().ms, all.back().ms);
        return all[2];
    };
    runs.push_back(median("warm: disk cache (median/5) ", true));
    runs.push_back(median("session: memory (median/5) ", false));

    std::printf("\n%d captures, %d cores, list cell 87x65\n", 3 * perKind, QThread::idealThreadCount());
    for (const Run &r : runs)
        std::printf("  %s %9.1f ms  %3d items  (%.1fx baseline)  cpu %9.1f ms\n", r.label, r.ms, r.items,
                    runs[0].ms / r.ms, r.cpuMs);
    std::printf("  (load average at the end: %s)\n", LoadAverage().c_str());
    if (!box.Texts().isEmpty())
        std::printf("  messages: %s\n", qPrintable(box.Texts().join(QStringLiteral(" | "))));
    QDir(root).removeRecursively();
    return 0;
}
