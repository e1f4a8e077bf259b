// Session notifications and power broadcasts from logind's mock on a private
// system bus: which logind changes become which event codes, the delay
// inhibitor's life around a suspend, and a bus that is missing or silent.
#include "tests/support/test_environment.h"
#include "platform/session/session_events.h"
#include "platform/session/session_notifier.h"
#include "tests/support/mock_logind.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <gtest/gtest.h>
#include <functional>
#include <vector>

using namespace session;

namespace {

bool WaitUntil(const std::function<bool()> &done, int ms = 5000) { return testenv::PumpUntil(done, ms); }

void Pump(int ms) { testenv::PumpFor(ms); }

struct Event {
    char kind; // 's' session change, 'p' power broadcast
    unsigned code;
    bool operator==(const Event &o) const { return kind == o.kind && code == o.code; }
};

std::ostream &operator<<(std::ostream &os, const Event &e) { return os << e.kind << e.code; }

class SessionNotifierTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!logind.Ready())
            GTEST_SKIP() << logind.Error().toStdString();
    }

    Handlers Record()
    {
        return {[this](unsigned e, unsigned) { events.push_back({'s', e}); return long(e); },
                [this](unsigned e, long) { events.push_back({'p', e}); return 0L; }};
    }

    // Registered, with the session found and the first inhibitor held.
    void RegisterAndSettle()
    {
        notifier.Register(Record());
        ASSERT_TRUE(WaitUntil([&] { return !notifier.SessionPath().isEmpty() && notifier.HoldsInhibitor(); }));
        Pump(200); // the session's properties arrive as the base, not as events
    }

    testenv::MockLogind logind;
    SessionNotifier notifier;
    std::vector<Event> events;
};

TEST_F(SessionNotifierTest, SessionChangesBecomeOneEventEach)
{
    RegisterAndSettle();
    EXPECT_EQ(notifier.SessionPath(), testenv::MockLogind::SessionPath());
    EXPECT_TRUE(events.empty());

    // The Lock request and the locker's LockedHint are one lock.
    ASSERT_TRUE(logind.Lock());
    ASSERT_TRUE(logind.SetLockedHint(true));
    ASSERT_TRUE(logind.SetLockedHint(false));
    ASSERT_TRUE(logind.Unlock());
    // A repeated Active value is no change.
    ASSERT_TRUE(logind.SetActive(false));
    ASSERT_TRUE(logind.SetActive(false));
    // Who took the seat is asked of logind before a disconnect is told.
    WaitUntil([&] { return events.size() >= 3; });
    ASSERT_TRUE(logind.SetActive(true));
    WaitUntil([&] { return events.size() >= 4; });
    Pump(300);
    const std::vector<Event> expected = {{'s', WTS_SESSION_LOCK}, {'s', WTS_SESSION_UNLOCK},
                                         {'s', WTS_CONSOLE_DISCONNECT}, {'s', WTS_CONSOLE_CONNECT}};
    EXPECT_EQ(events, expected);
}

TEST_F(SessionNotifierTest, AGreeterIsALockAndOnlyAnotherUsersSessionIsADisconnect)
{
    ASSERT_TRUE(logind.AddOtherSession(QStringLiteral("greeter"), QStringLiteral("greeter")));
    ASSERT_TRUE(logind.AddOtherSession(QStringLiteral("c2"), QStringLiteral("user")));
    RegisterAndSettle();
    auto switchAndWait = [&](const char *id, size_t count) {
        EXPECT_TRUE(logind.SwitchTo(QLatin1String(id)));
        EXPECT_TRUE(WaitUntil([&] { return events.size() >= count; })) << id;
    };
    switchAndWait("greeter", 1);
    switchAndWait("c1", 2);
    // A text console with nobody logged in takes the seat from no one.
    ASSERT_TRUE(logind.SwitchTo(QString()));
    Pump(400);
    switchAndWait("c1", 2);
    Pump(300);
    // Someone logs in at the greeter: now it is another user's seat.
    switchAndWait("greeter", 3);
    switchAndWait("c2", 4);
    switchAndWait("c1", 6);
    Pump(300);
    const std::vector<Event> expected = {{'s', WTS_SESSION_LOCK}, {'s', WTS_SESSION_UNLOCK},
                                         {'s', WTS_SESSION_LOCK}, {'s', WTS_CONSOLE_DISCONNECT},
                                         {'s', WTS_CONSOLE_CONNECT}, {'s', WTS_SESSION_UNLOCK}};
    EXPECT_EQ(events, expected);
}

TEST_F(SessionNotifierTest, OtherSessionsAreNotFollowed)
{
    ASSERT_TRUE(logind.AddSession(QStringLiteral("c2"), true));
    RegisterAndSettle();
    ASSERT_TRUE(logind.SetActive(false, QStringLiteral("c2")));
    Pump(400);
    EXPECT_TRUE(events.empty());

    // The desktop's session id wins over the process's lookup.
    notifier.Unregister();
    qputenv("XDG_SESSION_ID", "c2");
    notifier.Register(Record());
    WaitUntil([&] { return !notifier.SessionPath().isEmpty(); });
    qunsetenv("XDG_SESSION_ID");
    EXPECT_EQ(notifier.SessionPath(), testenv::MockLogind::SessionPath(QStringLiteral("c2")));
    Pump(200);
    ASSERT_TRUE(logind.SetActive(true, QStringLiteral("c2")));
    EXPECT_TRUE(WaitUntil([&] { return !events.empty(); }));
    EXPECT_EQ(events.front(), (Event{'s', WTS_CONSOLE_CONNECT}));
}

TEST_F(SessionNotifierTest, DelayInhibitorIsHeldUntilTheSuspendHandlerReturns)
{
    int heldDuringSuspend = -1;
    notifier.Register({[](unsigned, unsigned) { return 0L; },
                       [&](unsigned e, long) {
                           events.push_back({'p', e});
                           if (e == PBT_APMSUSPEND)
                               heldDuringSuspend = static_cast<int>(logind.Inhibitors().size());
                           return 0L;
                       }});
    ASSERT_TRUE(WaitUntil([&] { return logind.Inhibitors().size() == 1; }));
    const testenv::Inhibitor taken = logind.Inhibitors().front();
    EXPECT_EQ(taken.what, QStringLiteral("sleep"));
    EXPECT_EQ(taken.who, QStringLiteral("Talvora"));
    EXPECT_EQ(taken.why, QStringLiteral("Finishing the recording"));
    EXPECT_EQ(taken.mode, QStringLiteral("delay"));

    ASSERT_TRUE(logind.EmitPrepareForSleep(true));
    ASSERT_TRUE(WaitUntil([&] { return logind.Inhibitors().isEmpty(); }));
    EXPECT_EQ(heldDuringSuspend, 1);

    // A repeated start is no second suspend; the resume takes a new inhibitor.
    ASSERT_TRUE(logind.EmitPrepareForSleep(true));
    ASSERT_TRUE(logind.EmitPrepareForSleep(false));
    ASSERT_TRUE(WaitUntil([&] { return logind.Inhibitors().size() == 1; }));
    // A resume without a suspend is ignored, and takes no second inhibitor.
    ASSERT_TRUE(logind.EmitPrepareForSleep(false));
    Pump(400);
    EXPECT_EQ(logind.Inhibitors().size(), 1);
    EXPECT_EQ(logind.CallCount(QStringLiteral("Inhibit")), 2);
    const std::vector<Event> expected = {{'p', PBT_APMSUSPEND}, {'p', PBT_APMRESUMEAUTOMATIC},
                                         {'p', PBT_APMRESUMESUSPEND}};
    EXPECT_EQ(events, expected);

    notifier.Unregister();
    EXPECT_TRUE(WaitUntil([&] { return logind.Inhibitors().isEmpty(); }));
    ASSERT_TRUE(logind.EmitPrepareForSleep(true));
    Pump(300);
    EXPECT_EQ(events.size(), expected.size());
}

// Without the bus, without logind, or with a logind that never answers:
// nothing happens and nothing waits.
TEST(SessionNotifierWithoutLogind, StaysSilentAndNeverWaits)
{
    {
        SessionNotifier notifier;
        int calls = 0;
        notifier.Register({[&](unsigned, unsigned) { return long(++calls); }, [&](unsigned, long) { return long(++calls); }});
        EXPECT_FALSE(notifier.Connected());
        notifier.Unregister();
        EXPECT_EQ(calls, 0);
    }
    {
        testenv::MockLogind busOnly(testenv::MockLogind::Start::BusOnly);
        if (!busOnly.Ready())
            GTEST_SKIP() << busOnly.Error().toStdString();
        SessionNotifier notifier;
        notifier.Register({});
        EXPECT_TRUE(notifier.Connected());
        Pump(500);
        EXPECT_FALSE(notifier.HoldsInhibitor());
        EXPECT_TRUE(notifier.SessionPath().isEmpty());
    }
    testenv::MockLogind frozen;
    if (!frozen.Ready())
        GTEST_SKIP() << frozen.Error().toStdString();
    frozen.Freeze(true);
    SessionNotifier notifier;
    int calls = 0;
    notifier.Register({[&](unsigned, unsigned) { return long(++calls); }, [&](unsigned, long) { return long(++calls); }});
    EXPECT_TRUE(notifier.Connected());
    Pump(300);
    notifier.Unregister();
    // Answers that come after leaving are dropped with their calls.
    frozen.Freeze(false);
    ASSERT_TRUE(frozen.EmitPrepareForSleep(true));
    Pump(500);
    EXPECT_FALSE(notifier.HoldsInhibitor());
    EXPECT_TRUE(notifier.SessionPath().isEmpty());
    EXPECT_EQ(calls, 0);
    EXPECT_TRUE(WaitUntil([&] { return frozen.Inhibitors().isEmpty(); }));
}

} // namespace
