// The upload hand-off: the file the tool reads, the running check and the
// launch, with a stand-in tool in a temporary product folder.
#include "library/uploader_handoff.h"
#include "platform/process/process_list.h"
#include "platform/ui/message_box.h"
#include "tests/library/library_fixtures.h"
#include "tests/support/test_environment.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <QXmlStreamReader>
#include <csignal>
#include <gtest/gtest.h>

using library::UploaderHandoff;

namespace {

// Polls until done() holds or ms (times the time factor) have passed.
bool WaitFor(const std::function<bool()> &done, int ms = 10000)
{
    QElapsedTimer timer;
    timer.start();
    const qint64 bound = qint64(ms * testenv::TimeFactor());
    while (!done() && timer.elapsed() < bound)
        QThread::msleep(20);
    return done();
}

QByteArray Read(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Reads the hand-off back with a strict parser: the root Talvora holding only
// Photo elements; returns (number, text) pairs, or nothing on any error.
std::vector<std::pair<QString, QString>> ParsePhotos(const QByteArray &xml, QString *error)
{
    std::vector<std::pair<QString, QString>> photos;
    QXmlStreamReader reader(xml);
    if (!reader.readNextStartElement() || reader.name() != QLatin1String("Talvora")) {
        *error = QStringLiteral("root is not Talvora");
        return {};
    }
    while (reader.readNextStartElement()) {
        if (reader.name() != QLatin1String("Photo")) {
            *error = QStringLiteral("unexpected element ") + reader.name().toString();
            return {};
        }
        const QString number = reader.attributes().value(QLatin1String("number")).toString();
        photos.emplace_back(number, reader.readElementText(QXmlStreamReader::ErrorOnUnexpectedElement));
    }
    if (reader.hasError())
        *error = reader.errorString();
    return photos;
}

class UploaderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        programFiles = testenv::MakeTempFolder(QStringLiteral("programs"));
        QDir().mkpath(programFiles + QStringLiteral("/Talvora"));
        savedProgramFiles = qgetenv("TALVORA_PROGRAM_FILES");
        qputenv("TALVORA_PROGRAM_FILES", QFile::encodeName(programFiles));
        base = testenv::MakeTempFolder(QStringLiteral("Talvora")) + QLatin1Char('/');
        photoFolder = base + QStringLiteral("Photo/");
        QDir().mkpath(photoFolder);
        handoff = base + QStringLiteral("Talvora.xml");
        list.library.modeFolders[4] = photoFolder;
        started = programFiles + QStringLiteral("/started");
    }
    void TearDown() override
    {
        StopTool();
        qputenv("TALVORA_PROGRAM_FILES", savedProgramFiles);
    }
    void AddItems(const QStringList &names)
    {
        for (const QString &name : names) {
            testenv::WriteFile(photoFolder + name, "jpeg");
            list.view.InsertItem(list.view.GetItemCount(), name, 0);
        }
    }
    // A stand-in tool: records its pid, then stays itself (no exec) until stopped.
    void InstallTool(const QString &name = UploaderHandoff::kToolName)
    {
        const QString script = programFiles + QStringLiteral("/Talvora/") + name;
        testenv::WriteFile(script, QStringLiteral("#!/bin/sh\necho $$ > '%1.tmp'\nmv '%1.tmp' '%1'\n"
                                                    "i=0; while [ $i -lt 60 ]; do /bin/sleep 1; i=$((i+1)); done\n")
                                       .arg(started)
                                       .toUtf8());
        QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        toolInstalled = true;
    }
    void StopTool()
    {
        if (toolInstalled && UploaderHandoff::IsUploaderRunning())
            WaitFor([this] { return QFile::exists(started); }, 5000);
        const pid_t pid = Read(started).trimmed().toInt();
        if (pid > 0 && ::kill(pid, SIGTERM) == 0)
            WaitFor([pid] { return ::kill(pid, 0) != 0; }); // the shell ends after its current sleep
        QFile::remove(started);
    }
    void Upload() { uploader.OnUploadToFlickr(list.library, 4, handoff, nullptr); }

    libtest::BoundList list{4};
    UploaderHandoff uploader;
    ui::RecordingPresenter boxes;
    QString programFiles, base, photoFolder, handoff, started;
    QByteArray savedProgramFiles;
    bool toolInstalled = false;
};

TEST_F(UploaderTest, TwoSelectedPhotosGiveNumberedFullPathsInListOrder)
{
    InstallTool();
    AddItems({QStringLiteral("20240101-000001.jpg"), QStringLiteral("20240101-000002.jpg"),
              QStringLiteral("20240101-000003.jpg")});
    libtest::SelectOnly(list.view, {2, 0});
    Upload();
    EXPECT_TRUE(boxes.Texts().isEmpty()) << boxes.Texts().join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(WaitFor([&] { return QFile::exists(started); })) << "the tool was started";

    const QByteArray xml = Read(handoff);
    EXPECT_TRUE(xml.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>")) << xml.constData();
    EXPECT_FALSE(xml.contains("> ") || xml.contains(" <") || xml.contains(">\n<")) << "no whitespace added";
    QString error;
    const auto photos = ParsePhotos(xml, &error);
    EXPECT_TRUE(error.isEmpty()) << error.toStdString();
    ASSERT_EQ(photos.size(), 2u);
    EXPECT_EQ(photos[0], std::make_pair(QStringLiteral("0"), photoFolder + QStringLiteral("20240101-000001.jpg")));
    EXPECT_EQ(photos[1], std::make_pair(QStringLiteral("1"), photoFolder + QStringLiteral("20240101-000003.jpg")));
}

TEST_F(UploaderTest, SecondUploadWhileTheToolRunsLeavesTheFileByteIdentical)
{
    InstallTool();
    AddItems({QStringLiteral("a.jpg"), QStringLiteral("b.jpg")});
    libtest::SelectOnly(list.view, {0});
    Upload();
    ASSERT_TRUE(WaitFor([&] { return QFile::exists(started); }));
    const QByteArray first = Read(handoff);
    ASSERT_FALSE(first.isEmpty());

    libtest::SelectOnly(list.view, {0, 1});
    Upload();
    EXPECT_EQ(boxes.Texts(), QStringList{QStringLiteral("Filckr Uploader already exist!")});
    EXPECT_EQ(Read(handoff), first);
}

TEST_F(UploaderTest, RunningCheckMatchesScriptsAndProgramsInAnyLetterCase)
{
    // A script under its interpreter: the kernel cuts its name to 15 characters.
    InstallTool(QStringLiteral("vEMBLOflickrUPLOADER"));
    QProcess::startDetached(programFiles + QStringLiteral("/Talvora/vEMBLOflickrUPLOADER"), {});
    ASSERT_TRUE(WaitFor([&] { return QFile::exists(started); }));
    EXPECT_TRUE(process::IsProcessRunning(QStringLiteral("VembloFlickrUploader")));
    EXPECT_TRUE(UploaderHandoff::IsUploaderRunning());
    EXPECT_FALSE(process::IsProcessRunning(QStringLiteral("VembloFlickrUploaderX")))
        << "only the cut name agrees, not the whole one";
    StopTool();
    EXPECT_TRUE(WaitFor([] { return !UploaderHandoff::IsUploaderRunning(); }));

    // A program of that name (a copy of sleep).
    const QString program = programFiles + QStringLiteral("/VEMBLOFLICKRUPLOADER.EXE");
    ASSERT_TRUE(QFile::copy(QStringLiteral("/bin/sleep"), program));
    QProcess sleeper;
    sleeper.start(program, {QStringLiteral("30")});
    ASSERT_TRUE(sleeper.waitForStarted());
    EXPECT_TRUE(WaitFor([] { return UploaderHandoff::IsUploaderRunning(); }));
    EXPECT_EQ(process::GetProcessBaseName(static_cast<pid_t>(sleeper.processId())),
              QStringLiteral("VEMBLOFLICKRUPLOADER.EXE"));
    const pid_t gone = static_cast<pid_t>(sleeper.processId());
    sleeper.kill();
    sleeper.waitForFinished();
    EXPECT_EQ(process::GetProcessBaseName(gone), QStringLiteral("<unknown>"));
}

TEST_F(UploaderTest, MissingToolIsReportedAndTheFileIsWrittenAllTheSame)
{
    AddItems({QStringLiteral("a.jpg")});
    libtest::SelectOnly(list.view, {0});
    EXPECT_TRUE(UploaderHandoff::GetUploaderPath().endsWith(QStringLiteral("/Talvora/VembloFlickrUploader")));
    Upload();
    EXPECT_EQ(boxes.Texts(), QStringList{QStringLiteral("Launch FilckrUploader fail")});
    QString error;
    EXPECT_EQ(ParsePhotos(Read(handoff), &error).size(), 1u) << error.toStdString();
}

TEST_F(UploaderTest, OnlyTheWindowsNameInstalledIsTaken)
{
    InstallTool(UploaderHandoff::kToolNameExe);
    EXPECT_EQ(UploaderHandoff::GetUploaderPath(), programFiles + QStringLiteral("/Talvora/VembloFlickrUploader.exe"));
    AddItems({QStringLiteral("a.jpg")});
    libtest::SelectOnly(list.view, {0});
    Upload();
    EXPECT_TRUE(boxes.Texts().isEmpty());
    EXPECT_TRUE(WaitFor([&] { return QFile::exists(started); }));
}

TEST_F(UploaderTest, EveryCommandRewritesTheWholeFileAndNothingSelectedTouchesNothing)
{
    testenv::WriteFile(handoff, "<?xml version=\"1.0\"?><Talvora><Photo number=\"0\">/old</Photo>"
                                "<Photo number=\"1\">/older</Photo></Talvora>");
    AddItems({QStringLiteral("a.jpg"), QStringLiteral("b.jpg")});
    list.view.clearSelection();
    Upload();
    EXPECT_EQ(boxes.Texts(), QStringList{QStringLiteral("No items were selected!!")});
    EXPECT_TRUE(Read(handoff).contains("/older"));

    libtest::SelectOnly(list.view, {1});
    Upload();
    QString error;
    const auto photos = ParsePhotos(Read(handoff), &error);
    ASSERT_EQ(photos.size(), 1u) << error.toStdString();
    EXPECT_EQ(photos[0].second, photoFolder + QStringLiteral("b.jpg"));
}

TEST_F(UploaderTest, OddNamesReachTheFileUnchangedAndEscaped)
{
    InstallTool();
    const QStringList names = {QStringLiteral("a&b <c> \"d\" 'e'.jpg"), QStringLiteral("$(rm -rf x).jpg"),
                               QStringLiteral("-leading.jpg"), QStringLiteral("Grüße 写真.jpg"),
                               QStringLiteral("new\nline.jpg")};
    AddItems(names);
    libtest::SelectOnly(list.view, {0, 1, 2, 3, 4});
    Upload();
    const QByteArray xml = Read(handoff);
    EXPECT_TRUE(xml.contains("a&amp;b &lt;c>") || xml.contains("a&amp;b &lt;c&gt;")) << xml.constData();
    QString error;
    const auto photos = ParsePhotos(xml, &error);
    EXPECT_TRUE(error.isEmpty()) << error.toStdString();
    ASSERT_EQ(photos.size(), 5u);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(photos[static_cast<size_t>(i)].second, photoFolder + names[i]);
}

TEST_F(UploaderTest, ReadOnlyFolderGivesAClearMessageAndKeepsTheOldFile)
{
    InstallTool();
    testenv::WriteFile(handoff, "previous hand-off");
    AddItems({QStringLiteral("a.jpg")});
    libtest::SelectOnly(list.view, {0});
    QFile::setPermissions(base, QFile::ReadOwner | QFile::ExeOwner);
    {
        libtest::PermissionsEnforced enforced;
        Upload();
    }
    QFile::setPermissions(base, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    ASSERT_EQ(boxes.Texts().size(), 1);
    EXPECT_TRUE(boxes.Texts()[0].startsWith(QStringLiteral("Could not write the upload list ") + handoff))
        << boxes.Texts()[0].toStdString();
    EXPECT_EQ(Read(handoff), QByteArray("previous hand-off"));
    EXPECT_EQ(QDir(base).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("Talvora.xml")})
        << "no half-written copy is left";
}

} // namespace
