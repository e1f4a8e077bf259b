#!/usr/bin/env bash
# Builds Talvora with a sanitizer and runs its tests under it:
#   tools/sanitize.sh address [ctest args]   ASan + UBSan, leak checking on, every test
#   tools/sanitize.sh thread  [ctest args]   TSan, the engine, tracking, library, dialog, volume and
#                                            thread hand-over tests
# A Debug build of its own (build-asan, build-tsan), built at low priority.
# Reports from the libraries' own one-time allocations are suppressed by the
# files in tools/sanitizers/ (which say why); a report from the program's code
# fails the test that made it (TSan: exit code 66).
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(dirname "$here")"
kind="${1:-}"
shift || true
case "$kind" in
  address) preset=asan; filter=() ;;
  thread)
    preset=tsan
    # The test suites of those areas, by name (parameterised ones carry a prefix).
    # The volume tests drive the mixer's own thread; the hand-over tests check
    # what TSan must see of the program's threads.
    suites="$(grep -ho 'TEST[_FP]*( *[A-Za-z0-9_]*' "$root"/tests/{capture,playback,tracking,library,dialog,audio,platform}/*.cpp \
      | sed 's/.*( *//' | sort -u | paste -sd'|')"
    filter=(-R "(^|/)($suites)\\.") ;;
  *) echo "usage: $0 address|thread [ctest arguments]" >&2; exit 2 ;;
esac
build="$root/build-$preset"
"$here/setup.sh"
[[ -f "$build/build.ninja" ]] || (cd "$root" && cmake --preset "$preset" >/dev/null)
nice -n 10 ninja -C "$build" --quiet

supp="$here/sanitizers"
# The tests' bounded waits and time tolerances widen by this much: the
# sanitizers make everything several times slower, but must not cost a check.
case "$kind" in address) export TALVORA_TEST_TIME_FACTOR=3 ;; thread) export TALVORA_TEST_TIME_FACTOR=5 ;; esac
# The libraries are built without frame pointers: only the slow unwinder
# gives an allocation's whole stack, which the leak reports and their
# suppressions by function name need.
export ASAN_OPTIONS="suppressions=$supp/asan.supp:detect_leaks=1:abort_on_error=0:halt_on_error=1:strict_string_checks=1:fast_unwind_on_malloc=0"
export LSAN_OPTIONS="suppressions=$supp/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:suppressions=$supp/ubsan.supp"
# The libraries are not built with TSan: what their own code reads and writes
# through the intercepted calls (memcpy, free) is theirs, not the program's;
# the locks they take are still seen, as they order the program's data too.
export TSAN_OPTIONS="suppressions=$supp/tsan.supp:halt_on_error=0:exitcode=66:second_deadlock_stack=1:ignore_noninstrumented_modules=1"
# GStreamer's plugin scanner runs in a helper process of its own.
export GST_REGISTRY_FORK=no
# GLib's slice allocator hands memory from thread to thread behind TSan's
# back: a block freed on one streaming thread and reused on another looks
# like a race. Plain malloc lets TSan see it.
if [[ "$kind" == thread ]]; then export G_SLICE=always-malloc; fi
TALVORA_BUILD_DIR="$build" exec "$here/test.sh" "${filter[@]}" "$@"
