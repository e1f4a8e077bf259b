#!/usr/bin/env bash
# Builds Talvora and runs every test. Starts the services the tests use: a
# private PulseAudio daemon with a null sink (its monitor is a real microphone)
# and a virtual X server for the end-to-end runs.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(dirname "$here")"
build="${TALVORA_BUILD_DIR:-$root/build}"
"$here/setup.sh"
ninja -C "$build" --quiet

work="$(mktemp -d /tmp/talvora-services-XXXXXX)"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# PulseAudio, private to this run.
mkdir -p "$work/pulse"
HOME="$work/pulse" XDG_RUNTIME_DIR="$work/pulse" pulseaudio -n --daemonize=no --exit-idle-time=-1 \
  --disallow-exit --use-pid-file=no \
  --load="module-null-sink sink_name=talvora_null" \
  --load="module-native-protocol-unix socket=$work/pulse/native auth-anonymous=1" \
  >"$work/pulse.log" 2>&1 &
pids+=($!)
export PULSE_SERVER="unix:$work/pulse/native"
for _ in $(seq 50); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
pactl info >/dev/null 2>&1 || { echo "warning: PulseAudio did not start; audio tests will skip" >&2; unset PULSE_SERVER; }

# A virtual X server for the end-to-end tests.
display=""
for n in $(seq 97 140); do
  [[ -e "/tmp/.X$n-lock" || -e "/tmp/.X11-unix/X$n" ]] || { display=":$n"; break; }
done
if [[ -n "$display" ]]; then
  Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
  pids+=($!)
  export TALVORA_E2E_DISPLAY="$display"
fi

cd "$build"
# One test at a time: the recording tests measure real durations and should
# not share the two cores with another recording. Extra arguments go to ctest
# (for example -R Audio).
ctest --output-on-failure --timeout 300 "$@"
