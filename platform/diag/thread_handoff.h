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

#include <utility>

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

// A call queued to another thread's event loop (QMetaObject::invokeMethod
// with Qt::QueuedConnection), handed over as a whole: what the sender wrote
// before queuing it, the call's captures included, is ordered before the
// call runs and before it is destroyed on the receiving thread. One mark
// stands for every such queue, as one lock guards each thread's queue.
//
//   QMetaObject::invokeMethod(target, diag::QueuedCall([weak] { ... }), Qt::QueuedConnection);
inline char queuedCallMark = 0;

template <class Fn>
class QueuedCall {
public:
    explicit QueuedCall(Fn fn) : fn_(std::move(fn)) { HandOver(&queuedCallMark); }
    QueuedCall(QueuedCall &&other) : fn_(std::move(other.fn_)) { HandOver(&queuedCallMark); }
    QueuedCall(const QueuedCall &other) : fn_(other.fn_) { HandOver(&queuedCallMark); }
    QueuedCall &operator=(const QueuedCall &) = delete;
    // Before the captures go, on whichever thread drops the call.
    ~QueuedCall() { TakeOver(&queuedCallMark); }

    void operator()()
    {
        TakeOver(&queuedCallMark);
        fn_();
    }

private:
    Fn fn_;
};

} // namespace diag
