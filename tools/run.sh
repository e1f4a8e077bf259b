#!/usr/bin/env bash
# Builds Talvora and starts it. Extra arguments go to the program.
# A machine without a camera or a microphone gets the built-in test devices,
# so every mode works; pass --camera=/--microphone= to choose yourself.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(dirname "$here")"
build="${TALVORA_BUILD_DIR:-$root/build}"
"$here/setup.sh"
ninja -C "$build" --quiet talvora_runtime

args=("$@")
if ! ls /dev/video* >/dev/null 2>&1 && [[ -z "${TALVORA_CAMERA:-}" ]] && [[ " $* " != *" --camera="* ]]; then
  args+=("--camera=test")
fi
if ! pactl list short sources 2>/dev/null | grep -qv '\.monitor' && [[ -z "${TALVORA_MICROPHONE:-}" ]] \
   && [[ " $* " != *" --microphone="* ]]; then
  args+=("--microphone=test")
fi
if [[ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]]; then
  echo "No display found (DISPLAY is unset); starting Talvora on a virtual X server." >&2
  exec env TALVORA_PROGRAM_FILES="$build/lib" xvfb-run -a -s "-screen 0 1280x800x24" "$build/bin/talvora" "${args[@]}"
fi
exec env TALVORA_PROGRAM_FILES="$build/lib" "$build/bin/talvora" "${args[@]}"
