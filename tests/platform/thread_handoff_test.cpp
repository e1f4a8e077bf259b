// Hand-overs between threads as ThreadSanitizer must see them. In a TSan
// build a missed order is a report, and the test process fails with it
// (tools/sanitize.sh thread); in every build the hand-overs must still work.
#include "platform/diag/thread_handoff.h"
#include "tests/support/test_environment.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QProcess>
#include <QThread>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <numeric>
#include <thread>
#include <vector>

namespace {

// A call queued from a worker thread runs once on the GUI thread with the
// captures the worker made, and they are gone once it ran.
TEST(ThreadHandoff, AQueuedCallRunsOnceOnTheGuiThreadWithTheWorkersCaptures)
{
    auto alive = std::make_shared<int>(0);
    int runs = 0;
    int sum = 0;
    QThread *ranOn = nullptr;
    std::thread worker([&, alive] {
        std::vector<int> values(1000);
        std::iota(values.begin(), values.end(), 1);
        QMetaObject::invokeMethod(QCoreApplication::instance(),
            diag::QueuedCall([&, values = std::move(values), alive] {
                ++runs;
                sum = std::accumulate(values.begin(), values.end(), 0);
                ranOn = QThread::currentThread();
            }),
            Qt::QueuedConnection);
    });
    // Joined only after the call ran: the queue alone orders the two threads.
    const bool ran = testenv::PumpUntil([&] { return runs > 0; }, 2000);
    worker.join();
    ASSERT_TRUE(ran);
    testenv::PumpUntil([&] { return alive.use_count() == 1; }, 2000);
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(sum, 500500);
    EXPECT_EQ(ranOn, QCoreApplication::instance()->thread());
    EXPECT_EQ(alive.use_count(), 1) << "the call's captures were destroyed";
}

// A process started with QProcess runs and reports its exit; afterwards the
// order a mutex gives two threads is still seen (a TSan build once lost it
// after the first child: QProcess starts children in the parent's memory).
TEST(ThreadHandoff, AChildProcessLeavesTheLockOrderOfThisProcessIntact)
{
    for (int round = 0; round < 2; ++round) {
        QProcess child;
        child.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), QStringLiteral("echo started; exit 3")});
        ASSERT_TRUE(child.waitForFinished(int(5000 * testenv::TimeFactor())));
        EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(child.exitCode(), 3);
        EXPECT_EQ(child.readAllStandardOutput().trimmed(), QByteArray("started"));
    }

    std::mutex mutex;
    std::condition_variable changed;
    std::vector<int> handed; // written before the hand-over, read after it
    bool ready = false;
    handed.assign(64, 7);
    std::thread worker([&] {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return ready; });
        for (int &v : handed)
            v *= 2;
        ready = false;
        changed.notify_all();
    });
    {
        std::lock_guard lock(mutex);
        ready = true;
    }
    changed.notify_all();
    {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return !ready; });
    }
    worker.join();
    EXPECT_EQ(std::accumulate(handed.begin(), handed.end(), 0), 64 * 14);
}

} // namespace
