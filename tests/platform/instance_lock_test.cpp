#include "platform/process/instance_lock.h"

#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

using process::InstanceLock;

TEST(InstanceLock, SecondHolderIsRefusedUntilTheFirstIsGone)
{
    auto first = InstanceLock::TryAcquire();
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->Path().endsWith("/Talvora/Mutex"));

    // Another process (the real situation) cannot take it while we hold it.
    const pid_t child = fork();
    if (child == 0)
        _exit(InstanceLock::TryAcquire() ? 1 : 0);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "second process got the lock";

    first.reset();
    EXPECT_NE(InstanceLock::TryAcquire(), nullptr);
}

TEST(InstanceLock, LockFolderIsPrivate)
{
    auto lock = InstanceLock::TryAcquire();
    ASSERT_NE(lock, nullptr);
    const QFileInfo folder(QFileInfo(lock->Path()).absolutePath());
    EXPECT_EQ(folder.permissions() & (QFile::ReadGroup | QFile::ReadOther | QFile::WriteGroup | QFile::WriteOther),
              QFileDevice::Permissions());
}

TEST(InstanceLock, FallsBackWhenRuntimeFolderIsUnsetOrMissing)
{
    const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
    qunsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(InstanceLock::RuntimeFolder(), QStringLiteral("/tmp/talvora-%1").arg(geteuid()));
    auto unset = InstanceLock::TryAcquire(QStringLiteral("MutexTest%1").arg(getpid()));
    EXPECT_NE(unset, nullptr);
    qputenv("XDG_RUNTIME_DIR", "/nonexistent/runtime");
    EXPECT_EQ(InstanceLock::RuntimeFolder(), QStringLiteral("/tmp/talvora-%1").arg(geteuid()));
    qputenv("XDG_RUNTIME_DIR", saved);
    if (unset)
        QFile::remove(unset->Path());
}
