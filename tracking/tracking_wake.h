#pragma once
// Wakes the tracking loops out of their pauses: a stop does not wait for the
// rest of a 250 ms pause (sleep, user switch and mode changes stop the loops
// on the dialog's thread, within logind's delay budget). The dialog in turn
// waits for a loop's finished flag here rather than polling it.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

class TrackingWake {
public:
    // Sleeps up to `pause`; returns early once `run` has fallen.
    template <class Rep, class Period>
    void Pause(std::chrono::duration<Rep, Period> pause, const std::atomic<bool> &run)
    {
        std::unique_lock lock(mutex_);
        cond_.wait_for(lock, pause, [&] { return !run.load(); });
    }
    // Waits up to `limit` for `flag`; true when it is set.
    template <class Rep, class Period>
    bool WaitFor(std::chrono::duration<Rep, Period> limit, const std::atomic<bool> &flag)
    {
        std::unique_lock lock(mutex_);
        return cond_.wait_for(lock, limit, [&] { return flag.load(); });
    }
    // After changing a flag the waiters look at.
    void Notify()
    {
        { std::lock_guard lock(mutex_); }
        cond_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable cond_;
};
