#pragma once
// Finds captures whose writer died before finishing them (their marker
// "NAME.recording" is still there and its file is not being written now) and
// repairs them in place, on a worker thread of its own so the dialog never
// waits for it. `Done` arrives on the owner's thread when a pass has ended,
// so the list can be refreshed to show the repaired files.
#include <QObject>
#include <QStringList>
#include <atomic>
#include <mutex>
#include <thread>

namespace library {

class InterruptedRecordings : public QObject {
    Q_OBJECT
public:
    explicit InterruptedRecordings(QObject *parent = nullptr);
    ~InterruptedRecordings() override; // waits for a repair under way (each is bounded)

    // The files of the markers in these folders that need a look.
    static QStringList FindMarked(const QStringList &folders);
    // Repairs every marked file of the folders; returns how many were repaired.
    // A file that cannot be repaired is left as it is; its marker goes, unless
    // the folder lacks the room a repair needs (then a later pass tries again).
    static int RepairMarked(const QStringList &folders);

    // Starts a pass over the folders on the worker thread, unless one is under
    // way (then the folders join the next pass). Cheap when nothing is marked.
    void RepairInBackground(const QStringList &folders);
    bool Busy() const { return busy_; }

Q_SIGNALS:
    // repaired: how many files of the pass were repaired.
    void Done(int repaired);

private:
    void Work();

    std::mutex mutex_;
    QStringList pending_;
    std::atomic<bool> busy_{false};
    std::thread worker_;
};

} // namespace library
