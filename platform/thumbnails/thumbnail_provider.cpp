#include "platform/thumbnails/thumbnail_provider.h"

#include "platform/thumbnails/audio_waveform.h"
#include "platform/thumbnails/file_type_icon.h"
#include "platform/thumbnails/media_kind.h"
#include "platform/thumbnails/video_frame_reader.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <pthread.h>
#include <string>
#include <thread>

namespace thumbnails {
namespace {
const QSize kGenerateBox(ThumbnailCache::kNormalSize, ThumbnailCache::kNormalSize);

std::optional<QImage> ReadPhoto(const QString &path, QSize box)
{
    QImageReader reader(path);
    reader.setAutoTransform(true);
    const QSize full = reader.size();
    if (full.isValid() && (full.width() > box.width() || full.height() > box.height()))
        reader.setScaledSize(full.scaled(box, Qt::KeepAspectRatio));
    QImage image = reader.read();
    if (image.isNull())
        return std::nullopt;
    if (image.width() > box.width() || image.height() > box.height())
        image = image.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return image;
}

// The file must exist as a regular file and open for reading; anything less
// is the one case that yields no thumbnail at all.
bool IsReadableFile(const QString &path, qint64 *mtime, qint64 *bytes)
{
    const QFileInfo info(path);
    if (!info.isFile())
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    *mtime = info.lastModified().toSecsSinceEpoch();
    *bytes = info.size();
    return true;
}

QImage FitInto(const QImage &image, QSize size)
{
    if (image.size().width() <= size.width() && image.size().height() <= size.height()
        && (image.width() == size.width() || image.height() == size.height()))
        return image;
    return image.scaled(size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

template <class Work>
void RunOnPool(int workers, int count, const Work &work)
{
    std::atomic<int> next{0};
    auto drain = [&] {
        for (int i = next++; i < count; i = next++)
            work(i);
    };
    std::vector<std::jthread> pool;
    for (int w = 1; w < workers; ++w) {
        pool.emplace_back([&, w] {
            const std::string name = "thumbnailer-" + std::to_string(w);
            pthread_setname_np(pthread_self(), name.c_str());
            drain();
        });
    }
    drain(); // the caller works too, then the jthreads join on scope exit
}
} // namespace

ThumbnailProvider::ThumbnailProvider(Options options)
    : options_(std::move(options)), cache_(options_.cacheRoot)
{
}

std::optional<QImage> ThumbnailProvider::Generate(const QString &path) const
{
    switch (KindOfName(path)) {
    case MediaKind::Photo: return ReadPhoto(path, kGenerateBox);
    case MediaKind::Video: return ReadVideoFrame(path, kGenerateBox);
    case MediaKind::Audio: return DrawAudioWaveform(path, kGenerateBox);
    case MediaKind::Other: break;
    }
    return ReadPhoto(path, kGenerateBox);
}

std::optional<Thumbnail> ThumbnailProvider::Lookup(const QString &path, qint64 mtime, qint64 bytes, QSize size) const
{
    std::lock_guard lock(memoryMutex_);
    const auto it = memory_.find(path);
    if (it == memory_.end() || it->second.mtime != mtime || it->second.bytes != bytes || it->second.size != size)
        return std::nullopt;
    Thumbnail known = it->second.thumbnail;
    if (known.source == Thumbnail::Source::Generated)
        known.source = Thumbnail::Source::Cache;
    return known;
}

std::optional<Thumbnail> ThumbnailProvider::Remember(const QString &path, qint64 mtime, qint64 bytes, QSize size,
                                                     Thumbnail thumbnail) const
{
    if (options_.useCache) {
        std::lock_guard lock(memoryMutex_);
        if (memory_.size() >= kRememberedMax)
            memory_.clear();
        memory_[path] = Remembered{mtime, bytes, size, thumbnail};
    }
    return thumbnail;
}

std::optional<Thumbnail> ThumbnailProvider::GetThumbnail(const QString &path, QSize size) const
{
    qint64 mtime = 0;
    qint64 bytes = 0;
    if (size.isEmpty() || !IsReadableFile(path, &mtime, &bytes))
        return std::nullopt;
    const auto icon = [&] { return Thumbnail{DrawFileTypeIcon(KindOfName(path), size), Thumbnail::Source::FileTypeIcon}; };
    if (options_.useCache) {
        if (std::optional<Thumbnail> known = Lookup(path, mtime, bytes, size))
            return known;
        if (std::optional<QImage> cached = cache_.Lookup(path, mtime))
            return Remember(path, mtime, bytes, size, Thumbnail{FitInto(*cached, size), Thumbnail::Source::Cache});
        if (cache_.IsMarkedFailed(path, mtime))
            return Remember(path, mtime, bytes, size, icon());
    }
    if (std::optional<QImage> made = Generate(path)) {
        if (options_.useCache)
            cache_.Store(path, mtime, *made);
        return Remember(path, mtime, bytes, size, Thumbnail{FitInto(*made, size), Thumbnail::Source::Generated});
    }
    // A decoder failure may really be the file vanishing under us.
    if (!QFileInfo::exists(path))
        return std::nullopt;
    if (options_.useCache)
        cache_.MarkFailed(path, mtime);
    return Remember(path, mtime, bytes, size, icon());
}

std::vector<std::optional<Thumbnail>> ThumbnailProvider::GetThumbnails(const QStringList &paths, QSize size) const
{
    std::vector<std::optional<Thumbnail>> results(static_cast<size_t>(paths.size()));
    const int cores = std::max(1, QThread::idealThreadCount());
    const int workers = std::clamp(options_.maxWorkers > 0 ? options_.maxWorkers : cores, 1,
                                   std::max(1, static_cast<int>(paths.size())));
    RunOnPool(workers, static_cast<int>(paths.size()), [&](int i) {
        results[static_cast<size_t>(i)] = GetThumbnail(paths[i], size);
    });
    return results;
}

} // namespace thumbnails
