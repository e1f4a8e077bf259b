#pragma once
// The single-instance lock: an exclusive flock on "Mutex" in a private per-user
// runtime folder. The kernel releases it when the process ends, however it ends.
#include <QString>
#include <memory>

namespace process {

class InstanceLock {
public:
    // Takes the lock named `name`; null when another process holds it or the
    // lock file cannot be made.
    static std::unique_ptr<InstanceLock> TryAcquire(const QString &name = QStringLiteral("Mutex"));
    // $XDG_RUNTIME_DIR/Talvora, or a private folder under /tmp when unset.
    static QString RuntimeFolder();

    ~InstanceLock();
    InstanceLock(const InstanceLock &) = delete;
    InstanceLock &operator=(const InstanceLock &) = delete;

    QString Path() const { return path_; }

private:
    InstanceLock(int fd, QString path) : fd_(fd), path_(std::move(path)) {}
    int fd_;
    QString path_;
};

} // namespace process
