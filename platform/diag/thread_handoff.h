#pragma once
// Hand-overs between threads through queues ThreadSanitizer cannot see into.
// Qt's event queue and GLib's thread pools and object data synchronise with
// futexes inside libraries built without it, so what one thread wrote before
// posting a call, or before GStreamer ran a callback on a pooled thread,
// looks unordered with what the receiving thread reads. The sender marks the
// object it hands over, the receiver marks taking it over; outside a TSan
// build both are nothing.
#if defined(__SANITIZE_THREAD__)
#include <sanitizer/tsan_interface.h>
#endif

namespace diag {

inline void HandOver([[maybe_unused]] const void *object)
{
#if defined(__SANITIZE_THREAD__)
    __tsan_release(const_cast<void *>(object));
#endif
}

inline void TakeOver([[maybe_unused]] const void *object)
{
#if defined(__SANITIZE_THREAD__)
    __tsan_acquire(const_cast<void *>(object));
#endif
}

} // namespace diag
