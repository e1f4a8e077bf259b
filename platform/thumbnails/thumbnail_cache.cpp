#include "platform/thumbnails/thumbnail_cache.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QSaveFile>
#include <glib.h>

namespace thumbnails {
namespace {
const QString kThumbUri = QStringLiteral("Thumb::URI");
const QString kThumbMTime = QStringLiteral("Thumb::MTime");
const QString kFailFolder = QStringLiteral("fail/talvora");

QString DefaultRoot()
{
    const QString xdg = qEnvironmentVariable("XDG_CACHE_HOME");
    const QString base = !xdg.isEmpty() && QDir::isAbsolutePath(xdg) ? xdg : QDir::homePath() + QStringLiteral("/.cache");
    return base + QStringLiteral("/thumbnails");
}

// Creates folder and any missing parent below the cache root, private to the user.
bool MakePrivateFolder(const QString &root, const QString &folder)
{
    QFileInfo info(folder);
    if (info.isDir())
        return true;
    if (!QDir().mkpath(folder))
        return false;
    constexpr auto kOwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;
    for (QString dir = folder; dir.startsWith(root) && dir.size() >= root.size(); dir = QFileInfo(dir).path()) {
        QFile::setPermissions(dir, kOwnerOnly);
        if (dir == root)
            break;
    }
    return true;
}
} // namespace

ThumbnailCache::ThumbnailCache(QString root) : root_(root.isEmpty() ? DefaultRoot() : std::move(root)) {}

QByteArray ThumbnailCache::FileUri(const QString &path)
{
    const QString absolute = QFileInfo(path).absoluteFilePath();
    gchar *uri = g_filename_to_uri(QFile::encodeName(absolute).constData(), nullptr, nullptr);
    if (!uri)
        return {};
    QByteArray result(uri);
    g_free(uri);
    return result;
}

QString ThumbnailCache::EntryPath(const QByteArray &uri, const QString &flavour) const
{
    const QByteArray md5 = QCryptographicHash::hash(uri, QCryptographicHash::Md5).toHex();
    return root_ + QLatin1Char('/') + flavour + QLatin1Char('/') + QString::fromLatin1(md5) + QStringLiteral(".png");
}

std::optional<QImage> ThumbnailCache::ReadValid(const QString &entry, const QByteArray &uri, qint64 mtime) const
{
    // QImageReader::text() mangles keys containing "::", so the chunks are
    // read from the decoded image (a thumbnail is small).
    QImageReader reader(entry, "png");
    QImage image = reader.read();
    if (image.isNull() || image.text(kThumbMTime) != QString::number(mtime)
        || image.text(kThumbUri).toUtf8() != uri)
        return std::nullopt;
    return image;
}

std::optional<QImage> ThumbnailCache::Lookup(const QString &path, qint64 mtime) const
{
    const QByteArray uri = FileUri(path);
    if (uri.isEmpty())
        return std::nullopt;
    for (const QString &flavour : {QStringLiteral("normal"), QStringLiteral("large")}) {
        if (auto image = ReadValid(EntryPath(uri, flavour), uri, mtime))
            return image;
    }
    return std::nullopt;
}

bool ThumbnailCache::WriteEntry(const QString &folder, const QByteArray &uri, qint64 mtime, QImage image) const
{
    if (uri.isEmpty() || !MakePrivateFolder(root_, root_ + QLatin1Char('/') + folder))
        return false;
    image.setText(kThumbUri, QString::fromUtf8(uri));
    image.setText(kThumbMTime, QString::number(mtime));
    image.setText(QStringLiteral("Software"), QStringLiteral("Talvora"));
    QSaveFile file(EntryPath(uri, folder));
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    QImageWriter writer(&file, "png");
    // Light compression: a quarter of the default's encoding time and faster
    // to read back, for a little more disk.
    writer.setQuality(80);
    if (!writer.write(image)) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

bool ThumbnailCache::Store(const QString &path, qint64 mtime, const QImage &image) const
{
    if (image.isNull())
        return false;
    const QImage bounded = image.width() > kNormalSize || image.height() > kNormalSize
        ? image.scaled(kNormalSize, kNormalSize, Qt::KeepAspectRatio, Qt::SmoothTransformation)
        : image;
    return WriteEntry(QStringLiteral("normal"), FileUri(path), mtime, bounded);
}

bool ThumbnailCache::IsMarkedFailed(const QString &path, qint64 mtime) const
{
    const QByteArray uri = FileUri(path);
    return !uri.isEmpty() && ReadValid(EntryPath(uri, kFailFolder), uri, mtime).has_value();
}

bool ThumbnailCache::MarkFailed(const QString &path, qint64 mtime) const
{
    QImage empty(1, 1, QImage::Format_ARGB32);
    empty.fill(Qt::transparent);
    return WriteEntry(kFailFolder, FileUri(path), mtime, empty);
}

} // namespace thumbnails
