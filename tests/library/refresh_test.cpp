#include "library/media_library.h"
#include "platform/thumbnails/file_type_icon.h"
#include "platform/thumbnails/thumbnail_cache.h"
#include "platform/thumbnails/thumbnail_provider.h"
#include "platform/shell/shell.h"
#include "platform/ui/message_box.h"
#include "tests/library/library_fixtures.h"
#include "tests/support/test_environment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

bool IsReddish(QRgb c) { return qRed(c) > 170 && qGreen(c) < 80 && qBlue(c) < 80; }
bool IsBluish(QRgb c) { return qBlue(c) > 170 && qRed(c) < 80 && qGreen(c) < 80; }
bool IsGreenish(QRgb c) { return qGreen(c) > 150 && qRed(c) < 80 && qBlue(c) < 80; }

// Counts the cell's pixels that satisfy pred.
template <class Pred>
int CountPixels(const QImage &image, Pred pred)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            n += pred(image.pixel(x, y)) ? 1 : 0;
    return n;
}

class Refresh : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Tests of one process share the documents folder; start empty.
        QDir(shell::DocumentsFolder() + "/Talvora").removeRecursively();
        library::BuildMediaPaths(paths, list.library);
        list.library.Bind(&list.view, &list.images, &paths);
    }
    library::MediaPaths paths;
    libtest::BoundList list;
    ui::RecordingPresenter box;
};

TEST_F(Refresh, EveryModeListsItsOwnCapturesWithRealThumbnails)
{
    // Three captures per mode folder, of the mode's own kind.
    for (int mode = 0; mode < library::kModeCount; ++mode) {
        const QString folder = paths.ModeFolder(mode);
        for (int i = 0; i < 3; ++i) {
            const QString stamp = QString("2024010%1-1200%2").arg(mode + 1).arg(10 + i);
            if (mode <= 1)
                ASSERT_TRUE(libtest::MakeWma(folder + stamp + ".wma"));
            else if (mode <= 3)
                ASSERT_TRUE(libtest::MakeWmv(folder + stamp + ".wmv", "red"));
            else
                ASSERT_TRUE(libtest::MakeJpeg(folder + stamp + ".jpg", {640, 480}, Qt::red, Qt::blue));
        }
    }

    for (int mode = 0; mode < library::kModeCount; ++mode) {
        SCOPED_TRACE(mode);
        list.UseMode(mode);
        list.library.RefreshThumbnails(mode, nullptr);
        ASSERT_EQ(list.view.GetItemCount(), 3);
        EXPECT_EQ(list.images.ImageCount(), 3);
        EXPECT_TRUE(list.view.IsRedrawOn());
        const QSize cell = library::MediaLibrary::ThumbnailSize(mode);
        EXPECT_EQ(list.images.CellSize(), cell);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(list.view.GetItemText(i), list.library.names[i]);
            EXPECT_TRUE(list.view.GetItemText(i).startsWith(QString("2024010%1-1200%2").arg(mode + 1).arg(10 + i)));
            EXPECT_EQ(list.view.GetItemImage(i), i);
        }
        const QImage first = list.images.Image(0);
        if (mode == 4) {
            // The photo itself: red on the left, blue on the right.
            EXPECT_TRUE(IsReddish(first.pixel(cell.width() / 4, cell.height() / 2)));
            EXPECT_TRUE(IsBluish(first.pixel(cell.width() * 3 / 4, cell.height() / 2)));
        } else if (mode >= 2) {
            // A decoded frame of the red clip fills most of the cell.
            EXPECT_GT(CountPixels(first, IsReddish), cell.width() * cell.height() / 2);
        } else {
            // The waveform card: opaque, with its bars drawn.
            EXPECT_EQ(qAlpha(first.pixel(cell.width() / 2, cell.height() / 2)), 255);
            EXPECT_GT(CountPixels(first, [](QRgb c) { return qGreen(c) > 150 && qBlue(c) > 150; }), 50);
        }
    }
    EXPECT_TRUE(box.Texts().isEmpty());
}

TEST_F(Refresh, RequestsTheItemPositionsStepByStep)
{
    for (int i = 0; i < 4; ++i)
        ASSERT_TRUE(libtest::MakeJpeg(paths.photoFolder + QString("p%1.jpg").arg(i), {64, 48}, Qt::green, Qt::green));
    list.UseMode(4);
    list.library.RefreshThumbnails(4, nullptr);
    const auto &requests = list.view.PositionRequests();
    ASSERT_EQ(requests.size(), 4u);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(requests[i].index, i);
        EXPECT_EQ(requests[i].position.x(), 6 + 71 * i);
    }
    EXPECT_GT(CountPixels(list.images.Image(3), IsGreenish), 87 * 65 / 2);
}

TEST_F(Refresh, WritesFreedesktopCacheEntriesAndReadsThemBack)
{
    const QString photo = paths.photoFolder + "cached photo.jpg";
    ASSERT_TRUE(libtest::MakeJpeg(photo, {400, 300}, Qt::red, Qt::blue));
    list.UseMode(4);
    list.library.RefreshThumbnails(4, nullptr);
    ASSERT_EQ(list.view.GetItemCount(), 1);

    const thumbnails::ThumbnailCache cache;
    EXPECT_EQ(cache.Root(), qEnvironmentVariable("XDG_CACHE_HOME") + "/thumbnails");
    const QByteArray uri = thumbnails::ThumbnailCache::FileUri(photo);
    EXPECT_TRUE(uri.startsWith("file:///")) << uri.constData();
    EXPECT_TRUE(uri.endsWith("/cached%20photo.jpg")) << uri.constData();
    const QString entry = cache.EntryPath(uri, "normal");
    const QImage stored(entry);
    ASSERT_FALSE(stored.isNull()) << entry.toStdString();
    EXPECT_EQ(stored.text("Thumb::URI").toUtf8(), uri);
    EXPECT_EQ(stored.text("Thumb::MTime"), QString::number(QFileInfo(photo).lastModified().toSecsSinceEpoch()));
    EXPECT_EQ(stored.size(), QSize(128, 96));

    struct stat st {};
    ASSERT_EQ(stat(QFile::encodeName(entry).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    ASSERT_EQ(stat(QFile::encodeName(cache.Root() + "/normal").constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    const thumbnails::ThumbnailProvider provider;
    auto again = provider.GetThumbnail(photo, {87, 65});
    ASSERT_TRUE(again);
    EXPECT_EQ(again->source, thumbnails::Thumbnail::Source::Cache);
    EXPECT_TRUE(IsReddish(again->image.pixel(10, 30)));

    // A changed file makes the entry stale: the thumbnail is made again.
    ASSERT_TRUE(libtest::MakeJpeg(photo, {400, 300}, Qt::blue, Qt::blue));
    QFile f(photo);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    ASSERT_TRUE(f.setFileTime(QDateTime::currentDateTime().addSecs(5), QFileDevice::FileModificationTime));
    f.close();
    auto fresh = provider.GetThumbnail(photo, {87, 65});
    ASSERT_TRUE(fresh);
    EXPECT_EQ(fresh->source, thumbnails::Thumbnail::Source::Generated);
    EXPECT_TRUE(IsBluish(fresh->image.pixel(10, 30)));
}

TEST_F(Refresh, OddFileNamesGetThumbnailsAndPaths)
{
    const QStringList names = {"A meeting \"quoted\" it's.wmv", "Ärger über Größe 日本.jpg", "sp a ce.wma"};
    ASSERT_TRUE(libtest::MakeWmv(paths.videoFolder + names[0], "red"));
    ASSERT_TRUE(libtest::MakeJpeg(paths.videoFolder + names[1], {200, 150}, Qt::red, Qt::blue));
    ASSERT_TRUE(libtest::MakeWma(paths.videoFolder + names[2]));
    list.UseMode(2);
    list.library.RefreshThumbnails(2, nullptr);
    ASSERT_EQ(list.view.GetItemCount(), 3);
    EXPECT_TRUE(box.Texts().isEmpty());
    const thumbnails::ThumbnailProvider noCache({.useCache = false, .maxWorkers = 0, .cacheRoot = {}});
    for (int i = 0; i < 3; ++i) {
        const QString name = list.view.GetItemText(i);
        auto thumb = noCache.GetThumbnail(paths.videoFolder + name, {87, 65});
        ASSERT_TRUE(thumb);
        EXPECT_EQ(thumb->source, thumbnails::Thumbnail::Source::Generated) << name.toStdString();
        libtest::SelectOnly(list.view, {i});
        QString path;
        ASSERT_TRUE(list.library.GetSelectedFilePath(2, &path, nullptr));
        EXPECT_EQ(path, paths.videoFolder + name);
        EXPECT_TRUE(QFileInfo::exists(path));
    }
}

TEST_F(Refresh, AVideoShowsAFrameFromAfterItsFirstSecond)
{
    ASSERT_TRUE(libtest::MakeWmvDarkStart(paths.videoFolder + "dark start.wmv"));
    list.UseMode(2);
    list.library.RefreshThumbnails(2, nullptr);
    ASSERT_EQ(list.view.GetItemCount(), 1);
    EXPECT_GT(CountPixels(list.images.Image(0), IsReddish), 87 * 65 / 2);
}

TEST_F(Refresh, TheAudioThumbnailDrawsTheLoudnessOverTime)
{
    ASSERT_TRUE(libtest::MakeWmaSilenceThenTone(paths.audioSoloFolder + "quiet then loud.wma"));
    list.UseMode(0);
    list.library.RefreshThumbnails(0, nullptr);
    ASSERT_EQ(list.view.GetItemCount(), 1);
    const QImage cell = list.images.Image(0);
    const auto bar = [](QRgb c) { return qGreen(c) > 140 && qBlue(c) > 140 && qRed(c) < 140; };
    const QImage left = cell.copy(0, 0, cell.width() / 2, cell.height());
    const QImage right = cell.copy(cell.width() / 2, 0, cell.width() - cell.width() / 2, cell.height());
    EXPECT_GT(CountPixels(right, bar), 300);
    EXPECT_LT(CountPixels(left, bar), CountPixels(right, bar) / 4);
}

TEST_F(Refresh, UsesTheImageListTheViewShowsNotAStaleOne)
{
    // The dialog re-creates its image list for every layout.
    for (const char *name : {"a.jpg", "b.jpg"})
        ASSERT_TRUE(libtest::MakeJpeg(paths.photoFolder + name, {64, 48}, Qt::red, Qt::red));
    auto audioCells = std::make_unique<ui::ImageList>(65, 69);
    list.view.SetImageList(audioCells.get());
    list.library.Bind(&list.view, audioCells.get(), &paths);
    auto pictureCells = std::make_unique<ui::ImageList>(87, 65);
    list.view.SetImageList(pictureCells.get());
    audioCells.reset();
    list.library.RefreshThumbnails(4, nullptr);
    EXPECT_EQ(pictureCells->ImageCount(), 2);
    EXPECT_EQ(list.view.GetItemCount(), 2);
    EXPECT_TRUE(IsReddish(pictureCells->Image(1).pixel(43, 32)));
}

// Removes one file just before the thumbnails are made, as a file that
// vanishes between the listing and the thumbnailing.
class VanishingProvider : public thumbnails::ThumbnailProvider {
public:
    explicit VanishingProvider(QString victim) : victim_(std::move(victim)) {}
    std::vector<std::optional<thumbnails::Thumbnail>> GetThumbnails(const QStringList &paths,
                                                                    QSize size) const override
    {
        QFile::remove(victim_);
        return ThumbnailProvider::GetThumbnails(paths, size);
    }

private:
    QString victim_;
};

TEST_F(Refresh, AVanishedFileStopsTheRefreshWithAMessage)
{
    for (const char *name : {"a.jpg", "b.jpg", "c.jpg", "d.jpg"})
        ASSERT_TRUE(libtest::MakeJpeg(paths.photoFolder + name, {64, 48}, Qt::red, Qt::red));
    list.library.SetThumbnailProvider(std::make_shared<VanishingProvider>(paths.photoFolder + "c.jpg"));
    list.UseMode(4);
    list.library.RefreshThumbnails(4, nullptr);
    EXPECT_EQ(box.Texts(), QStringList{"Load thumbnail fail"});
    ASSERT_EQ(list.view.GetItemCount(), 2);
    EXPECT_EQ(list.view.GetItemText(1), "b.jpg");
    EXPECT_EQ(list.images.ImageCount(), 4);
    EXPECT_TRUE(list.view.IsRedrawOn());
}

TEST_F(Refresh, AnUnreadableFileStopsTheRefreshEvenForRoot)
{
    for (const char *name : {"a.jpg", "b.jpg", "c.jpg"})
        ASSERT_TRUE(libtest::MakeJpeg(paths.photoFolder + name, {64, 48}, Qt::red, Qt::red));
    ASSERT_EQ(chmod(QFile::encodeName(paths.photoFolder + "b.jpg").constData(), 0), 0);
    libtest::PermissionsEnforced enforced;
    if (QFile(paths.photoFolder + "b.jpg").open(QIODevice::ReadOnly))
        GTEST_SKIP() << "file permissions are not enforced for this process";
    list.UseMode(4);
    list.library.RefreshThumbnails(4, nullptr);
    EXPECT_EQ(box.Texts(), QStringList{"Load thumbnail fail"});
    EXPECT_EQ(list.view.GetItemCount(), 1);
}

} // namespace

namespace {
// Notes which files it was asked to decode.
class AskedProvider : public thumbnails::ThumbnailProvider {
public:
    AskedProvider() : ThumbnailProvider(Options{false, 1, {}}) {}
    std::vector<std::optional<thumbnails::Thumbnail>> GetThumbnails(const QStringList &paths,
                                                                    QSize size) const override
    {
        asked += paths;
        return ThumbnailProvider::GetThumbnails(paths, size);
    }
    mutable QStringList asked;
};
} // namespace

// The file a recording is writing lies in the list as soon as Record starts,
// with no more than its first moments in it: it is not decoded.
TEST_F(Refresh, AFileBeingRecordedGetsItsKindsIconWithoutBeingDecoded)
{
    const QString done = paths.audioConferenceFolder + "20260101-080000.wma";
    const QString writing = paths.audioConferenceFolder + "20260101-090000.wma";
    ASSERT_TRUE(libtest::MakeWmaSilenceThenTone(done));
    QFile header(writing);
    ASSERT_TRUE(header.open(QIODevice::WriteOnly));
    header.write(QByteArray(4096, '\0'));
    header.close();
    QFile marker(writing + ".recording");
    ASSERT_TRUE(marker.open(QIODevice::WriteOnly));
    marker.write("1 this-boot\n");
    marker.close();
    auto provider = std::make_shared<AskedProvider>();
    list.library.SetThumbnailProvider(provider);
    list.UseMode(1);
    list.library.RefreshThumbnails(1, nullptr);
    EXPECT_EQ(provider->asked, QStringList{done});
    ASSERT_EQ(list.view.GetItemCount(), 2);
    EXPECT_EQ(list.view.GetItemText(1), "20260101-090000.wma");
    const QImage icon = thumbnails::DrawFileTypeIcon(thumbnails::MediaKind::Audio, QSize(65, 69));
    EXPECT_EQ(list.images.Image(1).convertToFormat(QImage::Format_ARGB32_Premultiplied),
              icon.convertToFormat(QImage::Format_ARGB32_Premultiplied));
    EXPECT_TRUE(box.Texts().isEmpty());
}
