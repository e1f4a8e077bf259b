#include "library/media_library.h"
#include "platform/ui/message_box.h"
#include "tests/library/library_fixtures.h"
#include "tests/support/test_environment.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class Listing : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = testenv::MakeTempFolder("listing") + "/";
        list.library.modeFolders[2] = folder;
    }
    void Touch(const QString &name) { ASSERT_TRUE(testenv::WriteFile(folder + name, "x")); }

    QString folder;
    libtest::BoundList list;
    ui::RecordingPresenter box;
};

TEST_F(Listing, AcceptsByTheLastThreeLettersAndSkipsEverythingElse)
{
    for (const char *name : {"z.wmv", "x.WMA", "y.Jpg", "abcjpg", "a.jpeg", "b.png", "c.bmp", ".hidden.wmv",
                             "~lock.wmv", "#autosave.jpg", "backup.wma~", "wm"})
        Touch(name);
    ASSERT_TRUE(QDir(folder).mkdir("folder.wmv"));
    ASSERT_EQ(mkfifo(QFile::encodeName(folder + "pipe.wma").constData(), 0600), 0);
    ASSERT_EQ(symlink("/nonexistent/target.jpg", QFile::encodeName(folder + "dangling.jpg").constData()), 0);

    EXPECT_TRUE(list.library.LoadFileNames(2));
    EXPECT_EQ(list.library.names, QStringList({"abcjpg", "x.WMA", "y.Jpg", "z.wmv"}));
    EXPECT_EQ(list.library.currentFolder, folder);
    EXPECT_TRUE(box.Texts().isEmpty());
}

TEST_F(Listing, ListsInNameOrderSoCapturesAreChronological)
{
    for (const char *name : {"20070102-030405.wmv", "20061231-235959.wmv", "20070102-030404.jpg",
                             "20080101-000000.wma"})
        Touch(name);
    ASSERT_TRUE(list.library.LoadFileNames(2));
    EXPECT_EQ(list.library.names, QStringList({"20061231-235959.wmv", "20070102-030404.jpg",
                                               "20070102-030405.wmv", "20080101-000000.wma"}));
}

TEST_F(Listing, EmptyMissingOrReplacedFoldersListNothingAndEmptyTheView)
{
    Touch("one.wmv");
    list.library.RefreshThumbnails(2, nullptr);
    ASSERT_EQ(list.view.GetItemCount(), 1);

    // Only other kinds of files.
    QFile::remove(folder + "one.wmv");
    Touch("only.bmp");
    EXPECT_FALSE(list.library.LoadFileNames(2));
    EXPECT_TRUE(list.library.names.isEmpty());
    EXPECT_EQ(list.view.GetItemCount(), 0);

    // The folder replaced by a file.
    ASSERT_TRUE(QDir(folder).removeRecursively());
    ASSERT_TRUE(testenv::WriteFile(folder.chopped(1), "not a folder"));
    list.library.RefreshThumbnails(2, nullptr);
    EXPECT_EQ(list.view.GetItemCount(), 0);

    // Missing altogether, and a mode that does not exist.
    list.library.modeFolders[2] = folder + "gone/";
    EXPECT_FALSE(list.library.LoadFileNames(2));
    EXPECT_FALSE(list.library.LoadFileNames(7));
    EXPECT_TRUE(box.Texts().isEmpty());
}

TEST_F(Listing, OddNamesAreListedVerbatim)
{
    const QStringList odd = {"meeting with spaces.wmv", "quote's \"double\".wma", "Ärger über Größe ñ 日本.jpg"};
    for (const QString &name : odd)
        Touch(name);
    ASSERT_TRUE(list.library.LoadFileNames(2));
    QStringList sorted = odd;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(list.library.names, sorted);
}

} // namespace
