// The mail hand-off against a mocked desktop portal on a private bus and a
// stand-in xdg-email: what reaches them, and how their answers are read.
#include "platform/mail/mail_composer.h"
#include "tests/support/mail_doubles.h"
#include "tests/support/test_environment.h"

#include <QJsonArray>
#include <QTimer>
#include <gtest/gtest.h>
#include <optional>

using mail::MailOutcome;
using maildoubles::FakeXdgEmail;
using maildoubles::PrivateBus;
using maildoubles::WaitFor;

namespace {

// Files whose names a shell or an option parser would mangle.
QStringList MakeOddFiles()
{
    const QString folder = testenv::MakeTempFolder(QStringLiteral("Photo")) + QLatin1Char('/');
    const QStringList names = {QStringLiteral("a b 'q' \"d\".jpg"), QStringLiteral("$(touch x)`id`.jpg"),
                               QStringLiteral("-n --attach.jpg"), QStringLiteral("Grüße 写真.jpg"),
                               QStringLiteral("line\nbreak.jpg")};
    QStringList paths;
    for (const QString &name : names) {
        paths.append(folder + name);
        testenv::WriteFile(paths.last(), QByteArray("jpeg ") + name.toUtf8());
    }
    return paths;
}

class MailComposerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(bus.Ok()) << "private session bus did not start";
        composer.SetBus(bus.Bus());
        composer.SetTimeout(20000);
    }
    std::optional<MailOutcome> Compose(const QStringList &paths)
    {
        std::optional<MailOutcome> outcome;
        int calls = 0;
        composer.Compose(paths, [&](MailOutcome o) {
            outcome = o;
            ++calls;
        });
        WaitFor([&] { return outcome.has_value(); }, 30000);
        // A second answer would show a second message.
        WaitFor([] { return false; }, 300);
        EXPECT_LE(calls, 1);
        return outcome;
    }
    static QStringList Paths(const QJsonObject &call)
    {
        QStringList out;
        for (const QJsonValue &v : call.value(QStringLiteral("paths")).toArray())
            out.append(v.toString());
        return out;
    }

    PrivateBus bus;
    mail::MailComposer composer;
};

TEST_F(MailComposerTest, PortalGetsEveryFileInOrderWithEmptySubjectAndNoAddresses)
{
    ASSERT_TRUE(bus.StartPortal(0));
    FakeXdgEmail xdg(true);
    const QStringList files = MakeOddFiles();
    EXPECT_EQ(Compose(files), MailOutcome::Success);

    const auto calls = bus.Calls();
    ASSERT_EQ(calls.size(), 1);
    EXPECT_EQ(Paths(calls[0]), files) << "the descriptors name the files, unchanged and in order";
    EXPECT_EQ(calls[0].value(QStringLiteral("subject")).toString(QStringLiteral("<none>")), QString());
    const QJsonArray keys = calls[0].value(QStringLiteral("keys")).toArray();
    for (const char *key : {"address", "addresses", "cc", "bcc", "body"})
        EXPECT_FALSE(keys.contains(QLatin1String(key))) << key;
    EXPECT_FALSE(xdg.Called()) << "the fallback is not used when the portal answers";
}

TEST_F(MailComposerTest, PortalAnswersMapToAbortAndFailure)
{
    const QStringList files = MakeOddFiles().mid(0, 1);
    for (const auto &[code, expected] : {std::pair{1, MailOutcome::UserAbort}, std::pair{2, MailOutcome::Failure}}) {
        ASSERT_TRUE(bus.StartPortal(code));
        EXPECT_EQ(Compose(files), expected) << "portal answer " << code;
        bus.StopPortal();
        WaitFor([&] { return !bus.Bus().interface()->isServiceRegistered(QStringLiteral("org.freedesktop.portal.Desktop")); });
    }
}

TEST_F(MailComposerTest, WithoutPortalXdgEmailGetsAnArgumentListAndItsExitCodeCounts)
{
    const QStringList files = MakeOddFiles();
    QStringList expected = {QStringLiteral("--subject"), QString()};
    for (const QString &f : files)
        expected << QStringLiteral("--attach") << f;
    {
        FakeXdgEmail xdg(true, 0);
        EXPECT_EQ(Compose(files), MailOutcome::Success);
        EXPECT_EQ(xdg.Argv(), expected) << "no shell saw the names";
        EXPECT_FALSE(QFile::exists(QDir::currentPath() + QStringLiteral("/x")));
    }
    {
        FakeXdgEmail xdg(true, 3);
        EXPECT_EQ(Compose(files), MailOutcome::Failure);
        EXPECT_TRUE(xdg.Called());
    }
}

TEST_F(MailComposerTest, MissingHandOffsAreToldApart)
{
    const QStringList files = MakeOddFiles().mid(0, 2);
    {
        FakeXdgEmail none(false);
        EXPECT_EQ(Compose(files), MailOutcome::NoHandOff) << "no portal, no xdg-email";
    }
    ASSERT_TRUE(bus.StartPortal(0, /*withEmail=*/false));
    {
        FakeXdgEmail none(false);
        EXPECT_EQ(Compose(files), MailOutcome::NoEmailInterface) << "portal without Email, no xdg-email";
    }
    FakeXdgEmail xdg(true);
    EXPECT_EQ(Compose(files), MailOutcome::Success) << "portal without Email falls back to xdg-email";
    EXPECT_TRUE(xdg.Called());
}

TEST_F(MailComposerTest, FileGoneBeforeTheCommandIsAFailureAndNothingIsSent)
{
    ASSERT_TRUE(bus.StartPortal(0));
    FakeXdgEmail xdg(true);
    QStringList files = MakeOddFiles().mid(0, 2);
    QFile::remove(files[1]);
    EXPECT_EQ(Compose(files), MailOutcome::Failure);
    EXPECT_TRUE(bus.Calls().isEmpty());
    EXPECT_FALSE(xdg.Called());
}

TEST_F(MailComposerTest, HungPortalIsBoundedAndTheLoopKeepsRunning)
{
    ASSERT_TRUE(bus.StartPortal(-1));
    composer.SetTimeout(1500);
    int ticks = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] { ++ticks; });
    tick.start(50);
    EXPECT_EQ(Compose(MakeOddFiles().mid(0, 1)), MailOutcome::Failure);
    EXPECT_GT(ticks, 5) << "events were handled while the portal said nothing";

    // A request still waiting dies with its composer, without an answer.
    bool answered = false;
    {
        mail::MailComposer shortLived;
        shortLived.SetBus(bus.Bus());
        shortLived.Compose(MakeOddFiles().mid(0, 1), [&](MailOutcome) { answered = true; });
        WaitFor([] { return false; }, 300);
    }
    WaitFor([] { return false; }, 500);
    EXPECT_FALSE(answered);
}

} // namespace
