// Finding captures whose writer died and repairing them off the caller's
// thread; the disk-space watch that stops a recording before the disk is full.
#include "library/disk_space_watch.h"
#include "library/interrupted_recordings.h"
#include "platform/media/recording_marker.h"
#include "platform/media/recording_status.h"
#include "tests/library/library_fixtures.h"
#include "tests/support/test_environment.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QThread>
#include <gtest/gtest.h>

using library::DiskSpaceWatch;
using library::InterruptedRecordings;

namespace {

// A marker as a writer in another (dead) process left it.
void ForeignMarker(const QString &file)
{
    QFile f(media::RecordingMarkerPath(file));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("1 some-earlier-boot\n");
}

void Write(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray Read(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool Wait(const std::function<bool()> &done, int ms)
{
    const QDeadlineTimer deadline(ms);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

} // namespace

TEST(InterruptedRecordings, FindsOnlyForeignMarkersAndRepairsOrLeavesTheirFiles)
{
    const QString video = testenv::MakeTempFolder() + QLatin1Char('/');
    const QString audio = testenv::MakeTempFolder() + QLatin1Char('/');
    const QString good = video + QStringLiteral("20260101-090000.wmv");
    const QString garbage = audio + QStringLiteral("20260101-090001.wma");
    const QString gone = video + QStringLiteral("20260101-090002.wmv");
    const QString mine = video + QStringLiteral("20260101-090003.wmv");
    const QString unmarked = video + QStringLiteral("20260101-090004.wmv");
    ASSERT_TRUE(libtest::MakeWmv(good));
    ASSERT_TRUE(libtest::MakeWmv(unmarked));
    Write(garbage, QByteArray(40000, 'g'));
    Write(mine, QByteArray(100, 'm'));
    ForeignMarker(good);
    ForeignMarker(garbage);
    ForeignMarker(gone);
    ASSERT_TRUE(media::WriteRecordingMarker(mine)); // the file this process writes now
    media::RecordingStarted(mine);

    QStringList found = InterruptedRecordings::FindMarked({video, audio, video + QStringLiteral("missing/")});
    found.sort();
    QStringList expected{good, gone, garbage};
    expected.sort(); // the two folders' random names decide the order
    EXPECT_EQ(found, expected);

    const QByteArray garbageBytes = Read(garbage);
    const QByteArray unmarkedBytes = Read(unmarked);
    EXPECT_EQ(InterruptedRecordings::RepairMarked({video, audio}), 1);
    EXPECT_TRUE(QFileInfo(good).size() > 0);
    EXPECT_EQ(Read(garbage), garbageBytes);
    EXPECT_EQ(Read(unmarked), unmarkedBytes);
    for (const QString &f : {good, garbage, gone})
        EXPECT_FALSE(QFileInfo::exists(media::RecordingMarkerPath(f))) << f.toStdString();
    EXPECT_TRUE(QFileInfo::exists(media::RecordingMarkerPath(mine)));
    EXPECT_EQ(Read(mine), QByteArray(100, 'm'));
    EXPECT_TRUE(InterruptedRecordings::FindMarked({video, audio}).isEmpty());

    // Once its writer has ended without finishing it, this process's own file needs a look too.
    media::RecordingEnded(mine);
    EXPECT_EQ(InterruptedRecordings::FindMarked({video}), QStringList({mine}));
}

TEST(InterruptedRecordings, RepairsOnItsOwnThreadAndReportsOnTheCallersThread)
{
    const QString folder = testenv::MakeTempFolder() + QLatin1Char('/');
    const QString file = folder + QStringLiteral("20260101-090010.wmv");
    ASSERT_TRUE(libtest::MakeWmv(file));
    ForeignMarker(file);
    InterruptedRecordings repairs;
    QThread *doneOn = nullptr;
    int repaired = -1;
    QObject::connect(&repairs, &InterruptedRecordings::Done, [&](int n) {
        doneOn = QThread::currentThread();
        repaired = n;
    });
    repairs.RepairInBackground({folder});
    repairs.RepairInBackground({folder}); // while busy: joins the pass, no second thread
    ASSERT_TRUE(Wait([&] { return repaired >= 0; }, 60000));
    EXPECT_EQ(doneOn, QThread::currentThread());
    EXPECT_EQ(repaired, 1);
    EXPECT_FALSE(repairs.Busy());
    EXPECT_FALSE(QFileInfo::exists(media::RecordingMarkerPath(file)));

    // A pass with nothing marked still ends with Done.
    repaired = -1;
    repairs.RepairInBackground({folder});
    ASSERT_TRUE(Wait([&] { return repaired >= 0; }, 20000));
    EXPECT_EQ(repaired, 0);
}

TEST(DiskSpaceWatch, FloorIsTwoHundredMegabytesOrAMinuteOfTheBitRate)
{
    EXPECT_EQ(DiskSpaceWatch::Floor(764000), 200000000);
    EXPECT_EQ(DiskSpaceWatch::Floor(0), 200000000);
    EXPECT_EQ(DiskSpaceWatch::Floor(80000000), 600000000); // 10 MB/s for 60 s
    DiskSpaceWatch watch;
    qint64 free = 200000000;
    watch.SetFreeBytes([&free](const QString &) { return free; });
    EXPECT_TRUE(watch.EnoughSpace(QStringLiteral("/x"), 764000));
    free = 199999999;
    EXPECT_FALSE(watch.EnoughSpace(QStringLiteral("/x"), 764000));
    free = -1; // unknown: the recording is not refused on a guess
    EXPECT_TRUE(watch.EnoughSpace(QStringLiteral("/x"), 764000));
    DiskSpaceWatch real;
    EXPECT_TRUE(real.EnoughSpace(QStringLiteral("/no/such/folder"), 764000));
}

TEST(DiskSpaceWatch, AsksToStopOnceWhenSpaceRunsOutOrAWriteFails)
{
    for (const bool failWrite : {false, true}) {
        DiskSpaceWatch watch;
        qint64 free = 1000000000;
        bool failed = false;
        watch.SetFreeBytes([&free](const QString &) { return free; });
        watch.SetWriteFailed([&failed] { return failed; });
        watch.SetPeriodMs(20);
        QSignalSpy spy(&watch, &DiskSpaceWatch::StopNeeded);
        watch.Start(QStringLiteral("/x"), 764000);
        Wait([] { return false; }, 200);
        EXPECT_EQ(spy.count(), 0);
        if (failWrite)
            failed = true;
        else
            free = 1000;
        ASSERT_TRUE(Wait([&] { return spy.count() > 0; }, 5000));
        Wait([] { return false; }, 200);
        ASSERT_EQ(spy.count(), 1);
        EXPECT_EQ(spy.at(0).at(0).value<DiskSpaceWatch::Reason>(),
            failWrite ? DiskSpaceWatch::WriteFailed : DiskSpaceWatch::DiskFull);
        EXPECT_FALSE(watch.Watching());
    }
    DiskSpaceWatch stopped;
    stopped.SetFreeBytes([](const QString &) { return qint64(0); });
    QSignalSpy spy(&stopped, &DiskSpaceWatch::StopNeeded);
    stopped.Start(QStringLiteral("/x"), 0);
    stopped.Stop();
    stopped.Check();
    EXPECT_EQ(spy.count(), 0);
}
