#include "platform/shell/local_clock.h"
#include "platform/shell/shell.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

TEST(Shell, DocumentsFolderIsCreatedAndHasNoTrailingSeparator)
{
    const QString docs = shell::DocumentsFolder();
    EXPECT_FALSE(docs.endsWith('/'));
    EXPECT_TRUE(QFileInfo(docs).isDir());
    EXPECT_TRUE(docs.startsWith(QDir::homePath()));
}

TEST(Shell, DocumentsFolderFollowsTheXdgUserDirsFile)
{
    const QString custom = QDir::homePath() + "/Mes documents";
    QFile dirs(QDir::homePath() + "/.config/user-dirs.dirs");
    QDir().mkpath(QDir::homePath() + "/.config");
    ASSERT_TRUE(dirs.open(QIODevice::WriteOnly | QIODevice::Truncate));
    dirs.write("XDG_DOCUMENTS_DIR=\"$HOME/Mes documents\"\n");
    dirs.close();
    EXPECT_EQ(shell::DocumentsFolder(), custom);
    EXPECT_TRUE(QFileInfo(custom).isDir());
    QFile::remove(dirs.fileName());
}

TEST(Shell, ProgramFilesFolderHonoursTheOverride)
{
    const QByteArray saved = qgetenv("TALVORA_PROGRAM_FILES");
    qputenv("TALVORA_PROGRAM_FILES", "/opt/x/lib/");
    EXPECT_EQ(shell::ProgramFilesFolder().value_or(QString()), QStringLiteral("/opt/x/lib"));
    qunsetenv("TALVORA_PROGRAM_FILES");
    // Installed layout: <prefix>/bin/talvora next to <prefix>/lib/Talvora.
    const QString expected = QDir::cleanPath(QCoreApplication::applicationDirPath() + "/../lib");
    EXPECT_EQ(shell::ProgramFilesFolder().value_or(QString()), expected);
    qputenv("TALVORA_PROGRAM_FILES", saved);
}

TEST(Shell, OpenGoesThroughTheHookWithTheExactPath)
{
    QStringList opened;
    shell::SetOpenHook([&](const QString &p) { opened << p; return true; });
    EXPECT_TRUE(shell::OpenWithDefaultHandler(QStringLiteral("/a b/\"c\"/é.mht")));
    shell::SetOpenHook(nullptr);
    EXPECT_EQ(opened, QStringList{QStringLiteral("/a b/\"c\"/é.mht")});
}

TEST(LocalClock, CanBePinnedAndReleased)
{
    const QDateTime pinned(QDate(2011, 3, 7), QTime(9, 5, 3));
    {
        shell::FixedClockScope scope(pinned);
        EXPECT_EQ(shell::LocalClock::Now(), pinned);
    }
    EXPECT_GT(shell::LocalClock::Now().date().year(), 2020);
}
