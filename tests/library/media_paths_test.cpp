#include "library/media_library.h"
#include "library/media_paths.h"
#include "platform/shell/local_clock.h"
#include "platform/shell/shell.h"

#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>

namespace {

TEST(MediaPaths, BuildsTheFoldersUnderDocumentsAndCreatesThem)
{
    library::MediaPaths paths;
    library::MediaLibrary lib;
    library::BuildMediaPaths(paths, lib);

    const QString docs = shell::DocumentsFolder();
    EXPECT_EQ(paths.documentsFolder, docs);
    EXPECT_FALSE(paths.documentsFolder.endsWith('/'));
    EXPECT_EQ(paths.baseFolder, docs + "/Talvora/");
    const QStringList expected = {"AudioSolo", "AudioConference", "Video", "TVideo", "Photo"};
    for (int mode = 0; mode < library::kModeCount; ++mode) {
        const QString folder = paths.baseFolder + expected[mode] + "/";
        EXPECT_EQ(paths.ModeFolder(mode), folder);
        EXPECT_EQ(lib.modeFolders[mode], folder);
        EXPECT_TRUE(QFileInfo(folder).isDir()) << folder.toStdString();
    }
    EXPECT_TRUE(paths.ModeFolder(5).isEmpty());
    EXPECT_TRUE(paths.currentFilePath.isEmpty());

    // Running again over existing folders is harmless.
    library::BuildMediaPaths(paths, lib);
    EXPECT_TRUE(QFileInfo(paths.photoFolder).isDir());
}

TEST(MediaPaths, CaptureNamesFollowTheLocalTime)
{
    {
        shell::FixedClockScope clock(QDateTime(QDate(2006, 12, 31), QTime(23, 59, 59)));
        EXPECT_EQ(library::MakeCaptureFileName("/d/Talvora/AudioSolo/", ".wma"),
                  "/d/Talvora/AudioSolo/20061231-235959.wma");
    }
    shell::FixedClockScope clock(QDateTime(QDate(2007, 1, 2), QTime(3, 4, 5)));
    const QString first = library::MakeCaptureFileName("/x/Photo/", ".jpg");
    EXPECT_EQ(first, "/x/Photo/20070102-030405.jpg");
    // Two captures in the same second share the name.
    EXPECT_EQ(library::MakeCaptureFileName("/x/Photo/", ".jpg"), first);
}

} // namespace
