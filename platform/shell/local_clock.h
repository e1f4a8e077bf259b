#pragma once
// The local wall clock used for capture names. Tests pin it.
#include <QDateTime>
#include <optional>

namespace shell {

class LocalClock {
public:
    static QDateTime Now();
    // Pins Now() to a fixed time; std::nullopt returns to the real clock.
    static void SetFixed(std::optional<QDateTime> time);
};

// Pins the clock for the lifetime of the object.
class FixedClockScope {
public:
    explicit FixedClockScope(const QDateTime &time) { LocalClock::SetFixed(time); }
    ~FixedClockScope() { LocalClock::SetFixed(std::nullopt); }
    FixedClockScope(const FixedClockScope &) = delete;
    FixedClockScope &operator=(const FixedClockScope &) = delete;
};

} // namespace shell
