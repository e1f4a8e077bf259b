#!/usr/bin/env bash
# Time from exec to the first painted window, median of N runs under Xvfb.
# Usage: bench/startup.sh [build-dir] [runs]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build}"
runs="${2:-10}"
home="$(mktemp -d /tmp/talvora-bench-XXXXXX)"
trap 'rm -rf "$home"; [[ -n "${xpid:-}" ]] && kill $xpid 2>/dev/null' EXIT
mkdir -p "$home/run" && chmod 700 "$home/run"
display=":$((150 + RANDOM % 50))"
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 & xpid=$!
sleep 1
# A desktop session has its bus; without one Qt would spawn a bus daemon per run.
eval "$(dbus-launch --sh-syntax)"
trap 'rm -rf "$home"; kill $xpid $DBUS_SESSION_BUS_PID 2>/dev/null' EXIT
export DISPLAY="$display" HOME="$home" XDG_RUNTIME_DIR="$home/run" XDG_CONFIG_HOME="$home/.config"
# The face-detector fixture (loads, no exports) keeps the start-up message box away.
export TALVORA_PROGRAM_FILES="$build/test-fixtures/noexport"
times=()
for i in $(seq "$runs"); do
  start=$(date +%s%N)
  "$build/bin/talvora" --camera=none --microphone=none >/dev/null 2>&1 & pid=$!
  # First paint: the dialog is mapped (Qt paints it on the expose that follows
  # at once); polled every few milliseconds.
  until xdotool search --onlyvisible --name '^Talvora$' >/dev/null 2>&1; do sleep 0.003; done
  end=$(date +%s%N)
  times+=($(( (end - start) / 1000000 )))
  kill $pid; wait $pid 2>/dev/null || true
done
sorted=($(printf '%s\n' "${times[@]}" | sort -n))
echo "runs (ms): ${times[*]}"
echo "median exec -> first painted window: ${sorted[$((runs / 2))]} ms"
