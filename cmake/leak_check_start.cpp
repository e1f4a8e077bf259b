// Linked into every program of a LeakSanitizer build. What the shared
// libraries allocate in their own constructors, while the program is loaded
// and before any of its code runs, is theirs and kept for the life of the
// process; GLib's first quark table, which GLib drops unfreed once the table
// grows, is one. Those allocations are left out of the leak check: it is
// switched off in the executable's pre-initialisation, which runs before any
// library's constructor, and on again in the executable's first constructor,
// which runs after them all. Everything the program allocates is checked.
#include <sanitizer/lsan_interface.h>

namespace {

void LeaveLibraryStartUpOut(int, char **, char **) { __lsan_disable(); }

__attribute__((constructor(101))) void CheckFromHereOn() { __lsan_enable(); }

__attribute__((section(".preinit_array"), used)) void (*const leaveOut)(int, char **, char **) =
    LeaveLibraryStartUpOut;

} // namespace
