#pragma once
// The debugger output channel: fixed texts the user never sees. They go to the
// Qt logging category "talvora.debug" (stderr or the journal) when it is
// switched on, and to a capture scope (tests) always.
#include <QLoggingCategory>
#include <QString>
#include <QStringList>
#include <functional>
#include <mutex>

Q_DECLARE_LOGGING_CATEGORY(talvoraDebug)

namespace diag {

// The lowest level "talvora.debug" writes before any logging rule applies:
// QtDebugMsg (the channel on) when TALVORA_DEBUG is set and not "0", else
// QtInfoMsg (the channel off).
QtMsgType DefaultDiagnosticsLevel();

// Writes one text to the channel. Safe from any thread.
void OutputDebugString(const QString &text);

// printf-style helper for the texts with "%x" or "%d" codes.
QString Format(const char *format, ...) __attribute__((format(printf, 1, 2)));

// Collects every text written while it lives (tests). Nests: the innermost wins.
class CaptureScope {
public:
    CaptureScope();
    ~CaptureScope();
    CaptureScope(const CaptureScope &) = delete;
    CaptureScope &operator=(const CaptureScope &) = delete;

    QStringList Lines() const;
    bool Contains(const QString &text) const { return Lines().contains(text); }
    int Count(const QString &text) const { return static_cast<int>(Lines().count(text)); }
    void Clear();

private:
    friend void OutputDebugString(const QString &text);
    mutable std::mutex mutex_;
    QStringList lines_;
    CaptureScope *previous_;
};

} // namespace diag
