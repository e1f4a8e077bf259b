#include "platform/settings/settings_store.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <gtest/gtest.h>
#include <sys/stat.h>

using settings::SettingsStore;

namespace {

QString ConfigFile()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/Orvenic/Talvora.conf";
}

void WriteRaw(const QByteArray &contents)
{
    QDir().mkpath(QFileInfo(ConfigFile()).absolutePath());
    QFile f(ConfigFile());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(contents);
}

} // namespace

TEST(SettingsStore, RoundTripsEveryThirtyTwoBitValue)
{
    EXPECT_FALSE(SettingsStore::ReadModeState().has_value());
    for (std::uint32_t value : {0u, 4u, 7u, 0xFFFFFFFFu}) {
        ASSERT_TRUE(SettingsStore::WriteModeState(value));
        EXPECT_EQ(SettingsStore::ReadModeState(), value);
    }
    // Stored where a desktop user expects it.
    EXPECT_TRUE(QFile::exists(ConfigFile()));
}

TEST(SettingsStore, ValuesThatAreNotThirtyTwoBitUnsignedCountAsAbsent)
{
    for (const char *bad : {"abc", "-1", "4294967296", "3.5", "", "1,2", "0x4"}) {
        WriteRaw(QByteArray("[General]\nModeState=") + bad + "\n");
        EXPECT_FALSE(SettingsStore::ReadModeState().has_value()) << bad;
    }
    WriteRaw("\x00\xff garbage [[[ not ini at all\n");
    EXPECT_FALSE(SettingsStore::ReadModeState().has_value());
}

TEST(SettingsStore, UnwritableStoreReportsFailure)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root ignores file permissions; covered by the read-only-folder test below";
    const QString dir = QFileInfo(ConfigFile()).absolutePath();
    QDir().mkpath(dir);
    chmod(QFile::encodeName(dir).constData(), 0500);
    EXPECT_FALSE(SettingsStore::WriteModeState(3));
    chmod(QFile::encodeName(dir).constData(), 0700);
}

TEST(SettingsStore, StoreWhoseFolderIsAFileReportsFailure)
{
    // Works for root too: the store's folder cannot be created over a file.
    const QString dir = QFileInfo(ConfigFile()).absolutePath();
    QDir(dir).removeRecursively();
    QDir().mkpath(QFileInfo(dir).absolutePath());
    QFile blocker(dir);
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    EXPECT_FALSE(SettingsStore::WriteModeState(2));
    EXPECT_FALSE(SettingsStore::ReadModeState().has_value());
    QFile::remove(dir);
}
