#include "audio/mic_array_status.h"
#include "tests/dialog/dialog_fixture.h"
#include "tracking/face_detect.h"

namespace {

struct ProgramFiles {
    explicit ProgramFiles(const char *variant) : saved(qgetenv("TALVORA_PROGRAM_FILES"))
    {
        qputenv("TALVORA_PROGRAM_FILES", QByteArray(TALVORA_FIXTURE_ROOT "/") + variant);
    }
    ~ProgramFiles() { qputenv("TALVORA_PROGRAM_FILES", saved); }
    QByteArray saved;
};

} // namespace

TEST_F(DialogTest, WithoutTheMicArrayLibraryTheThreeTextsAppearInOrder)
{
    ProgramFiles scope("none");
    Open();
    const QStringList lines = debug.Lines();
    const int load = static_cast<int>(lines.indexOf(QStringLiteral("[ReDizeVud] LoadLibrary fail!.")));
    const int lib = static_cast<int>(lines.indexOf(QStringLiteral("Load MicArray lib fail")));
    const int get = static_cast<int>(lines.indexOf(QStringLiteral("Can not get MicArray")));
    ASSERT_GE(load, 0);
    EXPECT_LT(load, lib);
    EXPECT_LT(lib, get);
    EXPECT_FALSE(dialog->MicArrayPresent());
}

TEST_F(DialogTest, MicArrayStatusIsTheLowByteOfTheExport)
{
    {
        ProgramFiles scope("on"); // returns 0x101
        Open();
        EXPECT_TRUE(dialog->MicArrayPresent());
        EXPECT_FALSE(debug.Contains(QStringLiteral("Can not get MicArray")));
        EXPECT_FALSE(debug.Contains(QStringLiteral("Load MicArray lib fail")));
        dialog.reset();
    }
    debug.Clear();
    {
        ProgramFiles scope("off"); // returns 0x100: low byte 0
        Open();
        EXPECT_FALSE(dialog->MicArrayPresent());
        EXPECT_TRUE(debug.Contains(QStringLiteral("Can not get MicArray")));
        EXPECT_FALSE(debug.Contains(QStringLiteral("Load MicArray lib fail")));
    }
}

TEST(MicArrayStatus, MissingExportKeepsTheLibraryLoadedAndSaysWhy)
{
    ProgramFiles scope("noexport");
    diag::CaptureScope debug;
    std::shared_ptr<void> module;
    bool status = false;
    EXPECT_FALSE(LoadMicArrayStatus(module, status));
    EXPECT_NE(module, nullptr);
    EXPECT_FALSE(status);
    EXPECT_TRUE(debug.Contains(QStringLiteral("[ReDizeVud] GetProcAddress fail!. 127")));
}

TEST(FaceDetectBinding, LibraryWithoutTheExportsBindsIncompleteAndSilently)
{
    ProgramFiles scope("noexport");
    ui::RecordingPresenter boxes;
    CFaceDetect detector;
    EXPECT_TRUE(detector.Bind(nullptr));
    EXPECT_NE(detector.module, nullptr);
    EXPECT_FALSE(detector.IsComplete());
    EXPECT_TRUE(boxes.Texts().isEmpty());
}

TEST(FaceDetectBinding, MissingLibraryShowsTheMessageWithItsTrailingBlank)
{
    ProgramFiles scope("none");
    ui::RecordingPresenter boxes;
    CFaceDetect detector;
    EXPECT_FALSE(detector.Bind(nullptr));
    EXPECT_FALSE(detector.IsComplete());
    EXPECT_EQ(boxes.Texts(),
              QStringList{QStringLiteral("Can not load facedetect.dll and tracing function will be disabled ")});
}
