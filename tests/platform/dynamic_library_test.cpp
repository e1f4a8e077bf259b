#include "platform/dynlib/dynamic_library.h"

#include "platform/diag/diagnostics.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

using dynlib::DynamicLibrary;

namespace {
struct ProgramFilesScope {
    explicit ProgramFilesScope(const QString &folder) : saved(qgetenv("TALVORA_PROGRAM_FILES"))
    {
        qputenv("TALVORA_PROGRAM_FILES", folder.toLocal8Bit());
    }
    ~ProgramFilesScope() { qputenv("TALVORA_PROGRAM_FILES", saved); }
    QByteArray saved;
};
} // namespace

TEST(DynamicLibrary, LoadsFromTheProductFolderAndFindsExports)
{
    ProgramFilesScope scope(QStringLiteral(TALVORA_FIXTURE_ROOT "/on"));
    auto lib = DynamicLibrary::Load(QStringLiteral("libMicArrayHelper.so"));
    ASSERT_NE(lib, nullptr);
    EXPECT_EQ(lib->Path(), QStringLiteral(TALVORA_FIXTURE_ROOT "/on/Talvora/libMicArrayHelper.so"));
    auto fn = lib->Function<int (*)()>("GetMicArrayStatus");
    ASSERT_NE(fn, nullptr);
    EXPECT_EQ(fn(), 0x101);
    EXPECT_EQ(lib->Symbol("NoSuchExport"), nullptr);
}

TEST(DynamicLibrary, NeverLoadsFromTheWorkingDirectory)
{
    // A library in the working directory only, with the product folder empty.
    ProgramFilesScope scope(QDir::homePath() + "/empty-program-files");
    const QString work = QDir::homePath() + "/workdir";
    QDir().mkpath(work);
    ASSERT_TRUE(QFile::copy(QStringLiteral(TALVORA_FIXTURE_ROOT "/on/Talvora/libMicArrayHelper.so"),
                            work + "/libMicArrayHelper.so"));
    const QString saved = QDir::currentPath();
    QDir::setCurrent(work);
    diag::CaptureScope capture;
    EXPECT_EQ(DynamicLibrary::Load(QStringLiteral("libMicArrayHelper.so")), nullptr);
    QDir::setCurrent(saved);
    EXPECT_FALSE(capture.Lines().isEmpty()) << "the loader's reason should be on the diagnostics channel";
}
