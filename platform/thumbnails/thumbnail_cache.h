#pragma once
// The freedesktop.org shared thumbnail cache, as file managers use it:
// <cache>/thumbnails/{normal,large}/<md5 of the file URI>.png, each PNG
// carrying Thumb::URI and Thumb::MTime; a thumbnail is valid only while its
// Thumb::MTime equals the file's modification time. Failures to thumbnail a
// file are remembered under fail/<program>/ the same way, so a broken file
// is not decoded again on every refresh.
#include <QDateTime>
#include <QImage>
#include <QString>
#include <optional>

namespace thumbnails {

class ThumbnailCache {
public:
    // Largest side of a "normal" thumbnail.
    static constexpr int kNormalSize = 128;

    // root: the "thumbnails" folder; empty means $XDG_CACHE_HOME/thumbnails
    // (when set and absolute), else ~/.cache/thumbnails.
    explicit ThumbnailCache(QString root = {});

    const QString &Root() const { return root_; }

    // The file URI as GLib writes it (so other programs find the same entry).
    static QByteArray FileUri(const QString &path);
    // <root>/<flavour>/<md5 hex of uri>.png
    QString EntryPath(const QByteArray &uri, const QString &flavour) const;

    // A valid thumbnail of path (normal first, then large), or nothing. mtime
    // is the file's modification time in whole seconds.
    std::optional<QImage> Lookup(const QString &path, qint64 mtime) const;
    // Writes image (at most kNormalSize per side) as the normal thumbnail,
    // atomically, mode 0600, creating the folders with mode 0700. False when
    // anything fails; the cache is only an accelerator.
    bool Store(const QString &path, qint64 mtime, const QImage &image) const;

    bool IsMarkedFailed(const QString &path, qint64 mtime) const;
    bool MarkFailed(const QString &path, qint64 mtime) const;

private:
    std::optional<QImage> ReadValid(const QString &entry, const QByteArray &uri, qint64 mtime) const;
    bool WriteEntry(const QString &folder, const QByteArray &uri, qint64 mtime, QImage image) const;

    QString root_;
};

} // namespace thumbnails
