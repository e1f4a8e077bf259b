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

// Runs the event loop (timers, graph notices, painting) until done() holds
// or ms have passed; whether it holds.
bool PumpUntil(const std::function<bool()> &done, int ms);
// Runs the event loop for ms milliseconds.
void PumpFor(int ms);

} // namespace testenv
