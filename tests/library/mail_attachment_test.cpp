// What the user sees for each end of a mail hand-off.
#include "library/mail_attachment.h"
#include "platform/ui/message_box.h"
#include "tests/support/mail_doubles.h"

#include <QWidget>
#include <gtest/gtest.h>
#include <optional>

using maildoubles::FakeXdgEmail;
using maildoubles::PrivateBus;
using maildoubles::WaitFor;

namespace {

class MailAttachmentTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(bus.Ok());
        attachment.Composer().SetBus(bus.Bus());
        file = testenv::MakeTempFolder(QStringLiteral("Video")) + QStringLiteral("/20240101-000001.wmv");
        testenv::WriteFile(file, "wmv");
    }
    std::optional<bool> Send(QWidget *owner = nullptr)
    {
        std::optional<bool> result;
        attachment.SendFilesByMail({file}, owner, [&](bool ok) { result = ok; });
        WaitFor([&] { return result.has_value(); }, 30000);
        WaitFor([] { return false; }, 300);
        return result;
    }

    PrivateBus bus;
    library::MailAttachment attachment;
    ui::RecordingPresenter boxes;
    QString file;
};

TEST_F(MailAttachmentTest, SuccessAndCancelShowNothingAFailureShowsAttachFailOnce)
{
    for (const auto &[code, ok, texts] : {std::tuple{0, true, QStringList()}, std::tuple{1, true, QStringList()},
                                          std::tuple{2, false, QStringList{QStringLiteral("attach fail")}}}) {
        boxes.Clear();
        ASSERT_TRUE(bus.StartPortal(code));
        EXPECT_EQ(Send(), ok) << "portal answer " << code;
        EXPECT_EQ(boxes.Texts(), texts) << "portal answer " << code;
        bus.StopPortal();
        WaitFor([&] { return !bus.Bus().interface()->isServiceRegistered(QStringLiteral("org.freedesktop.portal.Desktop")); });
    }
}

TEST_F(MailAttachmentTest, MissingHandOffsShowTheirTexts)
{
    FakeXdgEmail none(false);
    EXPECT_EQ(Send(), false);
    EXPECT_EQ(boxes.Texts(), QStringList{QStringLiteral("cant load dll")});
    boxes.Clear();
    ASSERT_TRUE(bus.StartPortal(0, false));
    EXPECT_EQ(Send(), false);
    EXPECT_EQ(boxes.Texts(), QStringList{QStringLiteral("Get dll address fail")});
    boxes.Clear();
    QFile::remove(file);
    EXPECT_EQ(Send(), false);
    EXPECT_EQ(boxes.Texts(), QStringList{QStringLiteral("attach fail")}) << "a vanished file is not sent";
}

TEST_F(MailAttachmentTest, AnAnswerAfterTheWindowIsGoneIsDropped)
{
    ASSERT_TRUE(bus.StartPortal(2));
    bool called = false;
    {
        QWidget owner;
        attachment.SendFilesByMail({file}, &owner, [&](bool) { called = true; });
    }
    WaitFor([] { return false; }, 1500);
    EXPECT_FALSE(called);
    EXPECT_TRUE(boxes.Texts().isEmpty());
}

} // namespace
