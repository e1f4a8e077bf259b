#include "platform/diag/diagnostics.h"

#include <atomic>
#include <cstdarg>

// Off unless asked for, as a debugger's channel is invisible to users:
// TALVORA_DEBUG=1, or QT_LOGGING_RULES="talvora.debug.debug=true" (a rule
// names the level after the category; the rules win over TALVORA_DEBUG).
// The capture hook below sees every text either way.
const QLoggingCategory &talvoraDebug()
{
    static const QLoggingCategory category("talvora.debug", diag::DefaultDiagnosticsLevel());
    return category;
}

namespace diag {

QtMsgType DefaultDiagnosticsLevel()
{
    const QByteArray wanted = qgetenv("TALVORA_DEBUG");
    return !wanted.isEmpty() && wanted != "0" ? QtDebugMsg : QtInfoMsg;
}

namespace {
std::mutex g_scopeMutex;
CaptureScope *g_scope = nullptr;
} // namespace

void OutputDebugString(const QString &text)
{
    {
        std::lock_guard lock(g_scopeMutex);
        if (g_scope) {
            std::lock_guard inner(g_scope->mutex_);
            g_scope->lines_.append(text);
        }
    }
    qCDebug(talvoraDebug).noquote() << text;
}

QString Format(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    QString text = QString::vasprintf(format, args);
    va_end(args);
    return text;
}

CaptureScope::CaptureScope()
{
    std::lock_guard lock(g_scopeMutex);
    previous_ = g_scope;
    g_scope = this;
}

CaptureScope::~CaptureScope()
{
    std::lock_guard lock(g_scopeMutex);
    g_scope = previous_;
}

QStringList CaptureScope::Lines() const
{
    std::lock_guard lock(mutex_);
    return lines_;
}

void CaptureScope::Clear()
{
    std::lock_guard lock(mutex_);
    lines_.clear();
}

} // namespace diag
