#include "platform/shell/local_clock.h"

#include <mutex>

namespace shell {
namespace {
std::mutex g_mutex;
std::optional<QDateTime> g_fixed;
} // namespace

QDateTime LocalClock::Now()
{
    std::lock_guard lock(g_mutex);
    return g_fixed ? *g_fixed : QDateTime::currentDateTime();
}

void LocalClock::SetFixed(std::optional<QDateTime> time)
{
    std::lock_guard lock(g_mutex);
    g_fixed = std::move(time);
}

} // namespace shell
