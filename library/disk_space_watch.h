#pragma once
// Keeps a recording from running the capture folder's disk full: checked
// before the start and every few seconds while it runs. Below the floor, or
// when the writer reports a failed write, `StopNeeded` fires once, so the
// recording can be stopped while there is still room to finish its file.
#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>

namespace library {

class DiskSpaceWatch : public QObject {
    Q_OBJECT
public:
    enum Reason { DiskFull, WriteFailed };
    Q_ENUM(Reason)
    // Free bytes of the volume holding a folder (-1 when unknown).
    using FreeBytes = std::function<qint64(const QString &folder)>;
    using Failed = std::function<bool()>;

    explicit DiskSpaceWatch(QObject *parent = nullptr);

    // About 200 MB, or one minute of the recording's bit rate when that is more.
    static qint64 Floor(qint64 bitsPerSecond);
    // Room to start (or go on) recording at that bit rate. Unknown counts as room.
    bool EnoughSpace(const QString &folder, qint64 bitsPerSecond) const;

    void Start(const QString &folder, qint64 bitsPerSecond);
    void Stop();
    bool Watching() const { return timer_.isActive(); }
    // One check now (the timer calls this).
    void Check();

    // Tests: other sources of free space and of write failure, another period.
    void SetFreeBytes(FreeBytes f) { freeBytes_ = std::move(f); }
    void SetWriteFailed(Failed f) { writeFailed_ = std::move(f); }
    void SetPeriodMs(int ms) { timer_.setInterval(ms); }

Q_SIGNALS:
    void StopNeeded(library::DiskSpaceWatch::Reason reason);

private:
    QTimer timer_;
    QString folder_;
    qint64 bitsPerSecond_ = 0;
    FreeBytes freeBytes_;
    Failed writeFailed_;
};

} // namespace library
