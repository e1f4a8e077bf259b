#include "platform/diag/diagnostics.h"
#include "platform/ui/message_box.h"

#include <gtest/gtest.h>
#include <thread>

TEST(Diagnostics, CaptureSeesTextsFromAnyThreadAndNests)
{
    diag::CaptureScope outer;
    diag::OutputDebugString(QStringLiteral("one"));
    {
        diag::CaptureScope inner;
        std::thread worker([] { diag::OutputDebugString(diag::Format("QueryInterface: %x", 0x80004002u)); });
        worker.join();
        EXPECT_EQ(inner.Lines(), QStringList{QStringLiteral("QueryInterface: 80004002")});
    }
    diag::OutputDebugString(QStringLiteral("two"));
    EXPECT_EQ(outer.Lines(), (QStringList{QStringLiteral("one"), QStringLiteral("two")}));
}

TEST(MessageBox, RecordingPresenterKeepsExactTextsAndTitle)
{
    ui::RecordingPresenter box;
    ui::InformationBox(nullptr, QStringLiteral("Can not load facedetect.dll and tracing function will be disabled "));
    ASSERT_EQ(box.Texts().size(), 1);
    EXPECT_TRUE(box.Texts().front().endsWith(' '));
    EXPECT_EQ(box.LastTitle(), QStringLiteral("Talvora"));
}

TEST(MessageBox, OffTheGuiThreadTheTextGoesToDiagnosticsInsteadOfABox)
{
    diag::CaptureScope capture;
    std::thread worker([] { ui::InformationBox(nullptr, QStringLiteral("from a worker")); });
    worker.join();
    EXPECT_TRUE(capture.Contains(QStringLiteral("message box: from a worker")));
}
