#pragma once
// Every test binary runs in a private home: its own documents, settings,
// caches and runtime folder, so nothing touches the developer's files.
#include <QString>
#include <functional>

namespace testenv {

// The private home of this test process (set up by the test main).
QString Home();
// A fresh empty folder under the private home.
QString MakeTempFolder(const QString &hint = QStringLiteral("t"));
// Writes bytes to path, creating parent folders.
bool WriteFile(const QString &path, const QByteArray &bytes);

// How many times slower than a plain build this run may go: a sanitizer
// build runs several times slower (TALVORA_TEST_TIME_FACTOR, which
// tools/sanitize.sh sets); 1 otherwise.
double TimeFactor();
// A tolerance on a measured time (a recording's length, a stop's delay), in
// seconds, widened by the time factor.
double Slack(double seconds);

// Runs the event loop (timers, graph notices, painting) until done() holds
// or ms (times the time factor) have passed; whether it holds.
bool PumpUntil(const std::function<bool()> &done, int ms);
// Runs the event loop for exactly ms milliseconds (a fixed stretch, such as
// a recording's length; never widened).
void PumpFor(int ms);

} // namespace testenv
