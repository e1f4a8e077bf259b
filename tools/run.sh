#!/usr/bin/env bash
# Builds Talvora and starts it. Extra arguments go to the program. Installs
# only what building and running need (tools/packages.txt), and never starts,
# stops or installs a sound server: the program uses whichever one runs.
# A machine without a camera or a microphone gets the built-in test devices,
# so every mode works; pass --camera=/--microphone= to choose yourself.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(dirname "$here")"
build="${TALVORA_BUILD_DIR:-$root/build}"
headless=0
[[ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]] || headless=1
# Without a display the program runs on a virtual X server, so that one is needed too.
if ((headless)); then "$here/setup.sh" xvfb xauth; else "$here/setup.sh"; fi
ninja -C "$build" --quiet talvora_runtime

args=("$@")
if ! ls /dev/video* >/dev/null 2>&1 && [[ -z "${TALVORA_CAMERA:-}" ]] && [[ " $* " != *" --camera="* ]]; then
  args+=("--camera=test")
fi
# Asking the sound server for microphones must not start one (libpulse would
# autospawn a PulseAudio daemon that is installed but not running).
has_microphone() {
  local conf
  conf="$(mktemp)"
  echo 'autospawn = no' >"$conf"
  PULSE_CLIENTCONFIG="$conf" pactl list short sources 2>/dev/null | grep -qv '\.monitor'
  local found=$?
  rm -f "$conf"
  return $found
}
if ! has_microphone && [[ -z "${TALVORA_MICROPHONE:-}" ]] && [[ " $* " != *" --microphone="* ]]; then
  args+=("--microphone=test")
fi
if ((headless)); then
  echo "No display found (DISPLAY is unset); starting Talvora on a virtual X server." >&2
  exec env TALVORA_PROGRAM_FILES="$build/lib" xvfb-run -a -s "-screen 0 1280x800x24" "$build/bin/talvora" "${args[@]}"
fi
exec env TALVORA_PROGRAM_FILES="$build/lib" "$build/bin/talvora" "${args[@]}"
