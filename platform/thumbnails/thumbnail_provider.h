#pragma once
// Thumbnails of capture files, in the spirit of the desktop shell's thumbnail
// service: a bitmap of the requested size for photos, videos and audio files.
//
// Per file, in this order:
//   1. a valid entry of the freedesktop thumbnail cache (ThumbnailCache);
//   2. else one is generated from the content: photos with QImageReader
//      (decoded at reduced size), videos as one decoded frame near the start
//      (GStreamer), audio as a small waveform of the file;
//   3. a generated thumbnail is written back to the cache so file managers and
//      the next refresh reuse it.
// Content that cannot be decoded (a zero-byte video, a truncated photo) gets a
// drawn file-type icon, as a desktop shell would show, and is remembered as a
// failure in the cache. Within one provider, thumbnails already handed out are
// kept in memory (keyed by path, modification time, size and requested size),
// so the refresh after every recording only decodes the new file. Only a file that is gone or cannot be opened at all
// yields no thumbnail. Every GStreamer wait is bounded, so a broken file costs
// at most a few seconds and never hangs the caller.
#include "platform/thumbnails/thumbnail_cache.h"

#include <QImage>
#include <QSize>
#include <QString>
#include <QStringList>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <vector>

namespace thumbnails {

struct Thumbnail {
    enum class Source { Cache, Generated, FileTypeIcon };
    QImage image; // fits within the requested size, aspect kept
    Source source;
};

class ThumbnailProvider {
public:
    struct Options {
        // The shared disk cache and the in-memory one.
        bool useCache = true;
        // Worker threads for GetThumbnails; 0 = one per core, 1 = the caller only.
        int maxWorkers = 0;
        // Cache root ("thumbnails" folder); empty = the user's cache.
        QString cacheRoot;
    };

    ThumbnailProvider() : ThumbnailProvider(Options{}) {}
    explicit ThumbnailProvider(Options options);
    virtual ~ThumbnailProvider() = default;

    // The thumbnail of one file scaled to fit size, or std::nullopt when the
    // file has vanished or cannot be read. Safe to call from any thread.
    std::optional<Thumbnail> GetThumbnail(const QString &path, QSize size) const;

    // The same for many files, generated on a small pool of named worker
    // threads that are joined before it returns; result i belongs to paths[i].
    virtual std::vector<std::optional<Thumbnail>> GetThumbnails(const QStringList &paths, QSize size) const;

    const Options &GetOptions() const { return options_; }

private:
    std::optional<QImage> Generate(const QString &path) const;
    std::optional<Thumbnail> Lookup(const QString &path, qint64 mtime, qint64 bytes, QSize size) const;
    std::optional<Thumbnail> Remember(const QString &path, qint64 mtime, qint64 bytes, QSize size,
                                      Thumbnail thumbnail) const;

    struct Remembered {
        qint64 mtime;
        qint64 bytes;
        QSize size;
        Thumbnail thumbnail;
    };
    // Enough for the largest folders in practice (about 23 MB at 87 x 65).
    static constexpr size_t kRememberedMax = 1024;

    Options options_;
    ThumbnailCache cache_;
    mutable std::mutex memoryMutex_;
    mutable std::unordered_map<QString, Remembered> memory_;
};

} // namespace thumbnails
