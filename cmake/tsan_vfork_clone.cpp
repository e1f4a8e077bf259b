// Linked into every program of a ThreadSanitizer build. QProcess starts its
// children with clone(CLONE_VM | CLONE_VFORK): the child runs in the parent's
// memory until it executes the new program. The clone interceptor of GCC 12's
// TSan runtime runs its after-fork bookkeeping in that child, on the parent's
// own thread state and tables, which leaves the parent with a broken view of
// its locks: after the first process it started, every hand-over through a
// mutex, condition or atomic looked unordered, and reports were false.
//
// Such a clone goes to the C library directly, as vfork would without TSan;
// any other clone (threads, real forks) still goes through the interceptor.
#include <dlfcn.h>
#include <sched.h>
#include <sys/types.h>

#include <cstdarg>

namespace {

using CloneCall = int (*)(int (*)(void *), void *, int, void *, ...);

CloneCall LibcClone()
{
    void *libc = dlopen("libc.so.6", RTLD_NOW | RTLD_NOLOAD);
    return libc ? reinterpret_cast<CloneCall>(dlsym(libc, "clone")) : nullptr;
}

CloneCall InterceptedClone() { return reinterpret_cast<CloneCall>(dlsym(RTLD_NEXT, "clone")); }

} // namespace

extern "C" int clone(int (*fn)(void *), void *stack, int flags, void *arg, ...)
{
    // The optional arguments, read as the C library's own clone reads them.
    va_list rest;
    va_start(rest, arg);
    pid_t *parentTid = va_arg(rest, pid_t *);
    void *tls = va_arg(rest, void *);
    pid_t *childTid = va_arg(rest, pid_t *);
    va_end(rest);

    static const CloneCall direct = LibcClone();
    static const CloneCall intercepted = InterceptedClone();
    const bool vforkLike = (flags & (CLONE_VM | CLONE_VFORK)) == (CLONE_VM | CLONE_VFORK);
    const CloneCall call = vforkLike && direct ? direct : intercepted;
    return call(fn, stack, flags, arg, parentTid, tls, childTid);
}
