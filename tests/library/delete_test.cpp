#include "library/media_library.h"
#include "platform/ui/message_box.h"
#include "tests/library/library_fixtures.h"
#include "tests/support/test_environment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using ui::ListView;
constexpr unsigned kBoth = ListView::kSelected | ListView::kFocused;

class Delete : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = testenv::MakeTempFolder("delete") + "/";
        list.library.modeFolders[4] = folder;
        list.UseMode(4);
    }
    // n small photos named 20240101-1000NN.jpg, listed.
    void MakeCaptures(int n)
    {
        for (int i = 0; i < n; ++i)
            ASSERT_TRUE(testenv::WriteFile(folder + Name(i), "not decoded"));
        list.library.LoadFileNames(4);
        for (int i = 0; i < n; ++i)
            list.view.InsertItem(i, list.library.names[i], -1);
        ASSERT_EQ(list.view.GetItemCount(), n);
    }
    static QString Name(int i) { return QString("20240101-10%1.jpg").arg(i, 4, 10, QChar('0')); }
    bool Exists(int i) const { return QFileInfo::exists(folder + Name(i)); }

    QString folder;
    libtest::BoundList list;
    ui::RecordingPresenter box;
};

TEST_F(Delete, RemovesTheSelectedFilesAndSelectsTheItemBefore)
{
    MakeCaptures(8);
    libtest::SelectOnly(list.view, {2, 5});
    list.library.OnDeleteSelected(4, nullptr);
    EXPECT_TRUE(box.Texts().isEmpty());
    EXPECT_FALSE(Exists(2));
    EXPECT_FALSE(Exists(5));
    for (int i : {0, 1, 3, 4, 6, 7})
        EXPECT_TRUE(Exists(i)) << i;
    ASSERT_EQ(list.view.GetItemCount(), 6);
    EXPECT_EQ(list.view.GetItemText(2), Name(3));
    EXPECT_EQ(list.view.GetItemText(4), Name(6));
    EXPECT_EQ(list.view.GetSelectionMark(), 1);
    EXPECT_EQ(list.view.GetItemState(1, kBoth), kBoth);
    EXPECT_EQ(list.view.GetNextSelectedItem(-1), 1);
    EXPECT_EQ(list.view.GetNextSelectedItem(1), -1);
}

TEST_F(Delete, FilesInUseAreRefusedWithASharingViolationAndTheOthersGo)
{
    MakeCaptures(6);
    libtest::SelectOnly(list.view, {1, 2, 4});
    // The same files named as the engines name them: another spelling of the folder.
    const QString busy = QDir::cleanPath(folder + "/./" + Name(2));
    list.library.OnDeleteSelected(4, nullptr, {busy, folder + Name(5)});
    EXPECT_EQ(box.Texts(), QStringList({QStringLiteral("A sharing violation occurred while accessing %1.")
                                            .arg(folder + Name(2))}));
    EXPECT_FALSE(Exists(1));
    EXPECT_TRUE(Exists(2));
    EXPECT_FALSE(Exists(4));
    EXPECT_TRUE(Exists(5)) << "not selected";
    ASSERT_EQ(list.view.GetItemCount(), 4);
    EXPECT_EQ(list.view.GetItemText(1), Name(2));
    EXPECT_EQ(list.view.GetNextSelectedItem(-1), 0) << "the item before the first deleted one";
}

TEST_F(Delete, NothingSelectedSaysSoAndDeletesNothing)
{
    MakeCaptures(2);
    list.library.OnDeleteSelected(4, nullptr);
    EXPECT_EQ(box.Texts(), QStringList{"No items were selected!!"});
    EXPECT_TRUE(Exists(0) && Exists(1));
    EXPECT_EQ(list.view.GetItemCount(), 2);
}

TEST_F(Delete, MoreThan256SelectedAreAllDeleted)
{
    MakeCaptures(300);
    list.view.selectAll();
    list.library.OnDeleteSelected(4, nullptr);
    EXPECT_TRUE(box.Texts().isEmpty());
    EXPECT_EQ(list.view.GetItemCount(), 0);
    EXPECT_TRUE(QDir(folder).entryList(QDir::Files).isEmpty());
}

TEST_F(Delete, AFileThatCannotBeRemovedStopsThereWithTheErrorAndPath)
{
    MakeCaptures(5);
    // Item 3 has turned into a non-empty folder: unlink refuses it, for root too.
    ASSERT_TRUE(QFile::remove(folder + Name(3)));
    ASSERT_TRUE(QDir(folder).mkpath(Name(3) + "/inside"));
    libtest::SelectOnly(list.view, {1, 3, 4});
    list.library.OnDeleteSelected(4, nullptr);
    EXPECT_EQ(box.Texts(), QStringList{QString("Access to %1 was denied.").arg(folder + Name(3))});
    EXPECT_FALSE(Exists(1));
    EXPECT_TRUE(QFileInfo(folder + Name(3)).isDir());
    EXPECT_TRUE(Exists(4));
    // The deleted file's item is gone; the failed one and the later one stay.
    ASSERT_EQ(list.view.GetItemCount(), 4);
    EXPECT_EQ(list.view.GetItemText(1), Name(2));
    EXPECT_EQ(list.view.GetItemText(2), Name(3));
    EXPECT_EQ(list.view.GetItemText(3), Name(4));
}

TEST_F(Delete, AReadOnlyFolderShowsAccessDeniedAndDeletesNothing)
{
    MakeCaptures(4);
    ASSERT_EQ(chmod(QFile::encodeName(folder).constData(), 0555), 0);
    libtest::PermissionsEnforced enforced;
    // access() would answer for root's full rights; a real write attempt does not.
    QFile probe(folder + "probe");
    if (probe.open(QIODevice::WriteOnly)) {
        probe.remove();
        chmod(QFile::encodeName(folder).constData(), 0755);
        GTEST_SKIP() << "folder permissions are not enforced for this process";
    }
    libtest::SelectOnly(list.view, {0, 2});
    list.library.OnDeleteSelected(4, nullptr);
    EXPECT_EQ(box.Texts(), QStringList{QString("Access to %1 was denied.").arg(folder + Name(0))});
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(Exists(i)) << i;
    EXPECT_EQ(list.view.GetItemCount(), 4);
    chmod(QFile::encodeName(folder).constData(), 0755);
}

TEST_F(Delete, AFileAlreadyGoneCountsAsDeleted)
{
    MakeCaptures(3);
    ASSERT_TRUE(QFile::remove(folder + Name(1)));
    libtest::SelectOnly(list.view, {1, 2});
    list.library.OnDeleteSelected(4, nullptr);
    EXPECT_TRUE(box.Texts().isEmpty());
    EXPECT_FALSE(Exists(2));
    ASSERT_EQ(list.view.GetItemCount(), 1);
    EXPECT_EQ(list.view.GetSelectionMark(), 0);
}

TEST_F(Delete, OddNamesAreDeleted)
{
    const QStringList odd = {"with space.wmv", "it's \"quoted\".wma", "Größe 日本.jpg"};
    for (const QString &name : odd)
        ASSERT_TRUE(testenv::WriteFile(folder + name, "x"));
    ASSERT_TRUE(list.library.LoadFileNames(4));
    for (int i = 0; i < 3; ++i)
        list.view.InsertItem(i, list.library.names[i], -1);
    list.view.selectAll();
    list.library.OnDeleteSelected(4, nullptr);
    EXPECT_TRUE(box.Texts().isEmpty());
    EXPECT_TRUE(QDir(folder).entryList(QDir::Files).isEmpty());
}

} // namespace
