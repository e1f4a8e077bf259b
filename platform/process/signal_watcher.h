#pragma once
// Turns SIGTERM, SIGINT and SIGHUP into a Qt signal on the GUI thread, so a
// logout or Ctrl+C closes the program the orderly way (mode saved, files closed).
#include <QObject>

class QSocketNotifier;

namespace process {

class SignalWatcher : public QObject {
    Q_OBJECT
public:
    explicit SignalWatcher(QObject *parent = nullptr);
    ~SignalWatcher() override;

Q_SIGNALS:
    void TerminationRequested(int signalNumber);

private:
    void OnReadable();
    QSocketNotifier *notifier_ = nullptr;
};

} // namespace process
