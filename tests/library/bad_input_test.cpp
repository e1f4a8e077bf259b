#include "library/media_library.h"
#include "platform/thumbnails/thumbnail_cache.h"
#include "platform/thumbnails/thumbnail_provider.h"
#include "platform/ui/message_box.h"
#include "tests/library/library_fixtures.h"
#include "tests/support/test_environment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <gtest/gtest.h>

namespace {

using Source = thumbnails::Thumbnail::Source;

class BadInput : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = testenv::MakeTempFolder("bad") + "/";
        cacheRoot = testenv::MakeTempFolder("cache") + "/thumbnails";
    }
    thumbnails::ThumbnailProvider Provider() const { return thumbnails::ThumbnailProvider({.cacheRoot = cacheRoot}); }
    QString folder;
    QString cacheRoot;
};

TEST_F(BadInput, UndecodableFilesGetTheFileTypeIconAndAreRememberedAsFailures)
{
    ASSERT_TRUE(testenv::WriteFile(folder + "empty.wmv", {}));
    ASSERT_TRUE(testenv::WriteFile(folder + "garbage.wma", QByteArray(5000, '\x5a')));
    ASSERT_TRUE(libtest::MakeJpeg(folder + "full.jpg", {320, 240}, Qt::red, Qt::blue));
    QFile full(folder + "full.jpg");
    ASSERT_TRUE(full.open(QIODevice::ReadOnly));
    ASSERT_TRUE(testenv::WriteFile(folder + "truncated.jpg", full.read(full.size() / 8)));
    ASSERT_TRUE(libtest::MakeWmv(folder + "full.wmv"));
    QFile clip(folder + "full.wmv");
    ASSERT_TRUE(clip.open(QIODevice::ReadOnly));
    ASSERT_TRUE(testenv::WriteFile(folder + "truncated.wmv", clip.read(600)));

    const auto provider = Provider();
    for (const char *name : {"empty.wmv", "garbage.wma", "truncated.wmv"}) {
        SCOPED_TRACE(name);
        auto thumb = provider.GetThumbnail(folder + name, {87, 65});
        ASSERT_TRUE(thumb);
        EXPECT_EQ(thumb->source, Source::FileTypeIcon);
        EXPECT_EQ(thumb->image.size(), QSize(87, 65));
        // Known as failed now: no decoding the next time.
        EXPECT_TRUE(thumbnails::ThumbnailCache(cacheRoot).IsMarkedFailed(
            folder + name, QFileInfo(folder + name).lastModified().toSecsSinceEpoch()));
        auto again = Provider().GetThumbnail(folder + name, {87, 65});
        ASSERT_TRUE(again);
        EXPECT_EQ(again->source, Source::FileTypeIcon);
    }
    // A truncated JPEG still shows what could be decoded, or the icon; never nothing.
    auto truncated = provider.GetThumbnail(folder + "truncated.jpg", {87, 65});
    ASSERT_TRUE(truncated);
    EXPECT_FALSE(truncated->image.isNull());
}

TEST_F(BadInput, GoneOrNonFilePathsYieldNoThumbnail)
{
    const auto provider = Provider();
    EXPECT_FALSE(provider.GetThumbnail(folder + "never-there.jpg", {87, 65}));
    ASSERT_TRUE(QDir(folder).mkdir("dir.wmv"));
    EXPECT_FALSE(provider.GetThumbnail(folder + "dir.wmv", {87, 65}));
}

TEST_F(BadInput, AnUnusableCacheFolderOnlyCostsTheCaching)
{
    // The cache folder is a plain file: nothing can be read from or written to it.
    ASSERT_TRUE(testenv::WriteFile(cacheRoot, "in the way"));
    ASSERT_TRUE(libtest::MakeJpeg(folder + "p.jpg", {160, 120}, Qt::red, Qt::red));
    ASSERT_TRUE(testenv::WriteFile(folder + "empty.wmv", {}));
    const auto provider = Provider();
    auto photo = provider.GetThumbnail(folder + "p.jpg", {87, 65});
    ASSERT_TRUE(photo);
    EXPECT_EQ(photo->source, Source::Generated);
    // Only the memory of this provider helps; a new one must decode again.
    auto remembered = provider.GetThumbnail(folder + "p.jpg", {87, 65});
    ASSERT_TRUE(remembered);
    EXPECT_EQ(remembered->source, Source::Cache);
    auto again = Provider().GetThumbnail(folder + "p.jpg", {87, 65});
    ASSERT_TRUE(again);
    EXPECT_EQ(again->source, Source::Generated);
    auto broken = provider.GetThumbnail(folder + "empty.wmv", {87, 65});
    ASSERT_TRUE(broken);
    EXPECT_EQ(broken->source, Source::FileTypeIcon);
    EXPECT_TRUE(QFileInfo(cacheRoot).isFile());
}

TEST_F(BadInput, ACorruptOrForeignCacheEntryIsReplaced)
{
    const QString photo = folder + "p.jpg";
    ASSERT_TRUE(libtest::MakeJpeg(photo, {160, 120}, Qt::blue, Qt::blue));
    const thumbnails::ThumbnailCache cache(cacheRoot);
    const QString entry = cache.EntryPath(thumbnails::ThumbnailCache::FileUri(photo), "normal");
    ASSERT_TRUE(testenv::WriteFile(entry, "\x89PNG garbage"));
    const auto provider = Provider();
    auto first = provider.GetThumbnail(photo, {87, 65});
    ASSERT_TRUE(first);
    EXPECT_EQ(first->source, Source::Generated);
    EXPECT_EQ(QImage(entry).text("Thumb::URI").toUtf8(), thumbnails::ThumbnailCache::FileUri(photo));
    auto second = Provider().GetThumbnail(photo, {87, 65});
    ASSERT_TRUE(second);
    EXPECT_EQ(second->source, Source::Cache);
}

TEST_F(BadInput, RefreshSurvivesAMixOfBrokenFiles)
{
    ui::RecordingPresenter box;
    libtest::BoundList list(2);
    list.library.modeFolders[2] = folder;
    list.library.SetThumbnailProvider(std::make_shared<thumbnails::ThumbnailProvider>(
        thumbnails::ThumbnailProvider::Options{.cacheRoot = cacheRoot}));
    ASSERT_TRUE(testenv::WriteFile(folder + "1-empty.wmv", {}));
    ASSERT_TRUE(testenv::WriteFile(folder + "2-text.jpg", "hello"));
    ASSERT_TRUE(libtest::MakeWmv(folder + "3-good.wmv"));
    list.library.RefreshThumbnails(2, nullptr);
    EXPECT_TRUE(box.Texts().isEmpty());
    EXPECT_EQ(list.view.GetItemCount(), 3);
}

} // namespace
